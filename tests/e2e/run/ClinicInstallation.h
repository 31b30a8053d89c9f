#pragma once
// A clinic workstation as the updater finds it: a program folder holding a copy of maj_kliso.exe and
// kliso.ini, and the clinic and fax databases on the private Firebird server, filled with the rows
// below. The report the updater must send is built here from the same rows.

#include "FirebirdFixtures.h"
#include "TestFiles.h"

#include <QDate>
#include <QDateTime>

#include <optional>
#include <string>
#include <vector>

namespace halvio::test {

// Texts are Windows-1252 bytes, as the clinic database holds them.
struct SetupRow {
    std::string nom, adres1, adres2, ville, postal, prov, region, tel;
    std::optional<std::string> tel2;
    std::string fax, contact;
    std::optional<std::string> courriel;
    std::string client;
    std::string maj; // a timestamp literal, "2004-05-11 14:03:22"
};

struct SiteRow {
    int id = 0;
    std::optional<std::string> nom, adresse, ville, fax, faxid, faxnom, faxtel;
};

struct UserRow {
    int id = 0;
    std::string recherche, titre, acces25, dernacces;
};

// A fax dated `daysAgo` days before today at `time`.
struct FaxRow {
    int site = 0;
    int daysAgo = 0;
    std::string time;
    std::string onglet;
};

struct WorkstationRow {
    std::string ip, port;
};

struct DiagRow {
    std::string diag, code;
    int md = 0;
    std::optional<std::string> dates;
    std::string descRamq;
    std::optional<std::string> descSpec;
};

// A row of MAJ that is there before the run (its file is left empty).
struct InstalledPackage {
    std::string nom, description, dates;
};

struct ClinicRows {
    SetupRow setup;
    std::vector<SiteRow> sites;
    std::vector<UserRow> users;
    std::vector<FaxRow> faxes;
    std::vector<WorkstationRow> workstations;
    std::vector<DiagRow> diag;
    std::vector<InstalledPackage> installed;
};

// A clinic with a client code, accents, quotes, NULLs, blank-padded columns, faxes inside and
// outside the report's window, and one installed package.
ClinicRows exampleClinic();

// The client report these rows give on `today`: every line followed by CR LF.
std::string expectedReportBody(const ClinicRows& rows, const QDate& today);

class ClinicInstallation {
public:
    // `updaterFile`: the built updater copied into the program folder (another variant than the
    // build's own: the signed one).
    explicit ClinicInstallation(const ClinicRows& rows,
                                const std::string& updaterFile = HALVIO_BINARY_DIR "/bin/maj_kliso.exe");

    // The program folder, ending with "/".
    std::string programFolder() const { return m_programFolder; }
    std::string inProgramFolder(const std::string& relative) const { return m_programFolder + relative; }
    std::string updater() const { return inProgramFolder("maj_kliso.exe"); }
    // The current directory the updater is started in: not its program folder, and left empty.
    std::string otherFolder() const { return m_root.file("ailleurs"); }
    // Where the started programs' output goes, outside the program folder.
    std::string outputFile() const { return m_root.file("output.txt"); }
    const std::string& klisoIniAtStart() const { return m_klisoIni; }

    // The clinic database's connection name, "127.0.0.1/PORT:/path/kliso.ib".
    std::string clinicDatabase() const;
    std::vector<std::vector<std::string>> query(const std::string& sql) const;
    std::string value(const std::string& sql) const;
    void execute(const std::vector<std::string>& statements) const;
    // SETUP.MAJ, invalid when NULL.
    QDateTime setupMaj() const;

    // The crash reports and the programs' output, for failure messages.
    std::string diagnostics() const;

private:
    TempFolder m_root;
    FirebirdServer m_server;
    std::string m_programFolder;
    std::string m_dataFolder;
    std::string m_klisoIni;
};

} // namespace halvio::test
