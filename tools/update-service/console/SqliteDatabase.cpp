#include "SqliteDatabase.h"

#include <sqlite3.h>

#include <utility>

namespace halvio::tools::console {

namespace {

[[noreturn]] void fail(sqlite3* db, std::string_view what) {
    throw SqliteError(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

void textFunctionCall(sqlite3_context* context, int, sqlite3_value** arguments) {
    const auto function = reinterpret_cast<SqliteDatabase::TextFunction>(sqlite3_user_data(context));
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(arguments[0]));
    const int size = sqlite3_value_bytes(arguments[0]);
    try {
        const std::string result =
            function(bytes ? std::string_view(bytes, static_cast<size_t>(size)) : std::string_view());
        sqlite3_result_text(context, result.data(), static_cast<int>(result.size()), SQLITE_TRANSIENT);
    } catch (const std::exception& error) {
        sqlite3_result_error(context, error.what(), -1);
    }
}

} // namespace

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql) : m_db(db) {
    if (sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()), &m_statement, nullptr) !=
        SQLITE_OK)
        fail(m_db, "prepare");
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(m_statement);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : m_db(other.m_db), m_statement(std::exchange(other.m_statement, nullptr)) {}

SqliteStatement& SqliteStatement::bind(int index, std::string_view text) {
    if (sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) !=
        SQLITE_OK)
        fail(m_db, "bind");
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t value) {
    if (sqlite3_bind_int64(m_statement, index, value) != SQLITE_OK)
        fail(m_db, "bind");
    return *this;
}

bool SqliteStatement::step() {
    const int result = sqlite3_step(m_statement);
    if (result == SQLITE_ROW)
        return true;
    if (result == SQLITE_DONE)
        return false;
    fail(m_db, "step");
}

void SqliteStatement::run() {
    while (step()) {
    }
}

void SqliteStatement::reset() {
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

std::string SqliteStatement::text(int column) const {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    if (!bytes)
        return {};
    return std::string(bytes, static_cast<size_t>(sqlite3_column_bytes(m_statement, column)));
}

std::int64_t SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(m_statement, column);
}

SqliteDatabase::SqliteDatabase(const std::filesystem::path& file) {
    // The connection is shared by the service's workers under the index's own lock.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(file.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        const std::string message =
            "open " + file.string() + ": " + (m_db ? sqlite3_errmsg(m_db) : "out of memory");
        sqlite3_close(m_db);
        throw SqliteError(message);
    }
}

SqliteDatabase::~SqliteDatabase() {
    sqlite3_close_v2(m_db);
}

void SqliteDatabase::execute(std::string_view sql) {
    const std::string text(sql);
    if (sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(m_db, "execute");
}

SqliteStatement SqliteDatabase::prepare(std::string_view sql) {
    return SqliteStatement(m_db, sql);
}

void SqliteDatabase::defineTextFunction(const char* name, TextFunction function) {
    if (sqlite3_create_function_v2(m_db, name, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   reinterpret_cast<void*>(function), textFunctionCall, nullptr, nullptr,
                                   nullptr) != SQLITE_OK)
        fail(m_db, "define function");
}

SqliteTransaction::SqliteTransaction(SqliteDatabase& db) : m_db(db) {
    m_db.execute("BEGIN IMMEDIATE");
}

SqliteTransaction::~SqliteTransaction() {
    if (!m_open)
        return;
    try {
        m_db.execute("ROLLBACK");
    } catch (const SqliteError&) {
        // SQLite has already rolled back a transaction that a failed statement ended.
    }
}

void SqliteTransaction::commit() {
    m_db.execute("COMMIT");
    m_open = false;
}

} // namespace halvio::tools::console
