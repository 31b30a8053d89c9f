#pragma once
// A statement object (IBSQL1, ibf): one SQL text at a time, with ":name" parameters. Executing a
// select makes its first row current.

#include "DateTime.h"
#include "Transaction.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace halvio {

class SqlStatement {
public:
    explicit SqlStatement(Transaction& transaction);

    // Replaces the text; an open select is closed first.
    void setSql(std::string_view sql);

    // Binds a parameter by name (ASCII case ignored) to blob bytes, kept until the text changes.
    // The bytes are not copied: they must stay valid until execute().
    void setBlobParameter(std::string_view name, std::string_view bytes);

    // Executes in the statement's transaction, which must be active; a select fetches its first row.
    void execute();
    // Executes the text, which takes no parameters, returns no rows and writes one row (an insert
    // of values), in one exchange with the server instead of a prepare and an execute: a copy of
    // many rows goes twice as fast. A text with a ":name" parameter is refused before anything is
    // sent. Errors are those of execute().
    void executeSingleRow();
    // Ends the current select.
    void close();
    // Steps to the next row of the select.
    void next();
    // True when no row is current.
    bool eof() const;
    // Rows fetched so far: after execute, 1 or 0.
    int rowCount() const { return m_rowCount; }

    bool isNull(std::string_view column) const { return m_statement.isNull(indexOf(column)); }
    std::string text(std::string_view column) const { return m_statement.asText(indexOf(column)); }
    std::string text(size_t index) const { return m_statement.asText(checkedIndex(index)); }
    std::int64_t integer(std::string_view column) const { return m_statement.asInteger(indexOf(column)); }
    std::int64_t integer(size_t index) const { return m_statement.asInteger(checkedIndex(index)); }
    DateTime dateTime(std::string_view column) const { return m_statement.asDateTime(indexOf(column)); }
    std::string blob(std::string_view column) const { return m_statement.asBlob(indexOf(column)); }
    size_t columnCount() const { return m_statement.columnCount(); }

    Transaction& transaction() { return m_transaction; }

private:
    size_t indexOf(std::string_view column) const;
    size_t checkedIndex(size_t index) const;

    Transaction& m_transaction;
    platform::FbStatement m_statement;
    std::string m_sql;
    std::vector<std::pair<std::string, std::string_view>> m_blobParameters;
    int m_rowCount = 0;
    bool m_rowCurrent = false;
    std::uint64_t m_rowGeneration = 0;
};

} // namespace halvio
