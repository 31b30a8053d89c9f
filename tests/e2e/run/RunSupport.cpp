#include "RunSupport.h"

#include "ServiceHosts.h"

#include <algorithm>
#include <arpa/inet.h>
#include <filesystem>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace halvio::test {

std::string programBytes(const std::string& name) {
    std::string bytes = "MZ " + name + " ";
    for (int round = 0; round < 4; ++round) {
        for (int value = 0; value < 256; ++value)
            bytes += static_cast<char>(value);
    }
    return bytes + name;
}

tools::ListenAddress serviceAddress(const char* host) {
    return tools::parseListenAddress(host);
}

std::vector<std::string> traffic(const std::vector<ServiceRequest>& requests) {
    const std::pair<const char*, const char*> roles[] = {{hosts::kOfficeServer, "office"},
                                                         {hosts::kInternalAddress, "internal"},
                                                         {hosts::kSecondPublicAddress, "second public"},
                                                         {hosts::kPublicWebHost, "public web"}};
    std::vector<std::string> lines;
    for (const ServiceRequest& request : requests) {
        std::string role = request.local;
        for (const auto& [host, name] : roles) {
            if (tools::toText(serviceAddress(host)) == request.local) {
                role = name;
                break;
            }
        }
        lines.push_back(request.method + " " + request.path + " " + std::to_string(request.status) + " at " +
                        role);
    }
    return lines;
}

std::vector<std::string> fileNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool someoneListensOn(const std::string& address, int port) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, address.c_str(), &target.sin_addr) != 1)
        return false;
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return false;
    const bool connected = ::connect(probe, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0;
    ::close(probe);
    return connected;
}

double secondsBetween(const QDateTime& from, const QDateTime& to) {
    return static_cast<double>(from.msecsTo(to)) / 1000.0;
}

} // namespace halvio::test
