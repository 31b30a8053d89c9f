#include "FbStatement.h"

#include "FbBlob.h"
#include "FbHandles.h"
#include "FbStatus.h"
#include "FbValues.h"
#include "Fonction.h"

#include <algorithm>
#include <cstring>

namespace halvio::platform {

namespace {

// A blob parameter from this size on makes its statement one that may take long (a package's file
// recorded whole); smaller ones are written in a few milliseconds.
constexpr size_t kLongBlobBytes = 1u << 20;

// The columns a prepare describes at once; a select of more is described again with room for all.
constexpr int kColumnsDescribedFirst = 8;

using Parameter = FbStatement::Impl::Parameter;

// Points the input descriptor at the parameters' values; blob parameters are written first, their
// ids kept in blobIds. Both vectors hold one element per parameter and outlive the execute.
void bindParameters(FbStatement::Impl& statement, isc_db_handle* db, isc_tr_handle* tr,
                    std::vector<ISC_QUAD>& blobIds, std::vector<short>& indicators) {
    XSQLDA* input = statement.input.get();
    for (size_t i = 0; i < statement.parameters.size(); ++i) {
        Parameter& parameter = statement.parameters[i];
        XSQLVAR& var = input->sqlvar[i];
        var.sqlind = &indicators[i];
        switch (parameter.kind) {
        case Parameter::Kind::Unset:
        case Parameter::Kind::Null:
            var.sqltype = static_cast<ISC_SHORT>(var.sqltype | 1);
            indicators[i] = -1;
            break;
        case Parameter::Kind::Text:
            var.sqltype = SQL_TEXT + 1;
            var.sqllen = static_cast<ISC_SHORT>(parameter.bytes.size());
            var.sqldata = parameter.bytes.data();
            break;
        case Parameter::Kind::Blob:
            blobIds[i] = writeBlob(db, tr, parameter.blob);
            var.sqltype = SQL_BLOB + 1;
            var.sqldata = reinterpret_cast<ISC_SCHAR*>(&blobIds[i]);
            break;
        }
    }
}

// Gives every column of a row room in buffers (a VARCHAR carries its 2-byte length in front) and a
// null indicator; text blobs become VARCHAR columns when they come inline.
void layOutRow(XSQLDA& output, bool textBlobsInline, std::vector<std::vector<char>>& buffers,
               std::vector<short>& indicators) {
    buffers.assign(static_cast<size_t>(output.sqld), {});
    indicators.assign(static_cast<size_t>(output.sqld), 0);
    for (int i = 0; i < output.sqld; ++i) {
        XSQLVAR& var = output.sqlvar[i];
        if (textBlobsInline && (var.sqltype & ~1) == SQL_BLOB && var.sqlsubtype == 1) {
            var.sqltype = static_cast<ISC_SHORT>(SQL_VARYING | (var.sqltype & 1));
            var.sqllen = FbStatement::kInlineTextBlobLength;
        }
        size_t size = static_cast<size_t>(var.sqllen);
        if ((var.sqltype & ~1) == SQL_VARYING)
            size += 2;
        buffers[i].assign(std::max<size_t>(size, 1), 0);
        var.sqldata = buffers[i].data();
        var.sqlind = &indicators[i];
        var.sqltype |= 1; // ask for null indicators on every column
    }
}

} // namespace

XsqldaPtr makeXsqlda(int count) {
    const int n = std::max(count, 1);
    auto* da = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(n)));
    if (da == nullptr)
        throw DatabaseError("Out of memory for the description of " + std::to_string(n) + " columns");
    da->version = SQLDA_VERSION1;
    da->sqln = static_cast<ISC_SHORT>(n);
    return XsqldaPtr(da);
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
    describeOutput(sql);
    describeInput();
    readStatementType();
}

