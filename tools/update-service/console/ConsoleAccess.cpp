#include "ConsoleAccess.h"

#include "Crypto.h"

#include <arpa/inet.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace halvio::tools::console {

namespace {

// A password file is one short line; a larger file is no password file.
constexpr std::uintmax_t kMaxPasswordFileBytes = 4096;

ConsoleRefused fileRefused(const std::filesystem::path& file, const std::string& why) {
    return ConsoleRefused("console password file " + file.string() + ": " + why);
}

bool startsWithBasic(const std::string& text) {
    static const char kScheme[] = "basic ";
    if (text.size() < sizeof kScheme - 1)
        return false;
    for (size_t i = 0; i < sizeof kScheme - 1; ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != kScheme[i])
            return false;
    return true;
}

} // namespace

bool isLoopbackAddress(const std::string& host) {
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, host.c_str(), &v6) != 1)
        return false;
    if (IN6_IS_ADDR_LOOPBACK(&v6))
        return true;
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
}

void checkConsoleExposure(const ListenAddress& address, bool withPasswordFile) {
    if (!withPasswordFile && !isLoopbackAddress(address.host))
        throw ConsoleRefused(
            "the console shows every clinic's data: it listens on another address than loopback (" +
            toText(address) + ") only with --console-password-file");
}

std::string readPasswordFile(const std::filesystem::path& file) {
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0)
        throw fileRefused(file, std::strerror(errno));
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        throw fileRefused(file, "others than its owner may read or change it (chmod 600)");
    if (!S_ISREG(status.st_mode) || static_cast<std::uintmax_t>(status.st_size) > kMaxPasswordFileBytes)
        throw fileRefused(file, "is no password file (one line user:password)");
    std::ifstream in(file, std::ios::binary);
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (in.bad())
        throw fileRefused(file, "cannot be read");
    const size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == line.size())
        throw fileRefused(file, "its first line must be user:password, neither of them empty");
    return line;
}

bool acceptsAuthorization(const std::string& headerValue, const std::string& userAndPassword) {
    if (!startsWithBasic(headerValue))
        return false;
    size_t start = 6;
    while (start < headerValue.size() && headerValue[start] == ' ')
        ++start;
    const auto sent = platform::crypto::fromBase64(headerValue.substr(start));
    return sent && platform::crypto::sameSecret(*sent, userAndPassword);
}

} // namespace halvio::tools::console
