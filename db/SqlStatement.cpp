#include "SqlStatement.h"

#include "Fonction.h"
#include "NamedParameters.h"

namespace halvio {

SqlStatement::SqlStatement(Transaction& transaction)
    : m_transaction(transaction), m_statement(transaction.database().attachment(), transaction.handle()) {}

void SqlStatement::setSql(std::string_view sql) {
    close();
    m_sql.assign(sql);
    m_blobParameters.clear();
}

void SqlStatement::setBlobParameter(std::string_view name, std::string_view bytes) {
    for (auto& [existing, value] : m_blobParameters) {
        if (equalsIgnoringAsciiCase(existing, name)) {
            value = bytes;
            return;
        }
    }
    m_blobParameters.emplace_back(std::string(name), bytes);
}

void SqlStatement::execute() {
    close();
    if (!m_transaction.isActive())
        throw platform::DatabaseError("Transaction is not active");
    const PositionalSql positional = toPositionalSql(m_sql);
    m_statement.prepare(positional.sql);
    for (size_t i = 0; i < positional.names.size() && i < m_statement.parameterCount(); ++i) {
        bool bound = false;
        for (const auto& [name, value] : m_blobParameters) {
            if (equalsIgnoringAsciiCase(name, positional.names[i])) {
                m_statement.setBlobParameter(i, value);
                bound = true;
                break;
            }
        }
        if (!bound)
            m_statement.setNullParameter(i);
    }
    m_statement.execute();
    m_rowCount = 0;
    m_rowCurrent = false;
    if (m_statement.isSelect()) {
        m_rowGeneration = m_transaction.handle().generation();
        m_rowCurrent = m_statement.fetch();
        if (m_rowCurrent)
            m_rowCount = 1;
    }
}

void SqlStatement::executeSingleRow() {
    close();
    if (!m_transaction.isActive())
        throw platform::DatabaseError("Transaction is not active");
    const PositionalSql positional = toPositionalSql(m_sql);
    if (!positional.names.empty())
        throw platform::DatabaseError("Parameter :" + positional.names.front() +
                                      " in a statement executed without a prepare");
    m_statement.executeSingleRowImmediate(positional.sql);
    m_rowCount = 0;
}

void SqlStatement::close() {
    m_statement.closeCursor();
    m_rowCurrent = false;
}

void SqlStatement::next() {
    if (eof())
        return;
    m_rowCurrent = m_statement.fetch();
    if (m_rowCurrent)
        ++m_rowCount;
}

bool SqlStatement::eof() const {
    // The end of the transaction closes the select.
    return !m_rowCurrent || m_rowGeneration != m_transaction.handle().generation() ||
           !m_transaction.isActive();
}

size_t SqlStatement::indexOf(std::string_view column) const {
    if (eof())
        throw platform::DatabaseError("No current row");
    if (auto index = m_statement.findColumn(column))
        return *index;
    throw platform::DatabaseError("Field " + std::string(column) + " not found");
}

size_t SqlStatement::checkedIndex(size_t index) const {
    if (eof())
        throw platform::DatabaseError("No current row");
    return index;
}

} // namespace halvio
