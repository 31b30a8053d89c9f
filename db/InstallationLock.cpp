#include "InstallationLock.h"

#include "FirebirdClient.h"
#include "Fonction.h"
#include "LockConflictWait.h"
#include "RunView.h"
#include "SchemaAddition.h"
#include "Windows1252.h"
#include "Workstation.h"

#include <algorithm>
#include <random>

namespace halvio {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kTablePresence =
    "select count(*) from rdb$relations where rdb$relation_name = 'MAJ_VERROU'";
constexpr const char* kCreateTable = "create table MAJ_VERROU (ID integer not null primary key, "
                                     "POSTE varchar(100), JETON char(16), ECHEANCE timestamp)";
constexpr size_t kPosteWidth = 100;
// While waiting between two tries, the window is served this often.
constexpr std::chrono::milliseconds kServeWindowEvery{50};

std::string newToken() {
    std::random_device source;
    std::uniform_int_distribution<int> digit(0, 15);
    std::string token;
    for (int i = 0; i < 16; ++i)
        token += "0123456789abcdef"[digit(source)];
    return token;
}

std::string leaseEnd(std::chrono::seconds lease) {
    return "dateadd(" + std::to_string(lease.count()) + " second to current_timestamp)";
}

std::string durationText(std::chrono::milliseconds duration) {
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(duration).count();
    if (seconds >= 120 && seconds % 60 == 0)
        return std::to_string(seconds / 60) + " minutes";
    return std::to_string(seconds) + " secondes";
}

} // namespace

std::string InstallationLock::thisHolder() {
    return platform::workstationName() + " (processus " + std::to_string(platform::processId()) + ")";
}

InstallationLock::InstallationLock(const Database& clinic, InstallationLockTiming timing, std::string holder)
    : m_timing(timing), m_holder(holder.substr(0, kPosteWidth)), m_token(newToken()),
      m_transaction(m_database, platform::TransactionOptions::readCommittedRecVersionNoWait()),
      m_statement(m_transaction) {
    m_database.setConnectionName(clinic.connectionName());
    m_database.setPassword(clinic.password());
}

InstallationLock::~InstallationLock() {
    try {
        release();
        m_database.close();
    } catch (...) {
        // The lease runs out by itself; a destructor cannot report.
    }
}

InstallationLock::Attempt InstallationLock::tryAcquire(RunView& view) {
    m_database.open();
    addUnlessPresent(m_statement, view, kLockConflictWait, kTablePresence, kCreateTable);
    {
        const std::lock_guard<std::mutex> guard(m_connection);
        try {
            m_transaction.start();
            m_statement.setSql(
                "delete from MAJ_VERROU where ECHEANCE is null or ECHEANCE < current_timestamp or JETON = " +
                Quoted(m_token));
            m_statement.execute();
            m_statement.setSql("insert into MAJ_VERROU (ID, POSTE, JETON, ECHEANCE) values (1, " +
                               Quoted(m_holder) + ", " + Quoted(m_token) + ", " + leaseEnd(m_timing.lease) +
                               ")");
            m_statement.execute();
            m_transaction.commit();
        } catch (const platform::DatabaseError& error) {
            if (m_transaction.isActive())
                m_transaction.rollback();
            if (!error.isLockConflict() && !error.isDuplicateKey())
                throw;
            // Another holder's row, committed or being written: name it when it can be read.
            m_transaction.start();
            m_statement.setSql("select POSTE from MAJ_VERROU where ID = 1");
            m_statement.execute();
            Attempt refused{false, m_statement.eof() ? std::string() : Trimmed(m_statement.text("POSTE"))};
            m_transaction.commit();
            return refused;
        }
    }
    m_held = true;
    startKeeper();
    return {true, {}};
}

bool InstallationLock::acquire(RunView& view) {
    const Clock::time_point deadline = Clock::now() + m_timing.wait;
    bool waited = false;
    for (;;) {
        const Attempt attempt = tryAcquire(view);
        if (attempt.taken) {
            if (waited)
                view.appendLog(fr("L'installation de l'autre poste est terminée : la mise à jour continue."));
            return true;
        }
        if (!waited) {
            const std::string where =
                attempt.holder.empty() ? fr("un autre poste") : "le poste " + attempt.holder;
            view.appendLog(fr("Une installation est déjà en cours sur ") + where +
                           fr(" : attente de sa fin (") + durationText(m_timing.wait) + " au plus)...");
            view.setStatusText(fr("Attente de l'installation en cours sur un autre poste..."));
            waited = true;
        }
        if (Clock::now() >= deadline)
            return false;
        const Clock::time_point nextTry = std::min(Clock::now() + m_timing.retryEvery, deadline);
        while (Clock::now() < nextTry) {
            view.processMessages();
            std::this_thread::sleep_for(std::min<Clock::duration>(kServeWindowEvery, nextTry - Clock::now()));
        }
    }
}

bool InstallationLock::renew() {
    const std::lock_guard<std::mutex> guard(m_connection);
    try {
        m_transaction.start();
        m_statement.setSql("update MAJ_VERROU set ECHEANCE = " + leaseEnd(m_timing.lease) +
                           " where ID = 1 and JETON = " + Quoted(m_token));
        m_statement.execute();
        m_statement.setSql("select count(*) from MAJ_VERROU where JETON = " + Quoted(m_token));
        m_statement.execute();
        const bool ours = m_statement.integer(size_t{0}) > 0;
        m_transaction.commit();
        return ours;
    } catch (const platform::DatabaseError&) {
        try {
            if (m_transaction.isActive())
                m_transaction.rollback();
        } catch (const platform::DatabaseError&) {
        }
        return false;
    }
}

bool InstallationLock::confirm() {
    return m_held && renew();
}

void InstallationLock::release() {
    if (!m_held)
        return;
    stopKeeper();
    m_held = false;
    const std::lock_guard<std::mutex> guard(m_connection);
    try {
        m_transaction.start();
        m_statement.setSql("delete from MAJ_VERROU where JETON = " + Quoted(m_token));
        m_statement.execute();
        m_transaction.commit();
    } catch (const platform::DatabaseError&) {
        if (m_transaction.isActive())
            m_transaction.rollback();
        throw;
    }
}

void InstallationLock::startKeeper() {
    m_keeperStopping = false;
    m_keeper = std::thread([this] {
        std::unique_lock<std::mutex> lock(m_keeperMutex);
        while (!m_keeperWake.wait_for(lock, m_timing.renewEvery, [this] { return m_keeperStopping; })) {
            lock.unlock();
            // A failed renewal is tried again at the next turn; confirm() tells the run.
            (void)renew();
            lock.lock();
        }
    });
}

void InstallationLock::stopKeeper() {
    {
        const std::lock_guard<std::mutex> lock(m_keeperMutex);
        m_keeperStopping = true;
    }
    m_keeperWake.notify_all();
    if (m_keeper.joinable())
        m_keeper.join();
}

} // namespace halvio
