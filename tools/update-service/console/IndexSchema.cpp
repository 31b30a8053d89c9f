#include "IndexSchema.h"

#include "SearchFold.h"

#include <system_error>

namespace halvio::tools::console {

namespace fs = std::filesystem;

namespace {

// Raised whenever the tables change: an index of another layout is rebuilt from the files.
constexpr int kLayoutVersion = 2;

constexpr const char* kSchema = R"sql(
CREATE TABLE report(
    file TEXT PRIMARY KEY,
    size INTEGER NOT NULL,
    mtime INTEGER NOT NULL,
    received TEXT NOT NULL,
    sequence INTEGER NOT NULL,
    code TEXT NOT NULL,
    fault TEXT NOT NULL
);
CREATE INDEX report_by_code ON report(code, fault, received, sequence, file);
CREATE INDEX report_unreadable ON report(received, sequence, file) WHERE fault <> '';
CREATE TABLE clinic(
    code TEXT PRIMARY KEY,
    file TEXT NOT NULL,
    received TEXT NOT NULL,
    site_name TEXT NOT NULL,
    sites_fault TEXT NOT NULL,
    adres1 TEXT NOT NULL, adres2 TEXT NOT NULL, ville TEXT NOT NULL, postal TEXT NOT NULL,
    prov TEXT NOT NULL, region TEXT NOT NULL, tel TEXT NOT NULL, tel2 TEXT NOT NULL, fax TEXT NOT NULL,
    contact TEXT NOT NULL, courriel TEXT NOT NULL, maj TEXT NOT NULL
);
CREATE TABLE clinic_site(
    code TEXT NOT NULL, position INTEGER NOT NULL,
    id TEXT NOT NULL, nom TEXT NOT NULL, adresse TEXT NOT NULL, ville TEXT NOT NULL, fax TEXT NOT NULL,
    faxid TEXT NOT NULL, faxnom TEXT NOT NULL, faxtel TEXT NOT NULL,
    PRIMARY KEY(code, position)
);
CREATE TABLE clinic_user(
    code TEXT NOT NULL, position INTEGER NOT NULL,
    id TEXT NOT NULL, nom TEXT NOT NULL, titre TEXT NOT NULL, vigilance TEXT NOT NULL, dernacces TEXT NOT NULL,
    access_day TEXT NOT NULL,
    PRIMARY KEY(code, position)
);
CREATE TABLE clinic_fax(
    code TEXT NOT NULL, position INTEGER NOT NULL,
    site TEXT NOT NULL, day TEXT NOT NULL, count INTEGER NOT NULL,
    PRIMARY KEY(code, position)
);
CREATE TABLE catalog_name(code TEXT PRIMARY KEY, nom TEXT NOT NULL);
)sql";

void prepareConnection(SqliteDatabase& db) {
    // WAL: the console's readers and the service's writer do not wait on each other's file locks;
    // NORMAL: a power cut may lose the last reports' rows, which the next opening reads again.
    db.execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF");
    db.defineTextFunction("console_fold", searchFold);
}

int layoutVersion(SqliteDatabase& db) {
    auto statement = db.prepare("PRAGMA user_version");
    return statement.step() ? static_cast<int>(statement.integer(0)) : -1;
}

bool passesCheck(SqliteDatabase& db) {
    auto statement = db.prepare("PRAGMA quick_check");
    return statement.step() && statement.text(0) == "ok";
}

void removeIndexFiles(const fs::path& file) {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        fs::remove(fs::path(file.string() + suffix), ignored);
}

OpenedIndex makeIndex(const fs::path& file) {
    removeIndexFiles(file);
    OpenedIndex opened{std::make_unique<SqliteDatabase>(file), true};
    prepareConnection(*opened.db);
    SqliteTransaction transaction(*opened.db);
    opened.db->execute(kSchema);
    opened.db->execute("PRAGMA user_version=" + std::to_string(kLayoutVersion));
    transaction.commit();
    return opened;
}

} // namespace

OpenedIndex openIndexDatabase(const fs::path& file) {
    if (!fs::exists(file))
        return makeIndex(file);
    try {
        OpenedIndex opened{std::make_unique<SqliteDatabase>(file), false};
        prepareConnection(*opened.db);
        if (layoutVersion(*opened.db) == kLayoutVersion && passesCheck(*opened.db))
            return opened;
    } catch (const SqliteError&) {
        // Not a database, or a damaged one: made again below.
    }
    return makeIndex(file);
}

} // namespace halvio::tools::console
