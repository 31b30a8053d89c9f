#pragma once
// An attachment to a database and the transactions that run on it. Every failure of the client
// library becomes a DatabaseError carrying the server's message text.

#include "DatabaseError.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace halvio::platform {

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
    // attach and the detach, a statement other than an insert of values, a select's first fetch, an
    // insert with a large blob, every commit and roll-back), and between short calls at most every
    // 10 ms. Without one, every call runs on the calling thread and nothing else happens. Calls made on
    // another thread than the one that set it run there without it. The idle function must not use
    // this attachment.
    void setIdle(std::function<void()> idle);

    // Creates a database file (fixtures and tools); the new database is not kept attached.
    static void createDatabase(const std::string& name, const std::string& user, const std::string& password);

    struct Impl;

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

} // namespace halvio::platform
