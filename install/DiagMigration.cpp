#include "DiagMigration.h"

#include "Fonction.h"
#include "Model.h"
#include "RunContext.h"
#include "RunView.h"

#include <exception>

namespace halvio {

namespace {

// The first commit of the copy comes after this many inserts, each later one after one more.
constexpr int kBatchRows = 100;

// A second migration finds the column, the generator and the trigger already there: their
// statements fail, the step's progress word is skipped and the migration goes on, all in silence.
template <typename Step> void guarded(Step&& step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

void setProgressWord(Model& model, std::string_view word) {
    model.tmem.edit();
    model.SetPackageState(word);
}

DiagRow currentRow(const DataSet& tdiag) {
    return DiagRow{tdiag.text("DIAG"), tdiag.text("CODE"), tdiag.text("DATES"), tdiag.text("DESC_RAMQ"),
                   tdiag.text("DESC_SPEC")};
}

void copyRows(Model& model, RunView& view) {
    int batch = 0;
    while (!model.tdiag.eof()) {
        view.setGaugeProgress(GaugeId::CurrentFile, view.gaugeProgress(GaugeId::CurrentFile) + 1);
        if (++batch > kBatchRows) {
            view.processMessages();
            batch = 0;
            view.setMigrationPercentCaption(migrationPercentText(view.gaugeProgress(GaugeId::CurrentFile),
                                                                 view.gaugeMaximum(GaugeId::CurrentFile)));
            model.IBTransaction1.commit();
            model.IBTransaction1.start();
        }
        model.IBSQL1.setSql(diagCopyStatement(currentRow(model.tdiag)));
        model.IBSQL1.execute();
        model.tdiag.next();
    }
}

// Read in tdiag's own snapshot (it starts IBTransaction4), so it measures exactly the rows copied.
std::int64_t longestDescSpec(Model& model) {
    DataSet longest(model.IBTransaction4, "select max(octet_length(desc_spec)) as longest from diag");
    longest.open();
    const std::int64_t length = longest.integer("LONGEST");
    longest.close();
    return length;
}

} // namespace

std::string diagCopyStatement(const DiagRow& row) {
    std::string sql = "Insert into diag (diag,code,md,dates,desc_ramq,Desc_spec) values (";
    sql.reserve(sql.size() + row.DIAG.size() + row.CODE.size() + row.DATES.size() + row.DESC_RAMQ.size() +
                row.DESC_SPEC.size() + 32);
    sql += Quoted(row.DIAG);
    sql += ',';
    sql += Quoted(row.CODE);
    sql += ",0,";
    sql += Quoted(row.DATES);
    sql += ',';
    sql += Quoted(row.DESC_RAMQ);
    sql += ',';
    sql += Quoted(row.DESC_SPEC);
    sql += ')';
    return sql;
}

std::string migrationPercentText(std::int32_t progress, std::int32_t maximum) {
    const std::int64_t percent = maximum == 0 ? 0 : std::int64_t{progress} * 100 / maximum;
    return std::to_string(percent) + "%";
}

void diag(RunContext& context) {
    Model& model = context.model;
    RunView& view = context.view;

    view.setPanelVisible(PanelId::DiagNotice, true);
    model.IB.open();
    if (!model.tmem.isOpen())
        model.tmem.open();
    model.tmem.append();
    model.SetPackageState("Alter");

    guarded([&] {
        model.EnsureTransaction();
        model.ExecSqlCommit("ALTER TABLE DIAG ADD ID INTEGER ");
        setProgressWord(model, "Generator");
    });
    guarded([&] {
        model.EnsureTransaction();
        model.ExecSqlCommit("CREATE GENERATOR GEN_DIAG_ID ");
        setProgressWord(model, "diag=-1");
    });
    guarded([&] {
        model.EnsureTransaction();
        model.ExecSqlCommit("Update diag set id=-1 ");
        setProgressWord(model, "trigger");
    });
    guarded([&] {
        model.EnsureTransaction();
        model.ExecSqlCommit("CREATE TRIGGER DIAG_BI FOR DIAG ACTIVE BEFORE INSERT POSITION 0 AS BEGIN IF "
                            "(NEW.ID IS NULL) THEN NEW.ID = GEN_ID(GEN_DIAG_ID,1); END;");
    });

    model.EnsureTransaction();
    model.IBSQL1.setSql("select count(*) from diag");
    model.IBSQL1.execute();
    view.setGaugeMaximum(GaugeId::CurrentFile, static_cast<std::int32_t>(model.IBSQL1.integer(size_t{0})));
    model.IBTransaction1.rollback();
    view.setGaugeProgress(GaugeId::CurrentFile, 0);

    // The copy must read a snapshot taken after the rows were marked; one left active by an earlier
    // read would copy the table as it was then.
    if (model.IBTransaction4.isActive())
        model.IBTransaction4.commit();
    model.tdiag.setTextBlobsInline(longestDescSpec(model) <= platform::FbStatement::kInlineTextBlobLength);
    model.tdiag.open();
    model.EnsureTransaction();
    setProgressWord(model, "Installation");

    copyRows(model, view);
    model.IBTransaction1.commit();
    model.tdiag.close();

    model.EnsureTransaction();
    model.ExecSqlCommit("delete from diag where id =-1");
    setProgressWord(model, "Installer");
    view.setPanelVisible(PanelId::DiagNotice, false);
}

} // namespace halvio
