#pragma once
// A program folder ready for a start: kliso.ini naming a clinic database on one of the private
// servers, that database with its settings row, and a program file "maj_kliso.exe".

#include "FirebirdFixtures.h"
#include "TestDatabase.h"

#include <string>
#include <vector>

namespace halvio::test {

class StartupFolder {
public:
    // The settings row holds NOM "Clinique du Vieux-Port", CLIENT "VX1042" and MAJ 2004-03-07 15:04:05.
    explicit StartupFolder(FirebirdServer server, const ClinicOptions& options = {});

    std::string file(const std::string& name) const { return m_programFolder.file(name); }
    const std::string& path() const { return m_programFolder.path(); }
    std::string programFile() const { return file("maj_kliso.exe"); }
    const std::string& databaseName() const { return m_database.name(); }
    const FirebirdServer& server() const { return m_database.server(); }

    // Statements and selects on the clinic database, with the server's own password.
    void execute(const std::vector<std::string>& statements) const;
    std::string queryValue(const std::string& sql) const;
    bool setupHasColumn(const std::string& column) const;

    // A MAJ row; fichier may be any size (it is bound as a parameter, not written in the text).
    void addMajRow(const std::string& nom, const std::string& dates, const std::string& fichier) const;

private:
    TestDatabase m_database;
    TempFolder m_programFolder;
};

} // namespace halvio::test
