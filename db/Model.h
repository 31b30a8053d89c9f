#pragma once
// The model of the two databases as the run sees them: the connections, transactions, statement
// objects and data sets, the package table, and the shared operations every step uses.

#include "DataSet.h"
#include "Database.h"
#include "InstallationLockTiming.h"
#include "LockConflictWait.h"
#include "PackageTable.h"
#include "SqlStatement.h"
#include "Transaction.h"

#include <exception>
#include <string_view>

namespace halvio {

class RunView;

class Model {
public:
    // Connection name used when kliso.ini does not name the clinic database.
    static constexpr const char* kDefaultClinicDatabase = "localhost:kliso.ib";
    static constexpr const char* kDefaultFaxDatabase = "localhost:fax.ib";
    // A start of IBTransaction4 waits this long for the workstations writing DIAG, then fails; the
    // migration retries, processing the window's messages in between.
    static constexpr int kDiagLockAttemptSeconds = 1;

    explicit Model(RunView& view);
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    Database IB;
    Database ibfax;
    Transaction IBTransaction1; // IB: read_committed, rec_version, nowait — IBSQL1 and TSETUP
    Transaction IBTransaction5; // IB: read_committed, rec_version, nowait — tuser
    // IB: a snapshot that alone may write DIAG, each wait for that lock bounded (see
    // kDiagLockAttemptSeconds) — tdiag and every statement of the DIAG renumbering.
    Transaction IBTransaction4;
    Transaction IBTransaction6; // ibfax: the server's default — ibf
    SqlStatement IBSQL1;
    SqlStatement ibf;
    SetupDataSet TSETUP;
    DataSet tuser;
    DataSet tdiag; // the rows the DIAG renumbering marked (ID = -1), not the copies it inserts
    PackageTable tmem;

    // How long the installation's statements wait for records another connection holds, and the
    // times of the lock that keeps a clinic's installations one at a time (tests shorten them).
    std::chrono::milliseconds lockConflictWait = kLockConflictWait;
    InstallationLockTiming installationLock;

    // Starts IBTransaction1 unless it is active.
    void EnsureTransaction();
    // Sets IBSQL1's text and executes it in IBTransaction1, which must be active; commits nothing.
    void ExecSql(std::string_view sql);
    // ExecSql, then commit; a failed execution commits nothing.
    void ExecSqlCommit(std::string_view sql);
    // Opens TSETUP with a 60-wide NOM, then, on any error, with a 40-wide one.
    void OpenSetup();
    // Writes the word into etat of the current tmem row (which must be in editing), stores the row
    // and repaints the window at once.
    void SetPackageState(std::string_view word);

    // The activity log: a line, or an error's message text.
    void log(std::string_view line);
    void logError(const std::exception& error);

    RunView& view() { return m_view; }

private:
    RunView& m_view;
};

} // namespace halvio
