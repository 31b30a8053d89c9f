#pragma once
// Waiting for records that another connection holds. The model's transactions fail at once on a
// lock conflict ("nowait"); work that must not be lost to another workstation's transaction (a
// script's statements, the record in MAJ) goes through retryOnLockConflict instead, which waits
// for the other transaction to end, for a bounded time.

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>

namespace halvio {

class RunView;
class Transaction;

// How long in all a piece of work waits for a record that another connection holds, from the
// first conflict. A clinic's own transactions hold records for seconds; a minute rides out the
// longest of them (another workstation's DIAG copy commits every few seconds) while a
// transaction left open on a workstation (a form in editing) still ends the wait the same morning.
inline constexpr std::chrono::seconds kLockConflictWait{60};

// The server's wait for one locked record before it reports the conflict to us: short, so that
// the window is served between two tries, and long enough that a record freed within it is
// taken at once rather than at the next try.
inline constexpr int kLockTimeoutSeconds = 2;

// The work met a record still locked by another connection at the end of the wait. what() is a
// French text (Windows-1252) for the log, followed by the server's last message.
class LockConflictTimeout : public std::runtime_error {
public:
    explicit LockConflictTimeout(const std::string& message) : std::runtime_error(message) {}
};

// Runs attempt, which starts the transaction when it needs it and commits it. When attempt fails
// on a lock conflict, the transaction is rolled back (so that the next try sees the other
// transaction's committed rows), window messages are processed, and attempt runs again, the
// transaction now waiting up to kLockTimeoutSeconds on each locked record. Once `limit` has passed
// since the first conflict, throws LockConflictTimeout. Any other error passes to the caller with
// the transaction as attempt left it. The first conflict adds one line to the log.
void retryOnLockConflict(Transaction& transaction, RunView& view, std::chrono::milliseconds limit,
                         const std::function<void()>& attempt);

} // namespace halvio
