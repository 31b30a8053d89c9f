#pragma once
// One installation per clinic database at a time. Two workstations that run the updater together
// on one clinic would otherwise both install the same packages (a script applied twice). The lock
// is a row of the table MAJ_VERROU in the clinic database, created when missing:
//
//   ID        INTEGER, the primary key: always 1, so that two holders cannot both insert it
//   POSTE     VARCHAR(100), the holder's workstation and process, shown to those who wait
//   JETON     CHAR(16), the holder's random token: only its holder renews or removes the row
//   ECHEANCE  TIMESTAMP, the end of the holder's lease, on the database server's clock
//
// Taking the lock deletes a row whose lease has run out (its holder died) and inserts ours, in one
// transaction; a live row, or another workstation taking it at the same moment, makes the try
// fail. The lock works on a connection of its own (the run closes IB after each package), and a
// thread of its own renews the lease while it is held. Every time is the server's, so the clocks
// of the workstations do not matter.

#include "Database.h"
#include "InstallationLockTiming.h"
#include "SqlStatement.h"
#include "Transaction.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace halvio {

class RunView;

class InstallationLock {
public:
    // Connects to the database that `clinic` names, with its password. holder: the name shown to
    // other workstations; by default this workstation's name and process number.
    InstallationLock(const Database& clinic, InstallationLockTiming timing,
                     std::string holder = thisHolder());
    // Releases the lock when held; errors are swallowed (the lease runs out by itself).
    ~InstallationLock();
    InstallationLock(const InstallationLock&) = delete;
    InstallationLock& operator=(const InstallationLock&) = delete;

    struct Attempt {
        bool taken = false;
        std::string holder; // when not taken: the holder's POSTE, trimmed; empty when unknown
    };
    // The window's idle function: the calls the lock makes on the thread that sets it (taking,
    // confirming and giving up the lock) then let the window paint and run its timers while the
    // server answers; the keeper's calls, on a thread of their own, never call it.
    void setIdle(std::function<void()> idle) { m_database.attachment().setIdle(std::move(idle)); }

    // One try, creating the table when missing. Errors other than another holder's propagate.
    Attempt tryAcquire(RunView& view);

    // Tries until the lock is taken or timing.wait has passed, serving the window between tries.
    // At the first refusal, a French notice naming the holder goes to the log and the status bar.
    bool acquire(RunView& view);

    // Renews the lease now. False when the lock is no longer ours: the lease ran out and another
    // workstation took it, or the database cannot be reached.
    bool confirm();

    // Gives the lock up (nothing happens when not held).
    void release();
    bool isHeld() const { return m_held; }
    const std::string& holder() const { return m_holder; }

    static std::string thisHolder();

private:
    bool renew();
    void startKeeper();
    void stopKeeper();

    InstallationLockTiming m_timing;
    std::string m_holder;
    std::string m_token;
    Database m_database;
    Transaction m_transaction;
    SqlStatement m_statement;
    bool m_held = false;

    // The connection is shared with the keeper thread: one user at a time.
    std::mutex m_connection;
    std::mutex m_keeperMutex;
    std::condition_variable m_keeperWake;
    bool m_keeperStopping = false;
    std::thread m_keeper;
};

} // namespace halvio
