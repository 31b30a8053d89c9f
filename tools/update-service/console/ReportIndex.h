#pragma once
// The index of a reports folder, in an SQLite file beside the reports (".index.sqlite"). The report
// files stay the source of truth: the index is built from them, kept up to date as reports are
// stored, and rebuilt from them whenever it is missing, unreadable or of another layout. Every query
// answers from the index alone. One connection under one lock: any thread may call any member.
//
// What it keeps: every report file (name, size, modification time, reception time, code when the
// address line could be read, and the reason when the report could not be read), and, per clinic,
// what its latest readable report says (address, sites, users, fax days). Older reports are listed
// and downloadable raw; only the latest one's contents are shown, so only those are kept.
//
// The 30-day windows of ClinicQuery::today: a day counts when it is at most 30 days before today and
// not after it (today - 30 ... today, both included), for the users' last access and the fax days.

#include "ConsoleData.h"

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace halvio::tools::console {

class SqliteDatabase;
struct ParsedReport;

struct IndexSync {
    bool rebuilt = false; // the index file was missing, unreadable or of another layout
    size_t read = 0;      // report files read (new or changed since the index saw them)
    size_t dropped = 0;   // rows of files gone from the folder (or changed)
};

class ReportIndex final : public ConsoleData {
public:
    // Opens (or builds) the index of the folder, made when missing, and brings it up to date with
    // the files there.
    // Throws SqliteError or std::filesystem::filesystem_error when the folder cannot be indexed.
    explicit ReportIndex(std::filesystem::path reportsFolder);
    ~ReportIndex() override;

    static constexpr const char* kIndexFileName = ".index.sqlite";

    // What the opening did.
    IndexSync openSync() const;

    // Brings the index up to date with the folder: new and changed files read, rows of gone files dropped.
    IndexSync synchronize();

    // A report just stored in the folder (the service's hook): read and indexed at once.
    void add(const std::filesystem::path& reportFile);

    // The clinics' names from the service's client entries, by code (UTF-8), replacing those given before.
    // A clinic without one is named after its first site.
    void setCatalogNames(const std::map<std::string, std::string>& namesByCode);

    std::vector<ClinicSummary> clinics(const ClinicQuery& query) const override;
    std::optional<ClinicDetail> clinic(const std::string& code, const std::string& today) const override;
    std::vector<ReportEntry> unreadableReports() const override;
    std::optional<std::filesystem::path> reportFile(const std::string& fileName) const override;

private:
    struct Candidate;
    struct FileState;

    bool open();
    IndexSync synchronizeLocked();
    std::string indexFile(const FileState& file, std::map<std::string, Candidate>& candidates);
    void refreshClinic(const std::string& code, const std::map<std::string, Candidate>& candidates);
    void writeClinic(const std::string& file, const std::string& received, const ParsedReport& report);
    void dropRow(const std::string& file);

    std::filesystem::path m_folder;
    mutable std::mutex m_mutex;
    std::unique_ptr<SqliteDatabase> m_db;
    IndexSync m_openSync;
};

} // namespace halvio::tools::console
