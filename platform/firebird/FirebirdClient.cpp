#include "FirebirdClient.h"

#include "CallWhileIdle.h"
#include "Fonction.h"

#include <ibase.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>

namespace halvio::platform {

namespace {

// Segments of at most this many bytes: the client's segment length is an unsigned short.
constexpr unsigned short kBlobSegment = 32768;

// A blob parameter from this size on makes its statement one that may take long (a package's file
// recorded whole); smaller ones are written in a few milliseconds.
constexpr size_t kLongBlobBytes = 1u << 20;

// A transaction that ran this many statements (a batch of the DIAG copy) writes enough pages at its
// commit to be worth a worker thread; a script's one-statement transactions are not.
constexpr int kManyStatements = 20;

std::string statusMessage(const ISC_STATUS* status) {
    std::string message;
    const ISC_STATUS* vector = status;
    char buffer[1024];
    while (fb_interpret(buffer, sizeof buffer, &vector) > 0) {
        if (!message.empty())
            message += '\n';
        message += buffer;
    }
    if (message.empty())
        message = "Unknown database error";
    return message;
}

// Operating-system codes of a file that does not exist: ENOENT, and Windows' ERROR_FILE_NOT_FOUND
// and ERROR_PATH_NOT_FOUND.
constexpr ISC_STATUS kUnixNoSuchFile = 2;
constexpr ISC_STATUS kWindowsFileNotFound = 2;
constexpr ISC_STATUS kWindowsPathNotFound = 3;

// A server reports the operating system's error as a code when it is local, as an interpreted
// text (in its own language) when it is remote: an open that failed without a code other than
// "no such file" is taken for a file that is not there.
DatabaseFault faultOf(const ISC_STATUS* status) {
    bool ioError = false, openFailed = false, otherSystemError = false, login = false, network = false;
    for (const ISC_STATUS* item = status; *item != isc_arg_end;) {
        const ISC_STATUS kind = *item++;
        if (kind == isc_arg_cstring) {
            item += 2; // length, then the text
            continue;
        }
        const ISC_STATUS value = *item++;
        if (kind == isc_arg_unix && value != kUnixNoSuchFile)
            otherSystemError = true;
        if (kind == isc_arg_win32 && value != kWindowsFileNotFound && value != kWindowsPathNotFound)
            otherSystemError = true;
        if (kind != isc_arg_gds && kind != isc_arg_warning)
            continue;
        switch (value) {
        case isc_io_error:
            ioError = true;
            break;
        case isc_io_open_err:
            openFailed = true;
            break;
        case isc_login:
            login = true;
            break;
        case isc_network_error:
        case isc_net_connect_err:
        case isc_net_connect_listen_err:
        case isc_net_lookup_err:
        case isc_net_read_err:
        case isc_net_write_err:
        case isc_conn_lost:
        case isc_unavailable:
            network = true;
            break;
        default:
            break;
        }
    }
    if (ioError)
        return openFailed && !otherSystemError ? DatabaseFault::FileNotFound : DatabaseFault::FileNotOpened;
    if (network)
        return DatabaseFault::ServerUnreachable;
    if (login)
        return DatabaseFault::LoginRefused;
    return DatabaseFault::Other;
}

// The gds codes of a status vector: each isc_arg_gds entry, skipping the arguments between them.
std::vector<long> statusCodes(const ISC_STATUS* status) {
    std::vector<long> codes;
    for (const ISC_STATUS* item = status; *item != isc_arg_end;) {
        const ISC_STATUS kind = *item++;
        if (kind == isc_arg_gds)
            codes.push_back(static_cast<long>(*item));
        // isc_arg_cstring carries a length and a pointer; every other kind one value.
        item += kind == isc_arg_cstring ? 2 : 1;
    }
    return codes;
}

void check(const ISC_STATUS* status) {
    if (status[0] == 1 && status[1] != 0)
        throw DatabaseError(statusMessage(status), faultOf(status), statusCodes(status));
}

bool hasAnyCode(const std::vector<long>& codes, std::initializer_list<ISC_STATUS> wanted) {
    return std::any_of(codes.begin(), codes.end(), [&](long code) {
        return std::find(wanted.begin(), wanted.end(), static_cast<ISC_STATUS>(code)) != wanted.end();
    });
}

struct XsqldaDeleter {
    void operator()(XSQLDA* da) const { std::free(da); }
};
using XsqldaPtr = std::unique_ptr<XSQLDA, XsqldaDeleter>;

XsqldaPtr makeXsqlda(int count) {
    const int n = std::max(count, 1);
    auto* da = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(n)));
    da->version = SQLDA_VERSION1;
    da->sqln = static_cast<ISC_SHORT>(n);
    return XsqldaPtr(da);
}

