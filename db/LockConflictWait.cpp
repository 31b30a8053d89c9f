#include "LockConflictWait.h"

#include "FirebirdClient.h"
#include "RunView.h"
#include "Transaction.h"
#include "Windows1252.h"

#include <optional>
#include <thread>

namespace halvio {

namespace {

// Between two tries: a conflict that came back at once (a transaction that was already active
// without waiting, an update conflict) is not tried again in a tight loop.
constexpr std::chrono::milliseconds kPauseBetweenTries{100};

// Puts the transaction's options back however the tries end.
class WaitingOptions {
public:
    explicit WaitingOptions(Transaction& transaction)
        : m_transaction(transaction), m_previous(transaction.options()) {
        platform::TransactionOptions waiting = m_previous;
        waiting.noWait = false;
        waiting.lockTimeoutSeconds = kLockTimeoutSeconds;
        m_transaction.setOptions(waiting);
    }
    ~WaitingOptions() { m_transaction.setOptions(m_previous); }
    WaitingOptions(const WaitingOptions&) = delete;
    WaitingOptions& operator=(const WaitingOptions&) = delete;

private:
    Transaction& m_transaction;
    platform::TransactionOptions m_previous;
};

} // namespace

void retryOnLockConflict(Transaction& transaction, RunView& view, std::chrono::milliseconds limit,
                         const std::function<void()>& attempt) {
    using Clock = std::chrono::steady_clock;
    const WaitingOptions waiting(transaction);
    std::optional<Clock::time_point> deadline;
    for (;;) {
        try {
            attempt();
            return;
        } catch (const platform::DatabaseError& error) {
            if (!error.isLockConflict())
                throw;
            if (transaction.isActive())
                transaction.rollback();
            const Clock::time_point now = Clock::now();
            if (!deadline) {
                deadline = now + limit;
                view.appendLog(fr("Données verrouillées par un autre poste : attente de leur libération..."));
            }
            if (now >= *deadline)
                throw LockConflictTimeout(
                    fr("Données toujours verrouillées par un autre poste après ") +
                    std::to_string(std::chrono::ceil<std::chrono::seconds>(limit).count()) + " secondes.\n" +
                    error.what());
        }
        view.processMessages();
        std::this_thread::sleep_for(kPauseBetweenTries);
    }
}

} // namespace halvio
