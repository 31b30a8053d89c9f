#pragma once
// The Firebird client library behind RAII objects: attachments, transactions and DSQL statements.
// SQL dialect 3, no character set (texts pass as their stored bytes). Every failure of the client
// library becomes a DatabaseError carrying the server's message text.

#include "DateTime.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
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

    const std::vector<long>& codes() const { return m_codes; }
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

class FbTransaction;
class FbStatement;

class FbAttachment {
public:
    FbAttachment();
    ~FbAttachment();
    FbAttachment(const FbAttachment&) = delete;
    FbAttachment& operator=(const FbAttachment&) = delete;

    // name: "server:path", "server/port:path" or a plain path (embedded engine).
    void attach(const std::string& name, const std::string& user, const std::string& password);
    // Commits every transaction still active on it, releases its statements, then detaches.
    void detach();
    bool isAttached() const;

    // Called on the calling thread while a call that may take long runs on a worker thread (the
    // attach, a statement other than an insert of values, a select's first fetch, an insert with a
    // large blob, the end of a transaction that ran such a statement or many statements), and between
    // short calls at most every 10 ms. Without one, every call runs on the calling thread and nothing
    // else happens. The idle function must not use this attachment.
    void setIdle(std::function<void()> idle);

    // Creates a database file (fixtures and tools); the new database is not kept attached.
    static void createDatabase(const std::string& name, const std::string& user, const std::string& password);

    struct Impl;
    Impl& impl() { return *m_impl; }

private:
    friend class FbTransaction;
    friend class FbStatement;
    std::unique_ptr<Impl> m_impl;
};

struct TransactionOptions {
    bool readCommitted = false;
    bool recVersion = false;
    bool noWait = false;
    // Seconds a wait for a lock lasts before the conflict is reported; 0: as long as it takes.
    int lockTimeoutSeconds = 0;
    // A table locked at the start for protected write: other transactions may read it but not
    // write it until this one ends, and the start waits (as the lock time-out says) for those that
    // are writing it. Empty: none.
    std::string protectedWriteTable;

    // No parameter block at all: the server's default (snapshot, waits on lock conflicts).
    static TransactionOptions serverDefault() { return {}; }
    static TransactionOptions readCommittedRecVersionNoWait() {
        TransactionOptions options;
        options.readCommitted = options.recVersion = options.noWait = true;
        return options;
    }
    // A snapshot that alone may write `table`, waiting at most lockTimeoutSeconds for it.
    static TransactionOptions snapshotWritingAlone(std::string table, int lockTimeoutSeconds) {
        TransactionOptions options;
        options.lockTimeoutSeconds = lockTimeoutSeconds;
        options.protectedWriteTable = std::move(table);
        return options;
    }
    static TransactionOptions readCommittedRecVersionWait(int lockTimeoutSeconds) {
        TransactionOptions options;
        options.readCommitted = options.recVersion = true;
        options.lockTimeoutSeconds = lockTimeoutSeconds;
        return options;
    }

    bool isServerDefault() const {
        return !readCommitted && !recVersion && !noWait && lockTimeoutSeconds == 0 &&
               protectedWriteTable.empty();
    }
};

class FbTransaction {
public:
    FbTransaction(FbAttachment& attachment, TransactionOptions options);
    ~FbTransaction();
    FbTransaction(const FbTransaction&) = delete;
    FbTransaction& operator=(const FbTransaction&) = delete;

    void start();
    void commit();
    void rollback();
    bool isActive() const;
    FbAttachment& attachment() { return m_attachment; }

    // The options of the next start; an active transaction keeps those it started with.
    TransactionOptions options() const { return m_options; }
    void setOptions(TransactionOptions options) { m_options = options; }

    // A number that changes each time the transaction ends: statements use it to know that their
    // cursor went with the transaction.
    std::uint64_t generation() const { return m_generation; }

    struct Impl;

private:
    friend class FbStatement;
    friend class FbAttachment;
    void ended();

    FbAttachment& m_attachment;
    TransactionOptions m_options;
    std::unique_ptr<Impl> m_impl;
    std::uint64_t m_generation = 0;
};

enum class ColumnKind { Text, Integer, Decimal, Float, Date, Time, Timestamp, Blob, Other };

// A DSQL statement with positional "?" parameters. Named parameters are the caller's matter.
class FbStatement {
public:
    FbStatement(FbAttachment& attachment, FbTransaction& transaction);
    ~FbStatement();
    FbStatement(const FbStatement&) = delete;
    FbStatement& operator=(const FbStatement&) = delete;

    // Text blobs of at most this many bytes can be fetched inline, as VARCHAR.
    static constexpr int kInlineTextBlobLength = 32765;

    // From the next prepare on, text blob columns come with the row as text instead of through the
    // blob calls, which saves two round trips per value; a value longer than
    // kInlineTextBlobLength then fails the fetch, so callers switch it on only when none is.
    void setTextBlobsInline(bool inlined) { m_textBlobsInline = inlined; }

    // Prepares the text in the statement's transaction, which must be active.
    void prepare(const std::string& sql);
    size_t parameterCount() const;
    // The bytes are not copied: they must stay valid until execute() (packages can be large).
    void setBlobParameter(size_t index, std::string_view bytes);
    void setTextParameter(size_t index, std::string_view bytes);
    void setNullParameter(size_t index);

    // Executes; a select opens its cursor (call fetch() for rows).
    void execute();
    bool isSelect() const;
    // Steps to the next row; false when there is none (the cursor is then closed).
    bool fetch();
    // Closes an open cursor (nothing happens when none is open or the transaction has ended).
    void closeCursor();
    bool hasOpenCursor() const;
    // Releases the server-side statement (the next prepare allocates a new one).
    void release();

    size_t columnCount() const;
    std::string columnName(size_t index) const; // alias as the server reports it (upper case)
    ColumnKind columnKind(size_t index) const;
    // Declared length of a text column in bytes (CHAR(n), VARCHAR(n)).
    int columnLength(size_t index) const;
    std::optional<size_t> findColumn(std::string_view name) const; // ASCII case ignored

    // Values of the current row.
    bool isNull(size_t index) const;
    // The text form: CHAR padding kept, numbers in decimal with "." as mark, timestamps as
    // "yyyy.mm.dd hh:nn:ss" (only the date at midnight), blobs as their bytes; NULL reads as "".
    std::string asText(size_t index) const;
    std::int64_t asInteger(size_t index) const;
    double asDecimal(size_t index) const;
    DateTime asDateTime(size_t index) const;
    std::string asBlob(size_t index) const;

    struct Impl;

private:
    friend class FbAttachment;
    void checkRow(size_t index) const;
    bool mayTakeLongToExecute() const;

    FbAttachment& m_attachment;
    FbTransaction& m_transaction;
    std::unique_ptr<Impl> m_impl;
    bool m_textBlobsInline = false;
};

} // namespace halvio::platform
