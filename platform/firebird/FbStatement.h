#pragma once
// A DSQL statement of an attachment, run in one of its transactions, and the values of the row it
// is on. SQL dialect 3, no character set (texts pass as their stored bytes).

#include "DateTime.h"
#include "FbAttachment.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace halvio::platform {

enum class ColumnKind { Text, Integer, Decimal, Float, Date, Time, Timestamp, Blob, Other };

// A DSQL statement with positional "?" parameters. Named parameters are the caller's matter.
class FbStatement {
public:
    FbStatement(FbAttachment& attachment, FbTransaction& transaction);
    ~FbStatement();
    FbStatement(const FbStatement&) = delete;
    FbStatement& operator=(const FbStatement&) = delete;

    // Text blobs of at most this many bytes can be fetched inline, as VARCHAR.
    static constexpr int kInlineTextBlobLength = 32765;

    // From the next prepare on, text blob columns come with the row as text instead of through the
    // blob calls, which saves two round trips per value; a value longer than
    // kInlineTextBlobLength then fails the fetch, so callers switch it on only when none is.
    void setTextBlobsInline(bool inlined) { m_textBlobsInline = inlined; }

    // Prepares the text in the statement's transaction, which must be active.
    void prepare(const std::string& sql);
    size_t parameterCount() const;
    // The bytes are not copied: they must stay valid until execute() (packages can be large).
    void setBlobParameter(size_t index, std::string_view bytes);
    void setTextParameter(size_t index, std::string_view bytes);
    void setNullParameter(size_t index);

    // Executes; a select opens its cursor (call fetch() for rows).
    void execute();
    // Executes a text that takes no parameters, returns no rows and writes one row (an insert of
    // values) in a single exchange with the server: prepare() and execute() cost one each, which
    // is half the time of a copy of many rows. Runs on the calling thread, as execute() runs such
    // an insert. Releases what prepare() left: execute() then needs a prepare() again.
    void executeSingleRowImmediate(const std::string& sql);
    bool isSelect() const;
    // Steps to the next row; false when there is none (the cursor is then closed).
    bool fetch();
    // Closes an open cursor (nothing happens when none is open or the transaction has ended).
    void closeCursor();
    bool hasOpenCursor() const;
    // Releases the server-side statement (the next prepare allocates a new one).
    void release();

    size_t columnCount() const;
    std::string columnName(size_t index) const; // alias as the server reports it (upper case)
    ColumnKind columnKind(size_t index) const;
    // Declared length of a text column in bytes (CHAR(n), VARCHAR(n)).
    int columnLength(size_t index) const;
    std::optional<size_t> findColumn(std::string_view name) const; // ASCII case ignored

    // Values of the current row.
    bool isNull(size_t index) const;
    // The text form: CHAR padding kept, numbers in decimal with "." as mark, timestamps as
    // "yyyy.mm.dd hh:nn:ss" (only the date at midnight), blobs as their bytes; NULL reads as "".
    std::string asText(size_t index) const;
    std::int64_t asInteger(size_t index) const;
    DateTime asDateTime(size_t index) const;
    std::string asBlob(size_t index) const;

    struct Impl;

private:
    friend class FbAttachment;
    void checkRow(size_t index) const;
    bool mayTakeLongToExecute() const;
    void describeOutput(const std::string& sql);
    void describeInput();
    void readStatementType();

    FbAttachment& m_attachment;
    FbTransaction& m_transaction;
    std::unique_ptr<Impl> m_impl;
    bool m_textBlobsInline = false;
};

} // namespace halvio::platform
