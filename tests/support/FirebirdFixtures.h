#pragma once
// Databases for tests: the private Firebird servers that the test command starts, temporary
// folders, and the clinic and fax databases built from the project's schema files.

#include <string>
#include <vector>

namespace halvio::test {

// A private server started by scripts/test: "127.0.0.1/PORT" and the SYSDBA password it accepts.
struct FirebirdServer {
    std::string host;
    std::string password;
    // "host:path", the connection name of a database on this server.
    std::string nameOf(const std::string& path) const { return host + ":" + path; }
};

// Accepts the first database password.
FirebirdServer mainServer();
// Accepts only the fall-back password.
FirebirdServer fallbackServer();
// Accepts neither.
FirebirdServer refusingServer();

// A temporary folder removed with everything in it at the end of the test.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // The folder's path, without a trailing separator.
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

struct ClinicOptions {
    int nomWidth = 60;          // 40 for an older database
    bool withEscompte = false;  // the column the updater adds at start
};

// Creates the clinic database (SETUP, MAJ, MD, SITE, ORDINATEUR, DIAG) at the connection name.
void createClinicDatabase(const std::string& name, const std::string& password, const ClinicOptions& options = {});
// Creates the fax database (FAX).
void createFaxDatabase(const std::string& name, const std::string& password);

// Runs each statement in its own transaction, committed.
void execute(const std::string& name, const std::string& password, const std::vector<std::string>& statements);
// Every row of a select, each column as text (NULL as "<null>").
std::vector<std::vector<std::string>> query(const std::string& name, const std::string& password,
                                            const std::string& sql);
// The first column of the first row, or "<none>" when the select finds nothing.
std::string queryValue(const std::string& name, const std::string& password, const std::string& sql);

} // namespace halvio::test
