#pragma once
// The one error of the Firebird layer: the server's message text, what the user can do about it,
// and the server's error codes, so that callers can tell a lock conflict from other failures.

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace halvio::platform {

// What the client library's error codes tell of a failure, where the user can act on the cause.
enum class DatabaseFault {
    Other,
    FileNotFound,      // the server could not open a file at the path it was given
    FileNotOpened,     // the file is there but could not be used (rights, a folder)
    LoginRefused,      // user name and password not accepted
    ServerUnreachable, // no server answered at the host (name unknown, refused, cut off)
};

class DatabaseError : public std::runtime_error {
public:
    // codes: the server's error codes from the status vector, outermost first; none for the
    // wrapper's own errors (no transaction, no current row...).
    explicit DatabaseError(const std::string& message, DatabaseFault fault = DatabaseFault::Other,
                           std::vector<long> codes = {})
        : std::runtime_error(message), m_fault(fault), m_codes(std::move(codes)) {}
    DatabaseFault fault() const { return m_fault; }

    // Another transaction holds, or has just changed, a record or key that the statement needed
    // (lock conflict, lock time-out, deadlock, update conflict): the same work may succeed once
    // that transaction has ended, in a new transaction of ours.
    bool isLockConflict() const;
    // A primary or unique key would hold the same value twice.
    bool isDuplicateKey() const;

private:
    DatabaseFault m_fault;
    std::vector<long> m_codes;
};

} // namespace halvio::platform
