#include "ReportIndex.h"

#include "DateTime.h"
#include "IndexSchema.h"
#include "ReportParser.h"
#include "StoredReportName.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <set>
#include <unordered_map>

namespace halvio::tools::console {

namespace fs = std::filesystem;

// The parsed latest readable report of a code among the files read by one synchronisation, so that
// the clinic's rows are written without reading its file twice.
struct ReportIndex::Candidate {
    std::string file;
    std::string received;
    std::int64_t sequence = 0;
    ParsedReport report;
};

struct ReportIndex::FileState {
    std::string name;
    std::int64_t size = 0;
    std::int64_t mtime = 0; // the file clock's ticks: compared for equality only
    fs::path path;
};

namespace {

// A stored report is written once and never grows: its size when listed bounds what is read, and one
// byte past the limit is enough for the parser to refuse it.
std::string readBounded(const fs::path& path, std::uint64_t size) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw fs::filesystem_error("cannot read the report", path, std::make_error_code(std::errc::io_error));
    std::string bytes(std::min<std::uint64_t>(size, kMaxReportFileBytes) + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

std::string modificationText(fs::file_time_type time) {
    const auto system = std::chrono::file_clock::to_sys(time);
    return DateTimeText(
        fromUnixSeconds(std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count()));
}

bool newer(const std::string& receivedA, std::int64_t sequenceA, const std::string& fileA,
           const std::string& receivedB, std::int64_t sequenceB, const std::string& fileB) {
    return std::tie(receivedA, sequenceA, fileA) > std::tie(receivedB, sequenceB, fileB);
}

} // namespace

ReportIndex::ReportIndex(fs::path reportsFolder) : m_folder(std::move(reportsFolder)) {
    // The service may not have stored its first report yet.
    fs::create_directories(m_folder);
    const std::lock_guard lock(m_mutex);
    const bool made = open();
    m_openSync = synchronizeLocked();
    m_openSync.rebuilt = made;
}

ReportIndex::~ReportIndex() = default;

IndexSync ReportIndex::openSync() const {
    const std::lock_guard lock(m_mutex);
    return m_openSync;
}

bool ReportIndex::open() {
    OpenedIndex opened = openIndexDatabase(m_folder / kIndexFileName);
    m_db = std::move(opened.db);
    return opened.made;
}

IndexSync ReportIndex::synchronize() {
    const std::lock_guard lock(m_mutex);
    return synchronizeLocked();
}

IndexSync ReportIndex::synchronizeLocked() {
    std::unordered_map<std::string, FileState> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_folder)) {
        const std::string name = entry.path().filename().string();
        // A file gone between the listing and its look is no file of the folder.
        std::error_code gone;
        if (!isReportFileName(name) || !entry.is_regular_file(gone))
            continue;
        const auto size = entry.file_size(gone);
        const auto time = entry.last_write_time(gone);
        if (gone)
            continue;
        files[name] = {name, static_cast<std::int64_t>(size),
                       static_cast<std::int64_t>(time.time_since_epoch().count()), entry.path()};
    }
    IndexSync sync;
    SqliteTransaction transaction(*m_db);
    std::set<std::string> touched;
    {
        std::vector<std::string> gone;
        auto rows = m_db->prepare("SELECT file, size, mtime, code FROM report");
        while (rows.step()) {
            const auto found = files.find(rows.text(0));
            const bool same = found != files.end() && found->second.size == rows.integer(1) &&
                              found->second.mtime == rows.integer(2);
            if (same) {
                files.erase(found);
                continue;
            }
            gone.push_back(rows.text(0));
            touched.insert(rows.text(3));
        }
        for (const std::string& file : gone)
            dropRow(file);
        sync.dropped = gone.size();
    }
    std::map<std::string, Candidate> candidates;
    for (const auto& [name, state] : files) {
        touched.insert(indexFile(state, candidates));
        ++sync.read;
    }
    touched.erase(std::string());
    for (const std::string& code : touched)
        refreshClinic(code, candidates);
    transaction.commit();
    return sync;
}

void ReportIndex::add(const fs::path& reportFile) {
    const std::lock_guard lock(m_mutex);
    const std::string name = reportFile.filename().string();
    if (!isReportFileName(name))
        return;
    const FileState state{
        name, static_cast<std::int64_t>(fs::file_size(reportFile)),
        static_cast<std::int64_t>(fs::last_write_time(reportFile).time_since_epoch().count()), reportFile};
    SqliteTransaction transaction(*m_db);
    std::string previousCode;
    {
        auto row = m_db->prepare("SELECT code FROM report WHERE file = ?1");
        if (row.bind(1, name).step())
            previousCode = row.text(0);
    }
    dropRow(name);
    std::map<std::string, Candidate> candidates;
    const std::string code = indexFile(state, candidates);
    for (const std::string& touched : {previousCode, code})
        if (!touched.empty())
            refreshClinic(touched, candidates);
    transaction.commit();
}

// Records one file; returns its code ("" when the address line could not be read).
std::string ReportIndex::indexFile(const FileState& file, std::map<std::string, Candidate>& candidates) {
    ReportReading reading;
    try {
        reading = parseReport(readBounded(file.path, static_cast<std::uint64_t>(file.size)));
    } catch (const fs::filesystem_error&) {
        // Listed rather than left out, so that the vendor sees it; read again once it changes.
        reading.fault = "fichier illisible";
    }
    const auto stored = readStoredReportName(file.name);
    const std::string received =
        stored ? stored->receivedAt : modificationText(fs::last_write_time(file.path));
    const std::int64_t sequence = stored ? stored->sequence : 0;
    m_db->prepare("INSERT INTO report(file, size, mtime, received, sequence, code, fault) "
                  "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)")
        .bind(1, file.name)
        .bind(2, file.size)
        .bind(3, file.mtime)
        .bind(4, received)
        .bind(5, sequence)
        .bind(6, reading.code)
        .bind(7, reading.fault)
        .run();
    if (reading.report) {
        auto [it, inserted] = candidates.try_emplace(reading.code);
        Candidate& candidate = it->second;
        if (inserted ||
            newer(received, sequence, file.name, candidate.received, candidate.sequence, candidate.file))
            candidate = {file.name, received, sequence, std::move(*reading.report)};
    }
    return reading.code;
}

