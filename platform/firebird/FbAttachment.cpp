#include "FbAttachment.h"

#include "FbHandles.h"
#include "FbStatus.h"
#include "Fonction.h"

namespace halvio::platform {

namespace {

// The database parameter block of an attach: the user and the password.
std::string attachParameters(const std::string& user, const std::string& password) {
    std::string dpb;
    dpb += static_cast<char>(isc_dpb_version1);
    dpb += static_cast<char>(isc_dpb_user_name);
    dpb += static_cast<char>(user.size());
    dpb += user;
    dpb += static_cast<char>(isc_dpb_password);
    dpb += static_cast<char>(password.size());
    dpb += password;
    return dpb;
}

// The transaction parameter block; empty for the server's default.
std::string transactionParameters(const TransactionOptions& options) {
    std::string tpb;
    if (options.isServerDefault())
        return tpb;
    tpb += static_cast<char>(isc_tpb_version3);
    tpb += static_cast<char>(isc_tpb_write);
    tpb += static_cast<char>(options.readCommitted ? isc_tpb_read_committed : isc_tpb_concurrency);
    if (options.recVersion)
        tpb += static_cast<char>(isc_tpb_rec_version);
    tpb += static_cast<char>(options.noWait ? isc_tpb_nowait : isc_tpb_wait);
    if (options.lockTimeoutSeconds > 0 && !options.noWait) {
        // A four-byte little-endian count of seconds.
        tpb += static_cast<char>(isc_tpb_lock_timeout);
        tpb += static_cast<char>(4);
        for (int shift = 0; shift < 32; shift += 8)
            tpb += static_cast<char>((static_cast<unsigned>(options.lockTimeoutSeconds) >> shift) & 0xFF);
    }
    if (!options.protectedWriteTable.empty()) {
        tpb += static_cast<char>(isc_tpb_lock_write);
        tpb += static_cast<char>(options.protectedWriteTable.size());
        tpb += options.protectedWriteTable;
        tpb += static_cast<char>(isc_tpb_protected);
    }
    return tpb;
}

} // namespace

// ---------------------------------------------------------------------------------------------
FbAttachment::FbAttachment() : m_impl(std::make_unique<Impl>()) {}

FbAttachment::~FbAttachment() {
    try {
        detach();
    } catch (...) {
        // A destructor cannot report; the process is going away with the handle anyway.
    }
}

void FbAttachment::attach(const std::string& name, const std::string& user, const std::string& password) {
    if (isAttached())
        return;
    const std::string dpb = attachParameters(user, password);
    isc_db_handle handle = 0;
    // A server that does not answer keeps the attach waiting for its time limit.
    m_impl->idle.callLong([&] {
        ISC_STATUS_ARRAY status;
        isc_attach_database(status, static_cast<short>(name.size()), name.c_str(), &handle,
                            static_cast<short>(dpb.size()), dpb.data());
        check(status);
    });
    m_impl->handle = handle;
}

void FbAttachment::setIdle(std::function<void()> idle) {
    m_impl->idle.setIdle(std::move(idle));
}

void FbAttachment::detach() {
    if (!isAttached())
        return;
    std::string firstError;
    for (FbTransaction* transaction : m_impl->transactions) {
        if (!transaction->isActive())
            continue;
        try {
            transaction->commit();
        } catch (const DatabaseError& error) {
            if (firstError.empty())
                firstError = error.what();
            try {
                transaction->rollback();
            } catch (const DatabaseError&) {
            }
        }
    }
    for (FbStatement* statement : m_impl->statements)
        statement->release();
    // The server answers a detach once it has let the attachment go, which may take it a while.
    m_impl->idle.callLong([&] {
        ISC_STATUS_ARRAY status;
        isc_detach_database(status, &m_impl->handle);
    });
    m_impl->handle = 0;
    if (!firstError.empty())
        throw DatabaseError(firstError);
}

bool FbAttachment::isAttached() const {
    return m_impl->handle != 0;
}

void FbAttachment::createDatabase(const std::string& name, const std::string& user,
                                  const std::string& password) {
    const std::string sql = "CREATE DATABASE " + Quoted(name) + " USER " + Quoted(user) + " PASSWORD " +
                            Quoted(password) + " PAGE_SIZE 8192";
    ISC_STATUS_ARRAY status;
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), 3, nullptr);
    check(status);
    isc_detach_database(status, &db);
    check(status);
}

// ---------------------------------------------------------------------------------------------
FbTransaction::FbTransaction(FbAttachment& attachment, TransactionOptions options)
    : m_attachment(attachment), m_options(options), m_impl(std::make_unique<Impl>()) {
    m_attachment.m_impl->transactions.insert(this);
}

FbTransaction::~FbTransaction() {
    if (isActive()) {
        ISC_STATUS_ARRAY status;
        isc_rollback_transaction(status, &m_impl->handle);
        m_impl->handle = 0;
    }
    m_attachment.m_impl->transactions.erase(this);
}

void FbTransaction::start() {
    if (isActive())
        throw DatabaseError("Transaction is already active");
    if (!m_attachment.isAttached())
        throw DatabaseError("Database not open");
    const std::string tpb = transactionParameters(m_options);
    ISC_STATUS_ARRAY status;
    isc_tr_handle handle = 0;
    isc_start_transaction(status, &handle, 1, &m_attachment.m_impl->handle,
                          static_cast<unsigned short>(tpb.size()), tpb.empty() ? nullptr : tpb.data());
    check(status);
    m_impl->handle = handle;
}

void FbTransaction::commit() {
    if (!isActive())
        throw DatabaseError("Transaction is not active");
    // Even a commit of one row waits for the server's disk (forced writes), which a busy disk can
    // make last a tenth of a second or more.
    ISC_STATUS_ARRAY status;
    m_attachment.m_impl->idle.callLong([&] { isc_commit_transaction(status, &m_impl->handle); });
    check(status);
    m_impl->handle = 0;
    ended();
}

void FbTransaction::rollback() {
    if (!isActive())
        throw DatabaseError("Transaction is not active");
    ISC_STATUS_ARRAY status;
    m_attachment.m_impl->idle.callLong([&] { isc_rollback_transaction(status, &m_impl->handle); });
    // A failed roll-back leaves nothing usable behind: the handle is given up either way.
    m_impl->handle = 0;
    ended();
    check(status);
}

bool FbTransaction::isActive() const {
    return m_impl->handle != 0;
}

void FbTransaction::ended() {
    ++m_generation;
}

} // namespace halvio::platform
