#pragma once
// A data set of the model (TSETUP, tuser, tdiag): a select read row by row through its own
// transaction, fields read by name. The end of its transaction closes it.

#include "DateTime.h"
#include "Transaction.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace halvio {

class DataSet {
public:
    DataSet(Transaction& transaction, std::string selectSql);
    virtual ~DataSet() = default;

    // Starts the transaction when it is not active and positions on the first row. Opening an open
    // data set does nothing.
    void open();
    void close();
    // Text blobs come with each row (see FbStatement::setTextBlobsInline); applies at the next open.
    void setTextBlobsInline(bool inlined) { m_statement.setTextBlobsInline(inlined); }
    bool isOpen() const;
    bool eof() const;
    void next();

    bool isNull(std::string_view field) const;
    std::string text(std::string_view field) const;
    std::int64_t integer(std::string_view field) const;
    DateTime dateTime(std::string_view field) const;

protected:
    // Called after the select was executed, before the first row is taken; throws to refuse the
    // layout it found (a field of another width than the one expected).
    virtual void checkLayout(const platform::FbStatement&) {}

private:
    size_t indexOf(std::string_view field) const;

    Transaction& m_transaction;
    platform::FbStatement m_statement;
    std::string m_sql;
    bool m_open = false;
    bool m_rowCurrent = false;
    std::uint64_t m_generation = 0;
};

// TSETUP: the clinic's settings row, with NOM expected at a given width (60, or 40 in older databases).
class SetupDataSet : public DataSet {
public:
    explicit SetupDataSet(Transaction& transaction);
    void setNomWidth(int width) { m_nomWidth = width; }

protected:
    void checkLayout(const platform::FbStatement& statement) override;

private:
    int m_nomWidth = 60;
};

} // namespace halvio
