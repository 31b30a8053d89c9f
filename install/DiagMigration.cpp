#include "DiagMigration.h"

#include "Fonction.h"
#include "Model.h"
#include "RunContext.h"
#include "RunView.h"
#include "Windows1252.h"

#include <exception>

namespace halvio {

namespace {

// The window processes its messages and Label11 is written after the first 100 copies, then
// after every 101 more.
constexpr int kBatchRows = 100;

// One committed statement that adds an object the renumbering needs, and how to tell from the
// system tables that the object is there.
struct ObjectStep {
    const char* sql;
    const char* existsQuery; // one row, one count
    const char* word;        // progress word once the statement succeeded; none when empty
    const char* what;        // the object, for the message when it is missing
};

const ObjectStep kColumnStep{
    "ALTER TABLE DIAG ADD ID INTEGER ",
    "select count(*) from rdb$relation_fields where rdb$relation_name = 'DIAG' and rdb$field_name = 'ID'",
    "Generator", "la colonne ID de la table DIAG"};
const ObjectStep kGeneratorStep{
    "CREATE GENERATOR GEN_DIAG_ID ",
    "select count(*) from rdb$generators where rdb$generator_name = 'GEN_DIAG_ID'", "diag=-1",
    "le générateur GEN_DIAG_ID"};
const ObjectStep kTriggerStep{
    "CREATE TRIGGER DIAG_BI FOR DIAG ACTIVE BEFORE INSERT POSITION 0 AS BEGIN IF (NEW.ID IS NULL) THEN "
    "NEW.ID = GEN_ID(GEN_DIAG_ID,1); END;",
    "select count(*) from rdb$triggers where rdb$trigger_name = 'DIAG_BI' and rdb$relation_name = 'DIAG' "
    "and coalesce(rdb$trigger_inactive, 0) = 0",
    "", "le déclencheur DIAG_BI"};

// The first line of every DiagMigrationError; the next lines say why.
std::string failureText(const std::string& why) {
    return fr("Renumérotation des codes de diagnostic non terminée, les lignes de la table DIAG sont "
              "restées telles quelles.\n") +
           why;
}

void setProgressWord(Model& model, std::string_view word) {
    model.tmem.edit();
    model.SetPackageState(word);
}

// Ends a transaction that a failure left active. A roll-back that fails too (the connection is
// gone) changes nothing: the server rolls back the transactions of a lost connection by itself.
void rollBackAfterFailure(Transaction& transaction) noexcept {
    try {
        if (transaction.isActive())
            transaction.rollback();
    } catch (const std::exception&) {
    }
}

bool objectExists(Model& model, const ObjectStep& step) {
    model.EnsureTransaction();
    model.IBSQL1.setSql(step.existsQuery);
    model.IBSQL1.execute();
    const bool exists = model.IBSQL1.integer(size_t{0}) > 0;
    model.IBTransaction1.commit();
    return exists;
}

// A later run finds the object already there: its statement fails, its progress word is skipped
// and the migration goes on in silence. Any other failure leaves the object missing, and the
// renumbering must not run without it.
void addObject(Model& model, const ObjectStep& step) {
    std::string failure;
    try {
        model.EnsureTransaction();
        model.ExecSqlCommit(step.sql);
        if (*step.word != '\0')
            setProgressWord(model, step.word);
        return;
    } catch (const std::exception& error) {
        failure = error.what();
    }
    // A statement that failed at its commit keeps its work pending in IBTransaction1: carried into
    // the next step, it would make that step's commit fail as well.
    rollBackAfterFailure(model.IBTransaction1);
    if (!objectExists(model, step))
        throw DiagMigrationError(failureText(fr("Impossible de créer ") + fr(step.what) + " :\n" + failure));
}

// Starts IBTransaction4, which alone may write DIAG until it ends. Each attempt waits a second for
// the workstations writing DIAG; the window's messages are processed between attempts.
void startAloneOnDiag(Model& model, RunView& view, std::chrono::seconds lockWait) {
    const auto deadline = std::chrono::steady_clock::now() + lockWait;
    for (;;) {
        try {
            model.IBTransaction4.start();
            return;
        } catch (const platform::DatabaseError& error) {
            if (!error.isLockConflict())
                throw;
            if (std::chrono::steady_clock::now() >= deadline)
                throw DiagMigrationError(
                    failureText(fr("Un autre poste modifie la table DIAG depuis plus de ") +
                                std::to_string(lockWait.count()) + " secondes :\n" + error.what()));
        }
        view.processMessages();
    }
}

DiagRow currentRow(const DataSet& tdiag) {
    return DiagRow{tdiag.text("DIAG"), tdiag.text("CODE"), tdiag.text("DATES"), tdiag.text("DESC_RAMQ"),
                   tdiag.text("DESC_SPEC")};
}

std::int64_t copyRows(Model& model, RunView& view, SqlStatement& insert) {
    std::int64_t copied = 0;
    int batch = 0;
    while (!model.tdiag.eof()) {
        view.setGaugeProgress(GaugeId::CurrentFile, view.gaugeProgress(GaugeId::CurrentFile) + 1);
        if (++batch > kBatchRows) {
            view.processMessages();
            batch = 0;
            view.setMigrationPercentCaption(migrationPercentText(view.gaugeProgress(GaugeId::CurrentFile),
                                                                 view.gaugeMaximum(GaugeId::CurrentFile)));
        }
        insert.setSql(diagCopyStatement(currentRow(model.tdiag)));
        insert.executeSingleRow();
        ++copied;
        model.tdiag.next();
    }
    return copied;
}

std::int64_t countRows(SqlStatement& statement) {
    statement.setSql("select count(*) from diag");
    statement.execute();
    const std::int64_t count = statement.integer(size_t{0});
    statement.close();
    return count;
}

// Marks, copies and deletes in IBTransaction4 and commits once: until that commit nobody else sees
// a change, and a failure rolls every one of them back.
void renumberRows(Model& model, RunView& view) {
    SqlStatement statement(model.IBTransaction4);
    statement.setSql("Update diag set id=-1 ");
    statement.execute();
    setProgressWord(model, "trigger");

    // No one else writes DIAG now: every row is marked, and the count is the number to copy.
    statement.setSql("select count(*) as marked, max(octet_length(desc_spec)) as longest from diag");
    statement.execute();
    const std::int64_t marked = statement.integer("MARKED");
    const bool shortTexts = statement.integer("LONGEST") <= platform::FbStatement::kInlineTextBlobLength;
    statement.close();
    view.setGaugeMaximum(GaugeId::CurrentFile, static_cast<std::int32_t>(marked));
    view.setGaugeProgress(GaugeId::CurrentFile, 0);

    model.tdiag.setTextBlobsInline(shortTexts);
    model.tdiag.open();
    setProgressWord(model, "Installation");
    const std::int64_t copied = copyRows(model, view, statement);
    model.tdiag.close();

    statement.setSql("delete from diag where id =-1");
    statement.execute();
    // The copies must be all that is left, one for each marked row, before anything is kept.
    const std::int64_t left = countRows(statement);
    if (copied != marked || left != marked)
        throw DiagMigrationError(failureText(fr("Lignes marquées : ") + std::to_string(marked) +
                                             fr(", copiées : ") + std::to_string(copied) +
                                             fr(", restantes : ") + std::to_string(left) + "."));
    model.IBTransaction4.commit();
}

void renumber(Model& model, RunView& view, std::chrono::seconds lockWait) {
    // A snapshot left by an earlier read would not be alone on DIAG.
    if (model.IBTransaction4.isActive())
        model.IBTransaction4.commit();
    startAloneOnDiag(model, view, lockWait);
    try {
        renumberRows(model, view);
    } catch (...) {
        rollBackAfterFailure(model.IBTransaction4);
        throw;
    }
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

void diag(RunContext& context, std::chrono::seconds lockWait) {
    Model& model = context.model;
    RunView& view = context.view;

    view.setPanelVisible(PanelId::DiagNotice, true);
    if (!model.tmem.isOpen())
        model.tmem.open();
    model.tmem.append();
    model.SetPackageState("Alter");

    try {
        model.IB.open();
        // The trigger comes before the marking: a row that a workstation inserts from then on gets
        // its number at once and is left alone by the renumbering.
        addObject(model, kColumnStep);
        addObject(model, kGeneratorStep);
        addObject(model, kTriggerStep);
        renumber(model, view, lockWait);
    } catch (const DiagMigrationError&) {
        throw;
    } catch (const std::exception& error) {
        rollBackAfterFailure(model.IBTransaction1);
        throw DiagMigrationError(failureText(error.what()));
    }
    setProgressWord(model, "Installer");
    view.setPanelVisible(PanelId::DiagNotice, false);
}

} // namespace halvio
