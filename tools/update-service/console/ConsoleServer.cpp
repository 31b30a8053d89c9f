#include "ConsoleServer.h"

#include "Catalog.h"
#include "CatalogPage.h"
#include "ClinicListPage.h"
#include "ClinicPage.h"
#include "ConsoleAccess.h"
#include "ConsoleData.h"
#include "ConsoleLinks.h"
#include "DateTime.h"
#include "PageFrame.h"
#include "Windows1252.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace halvio::tools::console {

namespace {

const char* const kHtml = "text/html; charset=utf-8";

// The pages hold no script and fetch nothing: the policy tells the browser to refuse both, so that a
// value a clinic wrote cannot act in the vendor's browser even if it slipped past the escaping.
const char* const kContentPolicy = "default-src 'none'; style-src 'unsafe-inline'; img-src data:; "
                                   "form-action 'self'; frame-ancestors 'none'";

void privatePage(httplib::Response& response, int status, std::string page) {
    response.status = status;
    response.set_header("Cache-Control", "no-store");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("Content-Security-Policy", kContentPolicy);
    response.set_content(std::move(page), kHtml);
}

// A name that could leave the reports folder is refused before the index is asked about it.
bool isPlainReportName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos && name.find('\0') == std::string::npos;
}

// The file name offered to the browser: the stored names are plain ASCII, anything else is made "_".
std::string attachmentName(const std::string& name) {
    std::string safe = name;
    for (char& c : safe)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_' && c != '~')
            c = '_';
    return safe;
}

} // namespace

ConsoleServer::ConsoleServer(const ConsoleData& data, ConsoleConfig config, ServerGroup::LogSink log)
    : m_data(data), m_config(std::move(config)), m_catalog(std::make_unique<Catalog>(m_config.catalog)),
      m_servers(std::make_unique<ServerGroup>([this](httplib::Server& server) { install(server); },
                                              std::move(log))) {}

ConsoleServer::~ConsoleServer() {
    stop();
}

void ConsoleServer::start() {
    m_servers->start({m_config.listen});
}

ListenAddress ConsoleServer::boundAddress() const {
    return m_servers->boundAddresses().at(0);
}

void ConsoleServer::stop() {
    m_servers->stop();
}

void ConsoleServer::install(httplib::Server& server) {
    const auto route = [this](Handler handler) {
        return [this, handler](const httplib::Request& request, httplib::Response& response) {
            serve(handler, request, response);
        };
    };
    server.Get("/", route(&ConsoleServer::clinicList));
    server.Get(std::string(kClinicPrefix) + "(.+)", route(&ConsoleServer::clinic));
    server.Get(std::string(kReportPrefix) + "(.+)", route(&ConsoleServer::report));
    server.Get(std::string(kCatalogPath), route(&ConsoleServer::catalog));
    server.Get(".*", route(&ConsoleServer::notFound));
}

void ConsoleServer::serve(Handler handler, const httplib::Request& request, httplib::Response& response) {
    if (m_config.credentials &&
        !acceptsAuthorization(request.get_header_value("Authorization"), *m_config.credentials)) {
        response.set_header("WWW-Authenticate",
                            "Basic realm=\"Console des mises a jour\", charset=\"UTF-8\"");
        privatePage(response, 401,
                    messagePage("Accès refusé",
                                "La console demande l’utilisateur et le mot de passe du fournisseur."));
        return;
    }
    try {
        (this->*handler)(request, response);
    } catch (const std::exception& error) {
        addRequestLogNote(std::string("error: ") + error.what());
        privatePage(response, 500,
                    messagePage("Erreur", std::string("La page ne peut pas être faite : ") + error.what()));
    }
}

std::string ConsoleServer::today() const {
    return m_config.today.empty() ? DateToText(DateTime::now()) : m_config.today;
}

void ConsoleServer::clinicList(const httplib::Request& request, httplib::Response& response) {
    ClinicListView view;
    view.query = clinicQueryFromParameters(request.get_param_value("q"), request.get_param_value("tri"),
                                           request.get_param_value("ordre"), today());
    {
        const std::lock_guard lock(m_dataMutex);
        view.clinics = m_data.clinics(view.query);
        view.unreadable = m_data.unreadableReports();
        const auto latest =
            std::max_element(view.clinics.begin(), view.clinics.end(),
                             [](const auto& a, const auto& b) { return a.lastReportAt < b.lastReportAt; });
        if (latest != view.clinics.end())
            view.latest = m_data.clinic(latest->code, view.query.today);
    }
    privatePage(response, 200, clinicListPage(view));
}

void ConsoleServer::clinic(const httplib::Request& request, httplib::Response& response) {
    const std::string code = request.matches[1];
    std::optional<ClinicDetail> detail;
    {
        const std::lock_guard lock(m_dataMutex);
        detail = m_data.clinic(code, today());
    }
    if (!detail) {
        privatePage(
            response, 404,
            messagePage("Clinique inconnue", "Aucun rapport reçu ne porte le code « " + code + " »."));
        return;
    }
    privatePage(response, 200, clinicPage(*detail));
}

void ConsoleServer::report(const httplib::Request& request, httplib::Response& response) {
    const std::string name = request.matches[1];
    std::optional<std::filesystem::path> file;
    if (isPlainReportName(name)) {
        const std::lock_guard lock(m_dataMutex);
        file = m_data.reportFile(name);
    }
    if (!file) {
        addRequestLogNote("refused: no report of that name");
        privatePage(response, 404, messagePage("Rapport inconnu", "Aucun rapport reçu ne porte ce nom."));
        return;
    }
    // Reports are stored by the service, which takes none over 16 MiB: read whole.
    std::ifstream in(*file, std::ios::binary);
    if (!in.is_open())
        throw std::runtime_error("cannot read " + file->string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        throw std::runtime_error("cannot read " + file->string());
    response.status = 200;
    response.set_header("Cache-Control", "no-store");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("Content-Disposition", "attachment; filename=\"" + attachmentName(name) + "\"");
    response.set_content(bytes.str(), "application/octet-stream");
}

void ConsoleServer::catalog(const httplib::Request& request, httplib::Response& response) {
    std::vector<std::string> codes;
    {
        const std::lock_guard lock(m_dataMutex);
        ClinicQuery query;
        query.today = today();
        for (const ClinicSummary& clinic : m_data.clinics(query))
            codes.push_back(clinic.code);
    }
    privatePage(response, 200, catalogPage(*m_catalog, request.get_param_value("clinique"), codes));
}

void ConsoleServer::notFound(const httplib::Request&, httplib::Response& response) {
    privatePage(response, 404, messagePage("Page inconnue", "La console n’a pas de page à cette adresse."));
}

} // namespace halvio::tools::console