std::int64_t powerOfTen(int exponent) {
    std::int64_t value = 1;
    for (int i = 0; i < exponent; ++i)
        value *= 10;
    return value;
}

std::string scaledText(std::int64_t value, int scale) {
    if (scale >= 0)
        return std::to_string(value * powerOfTen(scale));
    const std::int64_t divisor = powerOfTen(-scale);
    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string text = std::to_string(magnitude / divisor);
    std::string fraction = std::to_string(magnitude % divisor);
    fraction.insert(0, static_cast<size_t>(-scale) - fraction.size(), '0');
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    if (!fraction.empty())
        text += "." + fraction;
    return (negative ? "-" : "") + text;
}

DateTime fromTm(const std::tm& parts) {
    return DateTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                    parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

} // namespace

// ---------------------------------------------------------------------------------------------
bool DatabaseError::isLockConflict() const {
    return hasAnyCode(m_codes, {isc_lock_conflict, isc_lock_timeout, isc_deadlock, isc_update_conflict});
}

bool DatabaseError::isDuplicateKey() const {
    return hasAnyCode(m_codes, {isc_unique_key_violation, isc_no_dup});
}

// ---------------------------------------------------------------------------------------------
struct FbAttachment::Impl {
    isc_db_handle handle = 0;
    IdleCalls idle;
    std::set<FbTransaction*> transactions;
    std::set<FbStatement*> statements;
};

struct FbTransaction::Impl {
    isc_tr_handle handle = 0;
    // A statement that may have taken long ran in it, or many statements did: its commit or roll-back
    // may take long too (the pages they changed are written then).
    bool changedMuch = false;
    int statements = 0;
};

struct FbStatement::Impl {
    isc_stmt_handle handle = 0;
    XsqldaPtr output;
    XsqldaPtr input;
    std::vector<std::vector<char>> outputBuffers;
    std::vector<short> outputIndicators;
    int statementType = 0;
    bool firstFetchPending = false; // a select's first fetch is where its work is done
    bool cursorOpen = false;
    bool rowCurrent = false;
    std::uint64_t cursorGeneration = 0;

    struct Parameter {
        enum class Kind { Unset, Null, Text, Blob } kind = Kind::Unset;
        std::string bytes;     // a text parameter's own copy
        std::string_view blob; // a blob parameter's bytes, owned by the caller
    };
    std::vector<Parameter> parameters;
};

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
    std::string dpb;
    dpb += static_cast<char>(isc_dpb_version1);
    dpb += static_cast<char>(isc_dpb_user_name);
    dpb += static_cast<char>(user.size());
    dpb += user;
    dpb += static_cast<char>(isc_dpb_password);
    dpb += static_cast<char>(password.size());
    dpb += password;
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
    ISC_STATUS_ARRAY status;
    isc_detach_database(status, &m_impl->handle);
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
namespace {

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
    m_impl->changedMuch = false;
    m_impl->statements = 0;
}

