#pragma once
// RAII over one SQLite connection and its prepared statements. Every failure is a SqliteError with
// SQLite's own message; values reach statements only through bound parameters.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace halvio::tools::console {

class SqliteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&&) = delete;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Parameters count from 1, as in the SQL text (?1, ?2 ...). The text is copied.
    SqliteStatement& bind(int index, std::string_view text);
    SqliteStatement& bind(int index, std::int64_t value);

    // True while a row is there to read; false once the statement is done.
    bool step();
    // Steps to the end, for a statement that returns no row.
    void run();
    // Ready to run again with new parameters.
    void reset();

    // Columns count from 0. A NULL reads as an empty text or 0.
    std::string text(int column) const;
    std::int64_t integer(int column) const;

private:
    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
};

class SqliteDatabase {
public:
    // Opens the file, creating it when missing. Throws SqliteError.
    explicit SqliteDatabase(const std::filesystem::path& file);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // Statements without parameters (schema, pragmas), several separated by ";".
    void execute(std::string_view sql);
    SqliteStatement prepare(std::string_view sql);

    // A deterministic SQL function of one text argument, e.g. a fold for searching.
    using TextFunction = std::string (*)(std::string_view);
    void defineTextFunction(const char* name, TextFunction function);

private:
    sqlite3* m_db = nullptr;
};

// BEGIN at construction, ROLLBACK at destruction unless commit() was called.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteDatabase& db);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;
    void commit();

private:
    SqliteDatabase& m_db;
    bool m_open = true;
};

} // namespace halvio::tools::console
