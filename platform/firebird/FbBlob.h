#pragma once
// Blob values through the client library, whole: written from bytes before the statement that
// stores their id, read back from an id. Included by this folder's sources only.

#include <ibase.h>

#include <string>
#include <string_view>

namespace halvio::platform {

// A blob handle that cannot outlive its use: a blob being written that was not closed is cancelled
// (nothing of it is kept), one being read is closed.
class BlobHandle {
public:
    // Creates a new blob in the transaction, for writing; its id is id().
    BlobHandle(isc_db_handle* database, isc_tr_handle* transaction);
    // Opens the blob `id` for reading.
    BlobHandle(isc_db_handle* database, isc_tr_handle* transaction, ISC_QUAD id);
    ~BlobHandle();
    BlobHandle(const BlobHandle&) = delete;
    BlobHandle& operator=(const BlobHandle&) = delete;

    isc_blob_handle* get() { return &m_handle; }
    const ISC_QUAD& id() const { return m_id; }
    // Ends the blob; a written one is then kept, under id(). Throws DatabaseError on failure.
    void close();

private:
    isc_blob_handle m_handle = 0;
    ISC_QUAD m_id{};
    bool m_writing;
};

// Writes the bytes as a new blob of the transaction and returns its id.
ISC_QUAD writeBlob(isc_db_handle* database, isc_tr_handle* transaction, std::string_view bytes);
// Reads the whole blob `id`.
std::string readBlob(isc_db_handle* database, isc_tr_handle* transaction, ISC_QUAD id);

} // namespace halvio::platform
