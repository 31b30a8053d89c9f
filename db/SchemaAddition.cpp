#include "SchemaAddition.h"

#include "FirebirdClient.h"
#include "LockConflictWait.h"
#include "RunView.h"
#include "SqlStatement.h"

#include <optional>
#include <thread>

namespace halvio {

namespace {

constexpr std::chrono::milliseconds kPauseBetweenLooks{100};

// Asked in the statement's transaction, started when inactive and left active.
bool isPresent(SqlStatement& statement, std::string_view presenceCount) {
    Transaction& transaction = statement.transaction();
    if (!transaction.isActive())
        transaction.start();
    statement.setSql(presenceCount);
    statement.execute();
    const bool present = statement.integer(size_t{0}) > 0;
    statement.close();
    return present;
}

} // namespace

void addUnlessPresent(SqlStatement& statement, RunView& view, std::chrono::milliseconds lockWait,
                      std::string_view presenceCount, std::string_view ddl) {
    using Clock = std::chrono::steady_clock;
    Transaction& transaction = statement.transaction();
    std::optional<Clock::time_point> deadline;
    for (;;) {
        try {
            retryOnLockConflict(transaction, view, lockWait, [&] {
                if (!isPresent(statement, presenceCount)) {
                    statement.setSql(ddl);
                    statement.execute();
                }
                transaction.commit();
            });
            return;
        } catch (const platform::DatabaseError& error) {
            // Asked again in a new transaction, which sees what other connections have committed
            // since: "already exists" means another workstation added the same object first.
            if (transaction.isActive())
                transaction.rollback();
            const bool present = isPresent(statement, presenceCount);
            transaction.commit();
            if (present)
                return;
            // The server refuses a second addition of an object that another connection has added
            // without committing yet (a duplicate in the system tables) instead of waiting for it.
            const Clock::time_point now = Clock::now();
            if (!deadline)
                deadline = now + lockWait;
            if (!error.isDuplicateKey() || now >= *deadline)
                throw;
        }
        view.processMessages();
        std::this_thread::sleep_for(kPauseBetweenLooks);
    }
}

} // namespace halvio
