#include "FbStatus.h"

namespace halvio::platform {

namespace {

std::string statusMessage(const ISC_STATUS* status) {
    std::string message;
    const ISC_STATUS* vector = status;
    char buffer[1024];
    while (fb_interpret(buffer, sizeof buffer, &vector) > 0) {
        if (!message.empty())
            message += '\n';
        message += buffer;
    }
    if (message.empty())
        message = "Unknown database error";
    return message;
}

// Operating-system codes of a file that does not exist: ENOENT, and Windows' ERROR_FILE_NOT_FOUND
// and ERROR_PATH_NOT_FOUND.
constexpr ISC_STATUS kUnixNoSuchFile = 2;
constexpr ISC_STATUS kWindowsFileNotFound = 2;
constexpr ISC_STATUS kWindowsPathNotFound = 3;

bool isNetworkCode(ISC_STATUS code) {
    switch (code) {
    case isc_network_error:
    case isc_net_connect_err:
    case isc_net_connect_listen_err:
    case isc_net_lookup_err:
    case isc_net_read_err:
    case isc_net_write_err:
    case isc_conn_lost:
    case isc_unavailable:
        return true;
    default:
        return false;
    }
}

// A server reports the operating system's error as a code when it is local, as an interpreted
// text (in its own language) when it is remote: an open that failed without a code other than
// "no such file" is taken for a file that is not there.
DatabaseFault faultOf(const ISC_STATUS* status) {
    bool ioError = false, openFailed = false, otherSystemError = false, login = false, network = false;
    for (const ISC_STATUS* item = status; *item != isc_arg_end;) {
        const ISC_STATUS kind = *item++;
        if (kind == isc_arg_cstring) {
            item += 2; // length, then the text
            continue;
        }
        const ISC_STATUS value = *item++;
        if (kind == isc_arg_unix && value != kUnixNoSuchFile)
            otherSystemError = true;
        if (kind == isc_arg_win32 && value != kWindowsFileNotFound && value != kWindowsPathNotFound)
            otherSystemError = true;
        if (kind != isc_arg_gds && kind != isc_arg_warning)
            continue;
        ioError = ioError || value == isc_io_error;
        openFailed = openFailed || value == isc_io_open_err;
        login = login || value == isc_login;
        network = network || isNetworkCode(value);
    }
    if (ioError)
        return openFailed && !otherSystemError ? DatabaseFault::FileNotFound : DatabaseFault::FileNotOpened;
    if (network)
        return DatabaseFault::ServerUnreachable;
    if (login)
        return DatabaseFault::LoginRefused;
    return DatabaseFault::Other;
}

// The gds codes of a status vector: each isc_arg_gds entry, skipping the arguments between them.
std::vector<long> statusCodes(const ISC_STATUS* status) {
    std::vector<long> codes;
    for (const ISC_STATUS* item = status; *item != isc_arg_end;) {
        const ISC_STATUS kind = *item++;
        if (kind == isc_arg_gds)
            codes.push_back(static_cast<long>(*item));
        // isc_arg_cstring carries a length and a pointer; every other kind one value.
        item += kind == isc_arg_cstring ? 2 : 1;
    }
    return codes;
}

} // namespace

bool failed(const ISC_STATUS* status) {
    return status[0] == 1 && status[1] != 0;
}

DatabaseError errorFrom(const ISC_STATUS* status) {
    return DatabaseError(statusMessage(status), faultOf(status), statusCodes(status));
}

void check(const ISC_STATUS* status) {
    if (failed(status))
        throw errorFrom(status);
}

} // namespace halvio::platform
