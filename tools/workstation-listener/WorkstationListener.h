#pragma once
// What stands in for the listener of a clinic workstation: GET /MAJ answers 200 "OK"; every request
// (that one or any other, answered 404) is recorded as one line:
//   yyyy.mm.dd hh:nn:ss LOCAL METHOD PATH STATUS User-Agent="..." Accept="..."
// a header that was not sent written as - instead of a quoted value.

#include "ListenAddress.h"
#include "ServerGroup.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace httplib {
struct Request;
}

namespace halvio::tools {

struct ListenerCall {
    std::string time; // "yyyy.mm.dd hh:nn:ss"
    ListenAddress local;
    std::string method;
    std::string path;
    int status = 0;
    std::optional<std::string> userAgent;
    std::optional<std::string> accept;
};

std::string callLine(const ListenerCall& call);

class WorkstationListener {
public:
    // recordFile: lines are appended to it (created when missing); empty path: no file. log: each
    // line too, may be empty.
    WorkstationListener(std::vector<ListenAddress> addresses, std::filesystem::path recordFile,
                        ServerGroup::LogSink log = {});
    ~WorkstationListener();

    // Throws std::runtime_error when an address cannot be bound.
    void start();
    const std::vector<ListenAddress>& boundAddresses() const { return m_servers.boundAddresses(); }
    void stop();

    std::vector<ListenerCall> calls() const;

private:
    void record(const httplib::Request& request, int status);

    std::vector<ListenAddress> m_addresses;
    std::filesystem::path m_recordFile;
    ServerGroup::LogSink m_log;
    mutable std::mutex m_mutex;
    std::vector<ListenerCall> m_calls;
    ServerGroup m_servers;
};

} // namespace halvio::tools
