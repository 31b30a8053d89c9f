#include "DataSet.h"

namespace halvio {

DataSet::DataSet(Transaction& transaction, std::string selectSql)
    : m_transaction(transaction), m_statement(transaction.database().attachment(), transaction.handle()),
      m_sql(std::move(selectSql)) {}

void DataSet::open() {
    if (isOpen())
        return;
    if (!m_transaction.isActive())
        m_transaction.start();
    m_statement.prepare(m_sql);
    m_statement.execute();
    checkLayout(m_statement);
    m_generation = m_transaction.handle().generation();
    m_open = true;
    m_rowCurrent = m_statement.fetch();
}

void DataSet::close() {
    if (m_open && m_generation == m_transaction.handle().generation())
        m_statement.closeCursor();
    m_open = false;
    m_rowCurrent = false;
}

bool DataSet::isOpen() const {
    return m_open && m_transaction.isActive() && m_generation == m_transaction.handle().generation();
}

bool DataSet::eof() const {
    return !isOpen() || !m_rowCurrent;
}

void DataSet::next() {
    if (eof())
        return;
    m_rowCurrent = m_statement.fetch();
}

size_t DataSet::indexOf(std::string_view field) const {
    if (!isOpen())
        throw platform::DatabaseError("Dataset not open");
    if (!m_rowCurrent)
        throw platform::DatabaseError("No current record");
    if (auto index = m_statement.findColumn(field))
        return *index;
    throw platform::DatabaseError("Field '" + std::string(field) + "' not found");
}

bool DataSet::isNull(std::string_view field) const {
    return m_statement.isNull(indexOf(field));
}

std::string DataSet::text(std::string_view field) const {
    return m_statement.asText(indexOf(field));
}

std::int64_t DataSet::integer(std::string_view field) const {
    return m_statement.asInteger(indexOf(field));
}

DateTime DataSet::dateTime(std::string_view field) const {
    return m_statement.asDateTime(indexOf(field));
}

SetupDataSet::SetupDataSet(Transaction& transaction) : DataSet(transaction, "select * from SETUP") {}

void SetupDataSet::checkLayout(const platform::FbStatement& statement) {
    const auto nom = statement.findColumn("NOM");
    if (!nom)
        throw platform::DatabaseError("Field 'NOM' not found");
    const int actual = statement.columnLength(*nom);
    if (actual != m_nomWidth)
        throw platform::DatabaseError("Size mismatch for field NOM, expecting: " + std::to_string(m_nomWidth) +
                                      " actual: " + std::to_string(actual));
}

} // namespace halvio
