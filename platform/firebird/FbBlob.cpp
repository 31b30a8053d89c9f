#include "FbBlob.h"

#include "FbStatus.h"

#include <algorithm>
#include <vector>

namespace halvio::platform {

namespace {

// Segments of at most this many bytes: the client's segment length is an unsigned short.
constexpr unsigned short kBlobSegment = 32768;

} // namespace

BlobHandle::BlobHandle(isc_db_handle* database, isc_tr_handle* transaction) : m_writing(true) {
    ISC_STATUS_ARRAY status;
    isc_create_blob2(status, database, transaction, &m_handle, &m_id, 0, nullptr);
    check(status);
}

BlobHandle::BlobHandle(isc_db_handle* database, isc_tr_handle* transaction, ISC_QUAD id)
    : m_id(id), m_writing(false) {
    ISC_STATUS_ARRAY status;
    isc_open_blob2(status, database, transaction, &m_handle, &m_id, 0, nullptr);
    check(status);
}

BlobHandle::~BlobHandle() {
    if (m_handle == 0)
        return;
    ISC_STATUS_ARRAY ignored;
    if (m_writing)
        isc_cancel_blob(ignored, &m_handle);
    else
        isc_close_blob(ignored, &m_handle);
}

void BlobHandle::close() {
    ISC_STATUS_ARRAY status;
    isc_close_blob(status, &m_handle);
    check(status);
    m_handle = 0;
}

ISC_QUAD writeBlob(isc_db_handle* database, isc_tr_handle* transaction, std::string_view bytes) {
    BlobHandle blob(database, transaction);
    ISC_STATUS_ARRAY status;
    size_t offset = 0;
    while (offset < bytes.size()) {
        const auto piece = static_cast<unsigned short>(std::min<size_t>(kBlobSegment, bytes.size() - offset));
        isc_put_segment(status, blob.get(), piece, bytes.data() + offset);
        check(status);
        offset += piece;
    }
    blob.close();
    return blob.id();
}

std::string readBlob(isc_db_handle* database, isc_tr_handle* transaction, ISC_QUAD id) {
    BlobHandle blob(database, transaction, id);
    ISC_STATUS_ARRAY status;
    std::string bytes;
    std::vector<char> segment(kBlobSegment);
    while (true) {
        unsigned short length = 0;
        const ISC_STATUS result = isc_get_segment(
            status, blob.get(), &length, static_cast<unsigned short>(segment.size()), segment.data());
        if (result == isc_segstr_eof)
            break;
        if (result != 0 && result != isc_segment)
            throw errorFrom(status);
        bytes.append(segment.data(), length);
    }
    return bytes;
}

} // namespace halvio::platform