void ReportIndex::dropRow(const std::string& file) {
    m_db->prepare("DELETE FROM report WHERE file = ?1").bind(1, file).run();
    // A clinic shown from this file is written again from its next latest report.
    std::string code;
    {
        auto clinic = m_db->prepare("SELECT code FROM clinic WHERE file = ?1");
        if (!clinic.bind(1, file).step())
            return;
        code = clinic.text(0);
    }
    for (const char* table : {"clinic", "clinic_site", "clinic_user", "clinic_fax"})
        m_db->prepare(std::string("DELETE FROM ") + table + " WHERE code = ?1").bind(1, code).run();
}

void ReportIndex::refreshClinic(const std::string& code, const std::map<std::string, Candidate>& candidates) {
    std::string latestFile, latestReceived;
    {
        auto latest = m_db->prepare("SELECT file, received FROM report WHERE code = ?1 AND fault = '' "
                                    "ORDER BY received DESC, sequence DESC, file DESC LIMIT 1");
        if (latest.bind(1, code).step()) {
            latestFile = latest.text(0);
            latestReceived = latest.text(1);
        }
    }
    {
        auto shown = m_db->prepare("SELECT file FROM clinic WHERE code = ?1");
        if (shown.bind(1, code).step() && shown.text(0) == latestFile)
            return;
    }
    for (const char* table : {"clinic", "clinic_site", "clinic_user", "clinic_fax"})
        m_db->prepare(std::string("DELETE FROM ") + table + " WHERE code = ?1").bind(1, code).run();
    if (latestFile.empty())
        return;
    const auto candidate = candidates.find(code);
    if (candidate != candidates.end() && candidate->second.file == latestFile) {
        writeClinic(latestFile, latestReceived, candidate->second.report);
        return;
    }
    // An older report becomes the latest (the newer one's file is gone): read again from its file.
    const fs::path path = m_folder / latestFile;
    ReportReading reading = parseReport(readBounded(path, fs::file_size(path)));
    if (reading.report)
        writeClinic(latestFile, latestReceived, *reading.report);
}

void ReportIndex::writeClinic(const std::string& file, const std::string& received,
                              const ParsedReport& report) {
    const ClinicAddress& a = report.address;
    const std::string siteName = report.sites.empty() ? std::string() : report.sites.front().nom;
    auto clinic =
        m_db->prepare("INSERT INTO clinic VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, "
                      "?13, ?14, ?15, ?16, ?17)");
    clinic.bind(1, report.code).bind(2, file).bind(3, received).bind(4, siteName).bind(5, report.sitesFault);
    int column = 6;
    for (const std::string* value : {&a.adres1, &a.adres2, &a.ville, &a.postal, &a.prov, &a.region, &a.tel,
                                     &a.tel2, &a.fax, &a.contact, &a.courriel, &a.maj})
        clinic.bind(column++, *value);
    clinic.run();

    auto site = m_db->prepare("INSERT INTO clinic_site VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    for (size_t i = 0; i < report.sites.size(); ++i) {
        const ClinicSite& s = report.sites[i];
        site.reset();
        site.bind(1, report.code).bind(2, static_cast<std::int64_t>(i));
        column = 3;
        for (const std::string* value :
             {&s.id, &s.nom, &s.adresse, &s.ville, &s.fax, &s.faxid, &s.faxnom, &s.faxtel})
            site.bind(column++, *value);
        site.run();
    }
    auto user = m_db->prepare("INSERT INTO clinic_user VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    for (size_t i = 0; i < report.users.size(); ++i) {
        const ClinicUser& u = report.users[i];
        user.reset();
        // The parser let through only a blank last access or one that starts with its day.
        user.bind(1, report.code)
            .bind(2, static_cast<std::int64_t>(i))
            .bind(3, u.id)
            .bind(4, u.nom)
            .bind(5, u.titre)
            .bind(6, u.vigilance)
            .bind(7, u.dernacces)
            .bind(8, u.dernacces.substr(0, 10))
            .run();
    }
    auto fax = m_db->prepare("INSERT INTO clinic_fax VALUES (?1, ?2, ?3, ?4, ?5)");
    for (size_t i = 0; i < report.faxes.size(); ++i) {
        const FaxDay& f = report.faxes[i];
        fax.reset();
        fax.bind(1, report.code)
            .bind(2, static_cast<std::int64_t>(i))
            .bind(3, f.site)
            .bind(4, f.day)
            .bind(5, static_cast<std::int64_t>(f.count))
            .run();
    }
}

void ReportIndex::setCatalogNames(const std::map<std::string, std::string>& namesByCode) {
    const std::lock_guard lock(m_mutex);
    SqliteTransaction transaction(*m_db);
    m_db->execute("DELETE FROM catalog_name");
    auto insert = m_db->prepare("INSERT INTO catalog_name VALUES (?1, ?2)");
    for (const auto& [code, name] : namesByCode) {
        insert.reset();
        insert.bind(1, code).bind(2, name).run();
    }
    transaction.commit();
}

} // namespace halvio::tools::console
