#pragma once
// A clinic database of a test's own: built from the project's schema files on one of the private
// servers, in a temporary folder removed with it, with the statements and selects a test runs on it.

#include "FirebirdFixtures.h"

#include <string>
#include <vector>

namespace halvio::test {

class TestDatabase {
public:
    // The file is created as `fileName` in a folder of its own, with the server's own password.
    explicit TestDatabase(FirebirdServer server = mainServer(), const ClinicOptions& options = {},
                          const std::string& fileName = "kliso.ib");
    explicit TestDatabase(const ClinicOptions& options) : TestDatabase(mainServer(), options) {}

    const FirebirdServer& server() const { return m_server; }
    const std::string& password() const { return m_server.password; }
    // The database file, as kliso.ini's DATABASE names it.
    const std::string& path() const { return m_path; }
    // The connection name, "host:path".
    const std::string& name() const { return m_name; }
    // The lines of a kliso.ini that opens this database through its server.
    std::string klisoIni() const;
    // Gives a database of the model (IB, the installation lock's own) this one's connection name
    // and password; a template, so that this helper needs nothing of the model's library.
    template <typename ModelDatabase> void configure(ModelDatabase& database) const {
        database.setConnectionName(m_name);
        database.setPassword(m_server.password);
    }

    // Each statement committed by itself.
    void execute(const std::vector<std::string>& statements) const;
    // Every row, each column as text (NULL as "<null>").
    std::vector<std::vector<std::string>> query(const std::string& sql) const;
    // The first column of the first row, or "<none>".
    std::string queryValue(const std::string& sql) const;
    // Whether the system tables list the column in the table (both in upper case).
    bool hasColumn(const std::string& table, const std::string& column) const;

private:
    TempFolder m_folder;
    FirebirdServer m_server;
    std::string m_path;
    std::string m_name;
};

} // namespace halvio::test
