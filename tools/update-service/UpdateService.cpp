#include "UpdateService.h"

#include "Catalog.h"
#include "ClientReply.h"
#include "ReplySigning.h"
#include "ReportStore.h"
#include "ServiceHosts.h"
#include "SignedReply.h"

#include <httplib.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace halvio::tools {

namespace fs = std::filesystem;

namespace {

// A client report is a few kilobytes; anything far larger is refused with 413 before it is stored.
constexpr size_t kMaxReportBytes = 16u << 20;
constexpr size_t kPackageChunkBytes = 1u << 20;

// The file stays open for the reply: a package replaced meanwhile (a new version published) is
// either served whole as it was or, cut short, ends the connection.
struct OpenFile {
    explicit OpenFile(const fs::path& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenFile() {
        if (fd >= 0)
            ::close(fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd;
};

void servePackageFile(const fs::path& path, httplib::Response& response) {
    auto file = std::make_shared<OpenFile>(path);
    struct stat info {};
    if (file->fd < 0 || ::fstat(file->fd, &info) != 0)
        throw std::runtime_error("cannot read " + path.string());
    const auto size = static_cast<size_t>(info.st_size);
    response.status = 200;
    // httplib takes a provider of length 0 for one of unknown length, whose reply never ends.
    if (size == 0) {
        response.set_content(std::string(), "application/zip");
        return;
    }
    response.set_content_provider(
        size, "application/zip", [file](size_t offset, size_t length, httplib::DataSink& sink) {
            // One buffer per server thread, used again for every piece of
            // every reply: a fresh megabyte each time costs its page faults.
            thread_local std::vector<char> buffer(kPackageChunkBytes);
            const size_t wanted = std::min(length, buffer.size());
            const ssize_t got = ::pread(file->fd, buffer.data(), wanted, static_cast<off_t>(offset));
            if (got != static_cast<ssize_t>(wanted))
                return false;
            return sink.write(buffer.data(), wanted);
        });
}

} // namespace

std::vector<ListenAddress> defaultServiceAddresses() {
    std::vector<ListenAddress> addresses;
    for (const char* host :
         {hosts::kOfficeServer, hosts::kInternalAddress, hosts::kSecondPublicAddress, hosts::kPublicWebHost})
        addresses.push_back(parseListenAddress(host));
    return withoutRepeats(addresses);
}

class UpdateService::Handlers {
public:
    Handlers(const Catalog& catalog, ReportStore& reports, const UpdateServiceConfig& config)
        : m_catalog(catalog), m_reports(reports), m_signingKey(config.signingKey),
          m_reportStored(config.reportStored) {}

    void install(httplib::Server& server) {
        server.set_payload_max_length(kMaxReportBytes);
        // The code may hold any byte, "/" too when it came encoded (%2F); a path with a folder in it
        // as sent is no report (see report()).
        server.Post(R"(/(.*)\.maj)", [this](const httplib::Request& request, httplib::Response& response) {
            report(request, response);
        });
        server.Get(R"(/kliso/update/([^/]+))",
                   [this](const httplib::Request& request, httplib::Response& response) {
                       package(request, response);
                   });
    }

private:
    void report(const httplib::Request& request, httplib::Response& response) {
        const std::string sentPath = request.target.substr(0, request.target.find('?'));
        if (sentPath.find('/', 1) != std::string::npos) {
            response.status = 404;
            return;
        }
        const std::string code = request.matches[1];
        try {
            const fs::path stored = m_reports.store(code, request.body);
            addRequestLogNote("report=" + stored.string());
            if (m_reportStored)
                tellStored(stored);
            const ClientEntry entry = m_catalog.client(code);
            if (entry.file.empty())
                addRequestLogNote("entry=built-in");
            const ClientReply reply = buildClientReply(m_catalog, entry, m_catalog.packageList());
            for (const MissingPackageFile& missing : reply.missingFiles)
                addRequestLogNote("missing-package-file=" + missing.fileName);
            // A reply the updater would refuse, or one built from lines that could not be read, is
            // not sent: the clinic's database keeps its settings and the clinic tries again later.
            if (!reply.faults.empty()) {
                for (const CatalogFault& fault : reply.faults)
                    addRequestLogNote("fault=" + faultLine(fault));
                response.status = 500;
                return;
            }
            if (m_signingKey)
                sign(request, reply.offered, reply.body, response);
            response.set_content(reply.body, "text/html");
            response.status = 200;
        } catch (const std::exception& error) {
            addRequestLogNote(std::string("error: ") + error.what());
            response.status = 500;
        }
    }

    void package(const httplib::Request& request, httplib::Response& response) {
        try {
            const auto path = m_catalog.packageFile(request.matches[1].str());
            if (!path) {
                response.status = 404;
                return;
            }
            servePackageFile(*path, response);
        } catch (const std::exception& error) {
            addRequestLogNote(std::string("error: ") + error.what());
            response.status = 500;
        }
    }

    // The report is kept whatever its reader does: a reader that fails (an index reads the folder
    // again when it opens) does not fail the clinic's exchange.
    void tellStored(const fs::path& stored) const {
        try {
            m_reportStored(stored);
        } catch (const std::exception& error) {
            addRequestLogNote(std::string("report-reader: ") + error.what());
        }
    }

    // An updater built without a key sends no nonce: its reply goes as it always did.
    void sign(const httplib::Request& request, const std::vector<OfferedPackage>& offered,
              const std::string& body, httplib::Response& response) const {
        std::optional<std::string> header;
        if (request.has_header(signedreply::kNonceHeader))
            header = request.get_header_value(signedreply::kNonceHeader);
        const auto nonce = requestNonce(header);
        if (!nonce) {
            addRequestLogNote(header ? "unsigned: malformed nonce" : "unsigned: no nonce");
            return;
        }
        for (const auto& [name, value] : signedReplyHeaders(m_catalog, offered, *nonce, body, *m_signingKey))
            response.set_header(name, value);
        addRequestLogNote("signed");
    }

    const Catalog& m_catalog;
    ReportStore& m_reports;
    const std::optional<std::string>& m_signingKey;
    const std::function<void(const fs::path&)>& m_reportStored;
};

UpdateService::UpdateService(UpdateServiceConfig config) : m_config(std::move(config)) {
    if (!fs::is_directory(m_config.catalog))
        throw std::runtime_error("no catalog folder at " + m_config.catalog.string());
    if (m_config.listen.empty())
        m_config.listen = defaultServiceAddresses();
    m_catalog = std::make_unique<Catalog>(m_config.catalog);
    m_reports = std::make_unique<ReportStore>(m_config.reports);
    m_handlers = std::make_unique<Handlers>(*m_catalog, *m_reports, m_config);
    m_servers = std::make_unique<ServerGroup>(
        [this](httplib::Server& server) { m_handlers->install(server); }, m_config.log);
}

UpdateService::~UpdateService() {
    stop();
}

void UpdateService::start() {
    m_servers->start(m_config.listen);
}

const std::vector<ListenAddress>& UpdateService::boundAddresses() const {
    return m_servers->boundAddresses();
}

void UpdateService::stop() {
    m_servers->stop();
}

std::vector<fs::path> UpdateService::storedReports() const {
    return m_reports->storedFiles();
}

} // namespace halvio::tools
