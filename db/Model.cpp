#include "Model.h"

#include "RunView.h"

namespace halvio {

using platform::TransactionOptions;

Model::Model(RunView& view)
    : IBTransaction1(IB, TransactionOptions::readCommittedRecVersionNoWait()),
      IBTransaction5(IB, TransactionOptions::readCommittedRecVersionNoWait()),
      IBTransaction4(IB, TransactionOptions::snapshotWritingAlone("DIAG", kDiagLockAttemptSeconds)),
      IBTransaction6(ibfax, TransactionOptions::serverDefault()), IBSQL1(IBTransaction1), ibf(IBTransaction6),
      TSETUP(IBTransaction1), tuser(IBTransaction5, "select * from md"),
      tdiag(IBTransaction4, "select * from diag where id = -1"), m_view(view) {
    IB.setConnectionName(kDefaultClinicDatabase);
    ibfax.setConnectionName(kDefaultFaxDatabase);
}

void Model::EnsureTransaction() {
    if (!IBTransaction1.isActive())
        IBTransaction1.start();
}

void Model::ExecSql(std::string_view sql) {
    IBSQL1.setSql(sql);
    IBSQL1.execute();
}

void Model::ExecSqlCommit(std::string_view sql) {
    ExecSql(sql);
    IBTransaction1.commit();
}

void Model::OpenSetup() {
    if (TSETUP.isOpen())
        return;
    try {
        TSETUP.setNomWidth(60);
        TSETUP.open();
    } catch (...) {
        TSETUP.setNomWidth(40);
        TSETUP.open();
    }
}

void Model::SetPackageState(std::string_view word) {
    tmem.setEtat(word);
    tmem.post();
    m_view.repaintNow();
}

void Model::log(std::string_view line) {
    m_view.appendLog(line);
}

void Model::logError(const std::exception& error) {
    m_view.appendLog(error.what());
}

} // namespace halvio
