#include "WorkstationListener.h"

#include "DateTime.h"
#include "ShownText.h"

#include <httplib.h>

#include <fstream>

namespace halvio::tools {

namespace {

std::optional<std::string> header(const httplib::Request& request, const char* name) {
    if (!request.has_header(name))
        return std::nullopt;
    return request.get_header_value(name);
}

std::string headerField(const char* name, const std::optional<std::string>& value) {
    return std::string(name) + "=" + (value ? "\"" + withControlsShown(*value) + "\"" : "-");
}

} // namespace

std::string callLine(const ListenerCall& call) {
    return call.time + " " + toText(call.local) + " " + withControlsShown(call.method) + " " +
           withControlsShown(call.path) + " " + std::to_string(call.status) + " " +
           headerField("User-Agent", call.userAgent) + " " + headerField("Accept", call.accept);
}

WorkstationListener::WorkstationListener(std::vector<ListenAddress> addresses,
                                         std::filesystem::path recordFile, ServerGroup::LogSink log)
    : m_addresses(std::move(addresses)), m_recordFile(std::move(recordFile)), m_log(std::move(log)),
      m_servers(
          [this](httplib::Server& server) {
              // Recorded before the reply is written, so a caller that has its reply finds its call.
              server.Get("/MAJ", [this](const httplib::Request& request, httplib::Response& response) {
                  response.set_content("OK", "text/plain");
                  response.status = 200;
                  record(request, response.status);
              });
              server.set_error_handler([this](const httplib::Request& request, httplib::Response& response) {
                  record(request, response.status);
              });
          },
          {}) {}

WorkstationListener::~WorkstationListener() {
    stop();
}

void WorkstationListener::start() {
    m_servers.start(m_addresses);
}

void WorkstationListener::stop() {
    m_servers.stop();
}

std::vector<ListenerCall> WorkstationListener::calls() const {
    const std::lock_guard lock(m_mutex);
    return m_calls;
}

void WorkstationListener::record(const httplib::Request& request, int status) {
    ListenerCall call{DateTimeText(DateTime::now()),
                      {request.local_addr, request.local_port},
                      request.method,
                      request.path,
                      status,
                      header(request, "User-Agent"),
                      header(request, "Accept")};
    const std::string line = callLine(call);
    const std::lock_guard lock(m_mutex);
    if (!m_recordFile.empty()) {
        std::ofstream out(m_recordFile, std::ios::binary | std::ios::app);
        out << line << "\n";
    }
    if (m_log)
        m_log(line);
    m_calls.push_back(std::move(call));
}

} // namespace halvio::tools