void FbStatement::describeOutput(const std::string& sql) {
    ISC_STATUS_ARRAY status;
    auto output = makeXsqlda(kColumnsDescribedFirst);
    isc_dsql_prepare(status, &m_transaction.m_impl->handle, &m_impl->handle, 0, sql.c_str(), 3, output.get());
    if (failed(status)) {
        DatabaseError error = errorFrom(status);
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
    layOutRow(*output, m_textBlobsInline, m_impl->outputBuffers, m_impl->outputIndicators);
    m_impl->output = std::move(output);
}

void FbStatement::describeInput() {
    ISC_STATUS_ARRAY status;
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
}

void FbStatement::readStatementType() {
    ISC_STATUS_ARRAY status;
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
    parameter.kind = Parameter::Kind::Blob;
    parameter.blob = bytes;
}

void FbStatement::setTextParameter(size_t index, std::string_view bytes) {
    auto& parameter = m_impl->parameters.at(index);
    parameter.kind = Parameter::Kind::Text;
    parameter.bytes.assign(bytes);
}

void FbStatement::setNullParameter(size_t index) {
    auto& parameter = m_impl->parameters.at(index);
    parameter.kind = Parameter::Kind::Null;
    parameter.bytes.clear();
}

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
    m_attachment.m_impl->idle.call(mayTakeLong, call);
    if (isSelect()) {
        m_impl->cursorOpen = true;
        m_impl->rowCurrent = false;
        m_impl->firstFetchPending = mayTakeLong;
        m_impl->cursorGeneration = m_transaction.generation();
    }
}

void FbStatement::executeSingleRowImmediate(const std::string& sql) {
    if (!m_attachment.isAttached())
        throw DatabaseError("Database not open");
    if (!m_transaction.isActive())
        throw DatabaseError("Transaction is not active");
    release();
    m_attachment.m_impl->idle.callShort([this, &sql] {
        ISC_STATUS_ARRAY status;
        isc_dsql_execute_immediate(status, &m_attachment.m_impl->handle, &m_transaction.m_impl->handle, 0,
                                   sql.c_str(), 3, nullptr);
        check(status);
    });
}

// An insert of values is one row: handing it to another thread would cost more than it saves, and a
// script or a copy runs thousands of them. Anything else can touch a whole table.
bool FbStatement::mayTakeLongToExecute() const {
    if (m_impl->statementType != isc_info_sql_stmt_insert)
        return true;
    for (const auto& parameter : m_impl->parameters)
        if (parameter.kind == Parameter::Kind::Blob && parameter.blob.size() >= kLongBlobBytes)
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
    const bool first = m_impl->firstFetchPending;
    m_impl->firstFetchPending = false;
    m_attachment.m_impl->idle.call(first, call);
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

// ---------------------------------------------------------------------------------------------
size_t FbStatement::columnCount() const {
    return m_impl->output ? static_cast<size_t>(m_impl->output->sqld) : 0;
}

std::string FbStatement::columnName(size_t index) const {
    return columnNameOf(m_impl->output->sqlvar[index]);
}

ColumnKind FbStatement::columnKind(size_t index) const {
    return columnKindOf(m_impl->output->sqlvar[index]);
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

std::string FbStatement::asText(size_t index) const {
    if (isNull(index))
        return {};
    if (columnKind(index) == ColumnKind::Blob)
        return asBlob(index);
    return decodeText(m_impl->output->sqlvar[index]);
}

std::int64_t FbStatement::asInteger(size_t index) const {
    return isNull(index) ? 0 : decodeInteger(m_impl->output->sqlvar[index]);
}

DateTime FbStatement::asDateTime(size_t index) const {
    return isNull(index) ? DateTime::dayZero() : decodeDateTime(m_impl->output->sqlvar[index]);
}

std::string FbStatement::asBlob(size_t index) const {
    if (isNull(index))
        return {};
    const XSQLVAR& var = m_impl->output->sqlvar[index];
    if (columnKind(index) != ColumnKind::Blob)
        return decodeText(var);
    ISC_QUAD id;
    std::memcpy(&id, var.sqldata, sizeof id);
    return readBlob(&m_attachment.m_impl->handle, &m_transaction.m_impl->handle, id);
}

} // namespace halvio::platform