void FbTransaction::commit() {
    if (!isActive())
        throw DatabaseError("Transaction is not active");
    ISC_STATUS_ARRAY status;
    const auto call = [&] { isc_commit_transaction(status, &m_impl->handle); };
    if (m_impl->changedMuch)
        m_attachment.m_impl->idle.callLong(call);
    else
        m_attachment.m_impl->idle.callShort(call);
    check(status);
    m_impl->handle = 0;
    ended();
}

void FbTransaction::rollback() {
    if (!isActive())
        throw DatabaseError("Transaction is not active");
    ISC_STATUS_ARRAY status;
    const auto call = [&] { isc_rollback_transaction(status, &m_impl->handle); };
    if (m_impl->changedMuch)
        m_attachment.m_impl->idle.callLong(call);
    else
        m_attachment.m_impl->idle.callShort(call);
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

// ---------------------------------------------------------------------------------------------
FbStatement::FbStatement(FbAttachment& attachment, FbTransaction& transaction)
    : m_attachment(attachment), m_transaction(transaction), m_impl(std::make_unique<Impl>()) {
    m_attachment.m_impl->statements.insert(this);
}

FbStatement::~FbStatement() {
    release();
    m_attachment.m_impl->statements.erase(this);
}

void FbStatement::release() {
    if (m_impl->handle != 0) {
        ISC_STATUS_ARRAY status;
        if (m_attachment.isAttached())
            isc_dsql_free_statement(status, &m_impl->handle, DSQL_drop);
        m_impl->handle = 0;
    }
    m_impl->cursorOpen = false;
    m_impl->rowCurrent = false;
    m_impl->firstFetchPending = false;
    m_impl->output.reset();
    m_impl->input.reset();
    m_impl->outputBuffers.clear();
    m_impl->outputIndicators.clear();
    m_impl->parameters.clear();
}

void FbStatement::prepare(const std::string& sql) {
    release();
    if (!m_attachment.isAttached())
        throw DatabaseError("Database not open");
    if (!m_transaction.isActive())
        throw DatabaseError("Transaction is not active");
    ISC_STATUS_ARRAY status;
    isc_stmt_handle handle = 0;
    isc_dsql_allocate_statement(status, &m_attachment.m_impl->handle, &handle);
    check(status);
    m_impl->handle = handle;

    auto output = makeXsqlda(8);
    isc_dsql_prepare(status, &m_transaction.m_impl->handle, &m_impl->handle, 0, sql.c_str(), 3, output.get());
    if (status[0] == 1 && status[1] != 0) {
        DatabaseError error(statusMessage(status), faultOf(status), statusCodes(status));
        release();
        throw error;
    }
    if (output->sqld > output->sqln) {
        const int count = output->sqld;
        output = makeXsqlda(count);
        isc_dsql_describe(status, &m_impl->handle, 1, output.get());
        check(status);
    }
    output->sqln = std::max<ISC_SHORT>(output->sqld, 1);

    // Room for every column of a row; VARCHAR carries its 2-byte length in front.
    m_impl->outputBuffers.assign(static_cast<size_t>(output->sqld), {});
    m_impl->outputIndicators.assign(static_cast<size_t>(output->sqld), 0);
    for (int i = 0; i < output->sqld; ++i) {
        XSQLVAR& var = output->sqlvar[i];
        if (m_textBlobsInline && (var.sqltype & ~1) == SQL_BLOB && var.sqlsubtype == 1) {
            var.sqltype = static_cast<ISC_SHORT>(SQL_VARYING | (var.sqltype & 1));
            var.sqllen = kInlineTextBlobLength;
        }
        size_t size = static_cast<size_t>(var.sqllen);
        if ((var.sqltype & ~1) == SQL_VARYING)
            size += 2;
        m_impl->outputBuffers[i].assign(std::max<size_t>(size, 1), 0);
        var.sqldata = m_impl->outputBuffers[i].data();
        var.sqlind = &m_impl->outputIndicators[i];
        var.sqltype |= 1; // ask for null indicators on every column
    }
    m_impl->output = std::move(output);

    auto input = makeXsqlda(1);
    isc_dsql_describe_bind(status, &m_impl->handle, 1, input.get());
    check(status);
    if (input->sqld > input->sqln) {
        const int count = input->sqld;
        input = makeXsqlda(count);
        isc_dsql_describe_bind(status, &m_impl->handle, 1, input.get());
        check(status);
    }
    m_impl->parameters.assign(static_cast<size_t>(input->sqld), {});
    m_impl->input = std::move(input);

    char info[] = {isc_info_sql_stmt_type};
    char result[16] = {};
    isc_dsql_sql_info(status, &m_impl->handle, sizeof info, info, sizeof result, result);
    check(status);
    if (result[0] == isc_info_sql_stmt_type) {
        const short length = static_cast<short>(isc_vax_integer(result + 1, 2));
        m_impl->statementType = static_cast<int>(isc_vax_integer(result + 3, length));
    }
}

size_t FbStatement::parameterCount() const {
    return m_impl->parameters.size();
}

void FbStatement::setBlobParameter(size_t index, std::string_view bytes) {
    auto& parameter = m_impl->parameters.at(index);
    parameter.kind = Impl::Parameter::Kind::Blob;
    parameter.blob = bytes;
}

void FbStatement::setTextParameter(size_t index, std::string_view bytes) {
    auto& parameter = m_impl->parameters.at(index);
    parameter.kind = Impl::Parameter::Kind::Text;
    parameter.bytes.assign(bytes);
}

void FbStatement::setNullParameter(size_t index) {
    auto& parameter = m_impl->parameters.at(index);
    parameter.kind = Impl::Parameter::Kind::Null;
    parameter.bytes.clear();
}

namespace {

// Points the input descriptor at the parameters' values; blob parameters are written first, their
// ids kept in blobIds. Both vectors hold one element per parameter and outlive the execute.
void bindParameters(FbStatement::Impl& statement, isc_db_handle* db, isc_tr_handle* tr,
                    std::vector<ISC_QUAD>& blobIds, std::vector<short>& indicators) {
    ISC_STATUS_ARRAY status;
    XSQLDA* input = statement.input.get();
    for (size_t i = 0; i < statement.parameters.size(); ++i) {
        auto& parameter = statement.parameters[i];
        XSQLVAR& var = input->sqlvar[i];
        var.sqlind = &indicators[i];
        switch (parameter.kind) {
        case FbStatement::Impl::Parameter::Kind::Unset:
        case FbStatement::Impl::Parameter::Kind::Null:
            var.sqltype = static_cast<ISC_SHORT>(var.sqltype | 1);
            indicators[i] = -1;
            break;
        case FbStatement::Impl::Parameter::Kind::Text:
            var.sqltype = SQL_TEXT + 1;
            var.sqllen = static_cast<ISC_SHORT>(parameter.bytes.size());
            var.sqldata = parameter.bytes.data();
            break;
        case FbStatement::Impl::Parameter::Kind::Blob: {
            isc_blob_handle blob = 0;
            ISC_QUAD id{};
            isc_create_blob2(status, db, tr, &blob, &id, 0, nullptr);
            check(status);
            size_t offset = 0;
            while (offset < parameter.blob.size()) {
                const auto piece = static_cast<unsigned short>(
                    std::min<size_t>(kBlobSegment, parameter.blob.size() - offset));
                isc_put_segment(status, &blob, piece, parameter.blob.data() + offset);
                if (status[0] == 1 && status[1] != 0) {
                    DatabaseError error(statusMessage(status), faultOf(status), statusCodes(status));
                    ISC_STATUS_ARRAY ignored;
                    isc_cancel_blob(ignored, &blob);
                    throw error;
                }
                offset += piece;
            }
            isc_close_blob(status, &blob);
            check(status);
            blobIds[i] = id;
            var.sqltype = SQL_BLOB + 1;
            var.sqldata = reinterpret_cast<ISC_SCHAR*>(&blobIds[i]);
            break;
        }
        }
    }
}

} // namespace

void FbStatement::execute() {
    if (m_impl->handle == 0)
        throw DatabaseError("Statement not prepared");
    if (!m_transaction.isActive())
        throw DatabaseError("Transaction is not active");
    closeCursor();

    const bool mayTakeLong = mayTakeLongToExecute();
    const auto call = [this] {
        std::vector<ISC_QUAD> blobIds(m_impl->parameters.size());
        std::vector<short> indicators(m_impl->parameters.size(), 0);
        bindParameters(*m_impl, &m_attachment.m_impl->handle, &m_transaction.m_impl->handle, blobIds,
                       indicators);
        ISC_STATUS_ARRAY status;
        isc_dsql_execute(status, &m_transaction.m_impl->handle, &m_impl->handle, 3,
                         m_impl->parameters.empty() ? nullptr : m_impl->input.get());
        check(status);
    };
    FbTransaction::Impl& transaction = *m_transaction.m_impl;
    if (!isSelect() && (mayTakeLong || ++transaction.statements >= kManyStatements))
        transaction.changedMuch = true;
    if (mayTakeLong)
        m_attachment.m_impl->idle.callLong(call);
    else
        m_attachment.m_impl->idle.callShort(call);
    if (isSelect()) {
        m_impl->cursorOpen = true;
        m_impl->rowCurrent = false;
        m_impl->firstFetchPending = mayTakeLong;
        m_impl->cursorGeneration = m_transaction.generation();
    }
}

// An insert of values is one row: handing it to another thread would cost more than it saves, and a
// script or a copy runs thousands of them. Anything else can touch a whole table.
bool FbStatement::mayTakeLongToExecute() const {
    if (m_impl->statementType != isc_info_sql_stmt_insert)
        return true;
    for (const auto& parameter : m_impl->parameters)
        if (parameter.kind == Impl::Parameter::Kind::Blob && parameter.blob.size() >= kLongBlobBytes)
            return true;
    return false;
}

bool FbStatement::isSelect() const {
    return m_impl->statementType == isc_info_sql_stmt_select ||
           m_impl->statementType == isc_info_sql_stmt_select_for_upd;
}

bool FbStatement::hasOpenCursor() const {
    return m_impl->cursorOpen && m_impl->cursorGeneration == m_transaction.generation() &&
           m_transaction.isActive();
}

bool FbStatement::fetch() {
    if (!hasOpenCursor())
        throw DatabaseError("Cursor is not open");
    ISC_STATUS_ARRAY status;
    ISC_STATUS result = 0;
    const auto call = [&] { result = isc_dsql_fetch(status, &m_impl->handle, 3, m_impl->output.get()); };
    if (m_impl->firstFetchPending) {
        m_impl->firstFetchPending = false;
        m_attachment.m_impl->idle.callLong(call);
    } else {
        m_attachment.m_impl->idle.callShort(call);
    }
    if (result == 100) {
        m_impl->rowCurrent = false;
        closeCursor();
        return false;
    }
    check(status);
    m_impl->rowCurrent = true;
    return true;
}

void FbStatement::closeCursor() {
    if (m_impl->cursorOpen && hasOpenCursor()) {
        ISC_STATUS_ARRAY status;
        isc_dsql_free_statement(status, &m_impl->handle, DSQL_close);
    }
    m_impl->cursorOpen = false;
}

size_t FbStatement::columnCount() const {
    return m_impl->output ? static_cast<size_t>(m_impl->output->sqld) : 0;
}

std::string FbStatement::columnName(size_t index) const {
    const XSQLVAR& var = m_impl->output->sqlvar[index];
    return std::string(var.aliasname, static_cast<size_t>(var.aliasname_length));
}

ColumnKind FbStatement::columnKind(size_t index) const {
    const XSQLVAR& var = m_impl->output->sqlvar[index];
    switch (var.sqltype & ~1) {
    case SQL_TEXT:
    case SQL_VARYING:
        return ColumnKind::Text;
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        return var.sqlscale < 0 ? ColumnKind::Decimal : ColumnKind::Integer;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return ColumnKind::Float;
    case SQL_TYPE_DATE:
        return ColumnKind::Date;
    case SQL_TYPE_TIME:
        return ColumnKind::Time;
    case SQL_TIMESTAMP:
        return ColumnKind::Timestamp;
    case SQL_BLOB:
        return ColumnKind::Blob;
    default:
        return ColumnKind::Other;
    }
}

int FbStatement::columnLength(size_t index) const {
    return m_impl->output->sqlvar[index].sqllen;
}

std::optional<size_t> FbStatement::findColumn(std::string_view name) const {
    for (size_t i = 0; i < columnCount(); ++i) {
        if (equalsIgnoringAsciiCase(columnName(i), name))
            return i;
    }
    return std::nullopt;
}

void FbStatement::checkRow(size_t index) const {
    if (!m_impl->rowCurrent)
        throw DatabaseError("No current row");
    if (index >= columnCount())
        throw DatabaseError("Column index out of range");
}

bool FbStatement::isNull(size_t index) const {
    checkRow(index);
    return m_impl->outputIndicators[index] < 0;
}

namespace {
std::int64_t integerValue(const XSQLVAR& var) {
    switch (var.sqltype & ~1) {
    case SQL_SHORT: {
        ISC_SHORT v;
        std::memcpy(&v, var.sqldata, sizeof v);
        return v;
    }
    case SQL_LONG: {
        ISC_LONG v;
        std::memcpy(&v, var.sqldata, sizeof v);
        return v;
    }
    case SQL_INT64: {
        ISC_INT64 v;
        std::memcpy(&v, var.sqldata, sizeof v);
        return v;
    }
    default:
        return 0;
    }
}

double floatValue(const XSQLVAR& var) {
    if ((var.sqltype & ~1) == SQL_FLOAT) {
        float v;
        std::memcpy(&v, var.sqldata, sizeof v);
        return v;
    }
    double v;
    std::memcpy(&v, var.sqldata, sizeof v);
    return v;
}

std::string rawText(const XSQLVAR& var) {
    if ((var.sqltype & ~1) == SQL_VARYING) {
        unsigned short length;
        std::memcpy(&length, var.sqldata, sizeof length);
        return std::string(var.sqldata + 2, length);
    }
    return std::string(var.sqldata, static_cast<size_t>(var.sqllen));
}
} // namespace

std::string FbStatement::asText(size_t index) const {
    if (isNull(index))
        return {};
    const XSQLVAR& var = m_impl->output->sqlvar[index];
    switch (columnKind(index)) {
    case ColumnKind::Text:
        return rawText(var);
    case ColumnKind::Integer:
    case ColumnKind::Decimal:
        return scaledText(integerValue(var), var.sqlscale);
    case ColumnKind::Float: {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.15g", floatValue(var));
        return buffer;
    }
    case ColumnKind::Date:
        return DateToText(asDateTime(index));
    case ColumnKind::Time: {
        const DateTime t = asDateTime(index);
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", t.hour, t.minute, t.second);
        return buffer;
    }
    case ColumnKind::Timestamp:
        return DefaultDateTimeText(asDateTime(index));
    case ColumnKind::Blob:
        return asBlob(index);
    case ColumnKind::Other:
        break;
    }
    throw DatabaseError("Column " + columnName(index) + " cannot be read as text");
}

std::int64_t FbStatement::asInteger(size_t index) const {
    if (isNull(index))
        return 0;
    const XSQLVAR& var = m_impl->output->sqlvar[index];
    switch (columnKind(index)) {
    case ColumnKind::Integer:
    case ColumnKind::Decimal: {
        const std::int64_t value = integerValue(var);
        return var.sqlscale >= 0 ? value * powerOfTen(var.sqlscale) : value / powerOfTen(-var.sqlscale);
    }
    case ColumnKind::Float:
        return static_cast<std::int64_t>(std::llround(floatValue(var)));
    case ColumnKind::Text: {
        const std::string text = Trimmed(rawText(var));
        char* end = nullptr;
        const long long value = std::strtoll(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0')
            throw DatabaseError("'" + text + "' is not a valid integer value");
        return value;
    }
    default:
        throw DatabaseError("Column " + columnName(index) + " cannot be read as an integer");
    }
}

double FbStatement::asDecimal(size_t index) const {
    if (isNull(index))
        return 0.0;
    const XSQLVAR& var = m_impl->output->sqlvar[index];
    switch (columnKind(index)) {
    case ColumnKind::Integer:
    case ColumnKind::Decimal:
        return static_cast<double>(integerValue(var)) * std::pow(10.0, var.sqlscale);
    case ColumnKind::Float:
        return floatValue(var);
    case ColumnKind::Text: {
        const std::string text = Trimmed(rawText(var));
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0')
            throw DatabaseError("'" + text + "' is not a valid floating point value");
        return value;
    }
    default:
        throw DatabaseError("Column " + columnName(index) + " cannot be read as a number");
    }
}

DateTime FbStatement::asDateTime(size_t index) const {
    if (isNull(index))
        return DateTime::dayZero();
    const XSQLVAR& var = m_impl->output->sqlvar[index];
    std::tm parts{};
    switch (columnKind(index)) {
    case ColumnKind::Timestamp: {
        ISC_TIMESTAMP v;
        std::memcpy(&v, var.sqldata, sizeof v);
        isc_decode_timestamp(&v, &parts);
        return fromTm(parts);
    }
    case ColumnKind::Date: {
        ISC_DATE v;
        std::memcpy(&v, var.sqldata, sizeof v);
        isc_decode_sql_date(&v, &parts);
        return fromTm(parts);
    }
    case ColumnKind::Time: {
        ISC_TIME v;
        std::memcpy(&v, var.sqldata, sizeof v);
        isc_decode_sql_time(&v, &parts);
        DateTime t = DateTime::dayZero();
        t.hour = parts.tm_hour;
        t.minute = parts.tm_min;
        t.second = parts.tm_sec;
        return t;
    }
    case ColumnKind::Text: {
        const std::string text = rawText(var);
        if (auto value = parseDateTime(text))
            return *value;
        throw DatabaseError("'" + Trimmed(text) + "' is not a valid date and time");
    }
    default:
        throw DatabaseError("Column " + columnName(index) + " cannot be read as a date");
    }
}

std::string FbStatement::asBlob(size_t index) const {
    if (isNull(index))
        return {};
    const XSQLVAR& var = m_impl->output->sqlvar[index];
    if (columnKind(index) != ColumnKind::Blob)
        return asText(index);
    ISC_QUAD id;
    std::memcpy(&id, var.sqldata, sizeof id);
    ISC_STATUS_ARRAY status;
    isc_blob_handle blob = 0;
    isc_open_blob2(status, &m_attachment.m_impl->handle, &m_transaction.m_impl->handle, &blob, &id, 0,
                   nullptr);
    check(status);
    std::string bytes;
    std::vector<char> segment(kBlobSegment);
    while (true) {
        unsigned short length = 0;
        const ISC_STATUS result = isc_get_segment(
            status, &blob, &length, static_cast<unsigned short>(segment.size()), segment.data());
        if (result == isc_segstr_eof)
            break;
        if (result != 0 && result != isc_segment) {
            const std::string message = statusMessage(status);
            ISC_STATUS_ARRAY ignored;
            isc_close_blob(ignored, &blob);
            throw DatabaseError(message);
        }
        bytes.append(segment.data(), length);
    }
    isc_close_blob(status, &blob);
    return bytes;
}

} // namespace halvio::platform
