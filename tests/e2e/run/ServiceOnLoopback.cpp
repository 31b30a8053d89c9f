#include "ServiceOnLoopback.h"

#include "ClinicInstallation.h"
#include "ConnectionSecrets.h"
#include "ZipWriter.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace halvio::test {

namespace fs = std::filesystem;

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string packagePath(const std::string& catalog, const std::string& name) {
    return catalog + "/packages/" + lowerCase(name) + ".zip";
}

ServiceRequest parsedRequest(const std::string& line) {
    // "yyyy.mm.dd hh:nn:ss LOCAL METHOD PATH STATUS in=.. out=.. [notes]"
    std::istringstream words(line);
    std::string day, time, status;
    ServiceRequest request;
    words >> day >> time >> request.local >> request.method >> request.path >> status;
    request.status = std::atoi(status.c_str());
    request.line = line;
    request.arrived = QDateTime::currentDateTime();
    return request;
}

} // namespace

ServiceCatalog::ServiceCatalog(const std::string& root) : m_root(root) {
    fs::create_directories(catalogFolder() + "/packages");
    fs::create_directories(catalogFolder() + "/clients");
    fs::create_directories(reportsFolder());
    writePackageList();
}

void ServiceCatalog::publish(const std::string& name, const std::string& dates,
                             const std::string& description, const std::string& content,
                             const char* password) {
    platform::ZipWriter archive(password != nullptr ? password : secrets::kPackagePassword);
    archive.addEntry(lowerCase(name) + ".bin", content);
    const std::string path = packagePath(catalogFolder(), name);
    archive.writeTo(path);
    m_listed.push_back({name, dates, description, fs::file_size(path)});
    writePackageList();
}

void ServiceCatalog::announce(const std::string& name, const std::string& dates,
                              const std::string& description) {
    m_listed.push_back({name, dates, description, 0});
    writePackageList();
}

void ServiceCatalog::withdraw(const std::string& name) {
    std::erase_if(m_listed, [&](const Listed& listed) { return listed.name == name; });
    writePackageList();
}

void ServiceCatalog::setClient(const std::string& code, const ClientEntry& entry) {
    std::string text = "nom=" + entry.nom + "\r\nescompte=" + entry.escompte + "\r\nID=" + entry.id + "\r\n";
    for (const std::string& statement : entry.statements)
        text += "statement=" + statement + "\r\n";
    writeBytes(catalogFolder() + "/clients/" + code + ".txt", text);
    std::erase_if(m_clients, [&](const auto& client) { return client.first == code; });
    m_clients.emplace_back(code, entry);
}

std::string ServiceCatalog::expectedReply(const std::string& code) const {
    const auto client = std::find_if(m_clients.begin(), m_clients.end(),
                                     [&](const auto& entry) { return entry.first == code; });
    if (client == m_clients.end())
        throw std::logic_error("no catalog entry for " + code);
    const ClientEntry& entry = client->second;
    std::string reply = "nom=" + entry.nom + "|escompte=" + entry.escompte + "|ID=" + entry.id + "\r\n";
    for (size_t i = 0; i < entry.statements.size(); ++i)
        reply += (i == 0 ? "" : "|") + entry.statements[i];
    reply += "\r\n";
    for (const Listed& listed : m_listed)
        reply += "nom=" + listed.name + "|dates=" + listed.dates + "|taille=" + std::to_string(listed.size) +
                 "|description=" + listed.description + "\r\n";
    return reply;
}

void ServiceCatalog::writePackageList() const {
    std::string text = "# the packages of the test\r\n";
    for (const Listed& listed : m_listed)
        text += listed.name + "|" + listed.dates + "|" + listed.description + "\r\n";
    // Written whole and renamed, as the service reads the list on every request.
    const std::string list = catalogFolder() + "/packages.txt";
    writeBytes(list + ".new", text);
    fs::rename(list + ".new", list);
}

ServiceOnLoopback::ServiceOnLoopback(const ServiceCatalog& catalog, std::optional<std::string> signingKey) {
    tools::UpdateServiceConfig config;
    config.signingKey = std::move(signingKey);
    config.catalog = catalog.catalogFolder();
    config.reports = catalog.reportsFolder();
    config.log = [this](const std::string& line) {
        const std::lock_guard lock(m_mutex);
        m_requests.push_back(parsedRequest(line));
    };
    m_service = std::make_unique<tools::UpdateService>(std::move(config));
    try {
        m_service->start();
    } catch (const std::exception& error) {
        throw std::runtime_error(
            std::string("The update service cannot listen on the service hosts built into "
                        "the updater; is another suite or program holding them? ") +
            error.what());
    }
}

ServiceOnLoopback::~ServiceOnLoopback() {
    m_service->stop();
}

std::vector<ServiceRequest> ServiceOnLoopback::requests() const {
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<ServiceRequest> ServiceOnLoopback::requests(const std::string& method) const {
    std::vector<ServiceRequest> found = requests();
    std::erase_if(found, [&](const ServiceRequest& request) { return request.method != method; });
    return found;
}

std::vector<std::string> ServiceOnLoopback::reports() const {
    std::vector<std::string> bodies;
    for (const fs::path& file : m_service->storedReports())
        bodies.push_back(readBytesIfAny(file.string()).value_or("<unreadable " + file.string() + ">"));
    return bodies;
}

std::string ServiceOnLoopback::log() const {
    std::string text;
    for (const ServiceRequest& request : requests())
        text += request.line + "\n";
    return text;
}

} // namespace halvio::test
