#include "ClinicInstallation.h"

#include "Fonction.h"
#include "Windows1252.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>

namespace halvio::test {

namespace fs = std::filesystem;

namespace {

std::string literal(const std::optional<std::string>& text) {
    return text ? Quoted(*text) : "NULL";
}

// A CHAR(width) column as the database gives it back: filled with blanks to its width.
std::string padded(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string dayText(const QDate& day) {
    return day.toString(QStringLiteral("yyyy.MM.dd")).toStdString();
}

std::string faxDates(const FaxRow& fax, const QDate& today) {
    return dayText(today.addDays(-fax.daysAgo)) + " " + fax.time;
}

std::string addressLine(const SetupRow& setup) {
    auto value = [](const std::optional<std::string>& text) { return Quoted(Trimmed(text.value_or(""))); };
    // Sent one day earlier than stored, the time left out at midnight.
    const QDateTime maj =
        QDateTime::fromString(QString::fromStdString(setup.maj), QStringLiteral("yyyy-MM-dd hh:mm:ss"))
            .addDays(-1);
    const QString format =
        maj.time() == QTime(0, 0) ? QStringLiteral("yyyy.MM.dd") : QStringLiteral("yyyy.MM.dd hh:mm:ss");
    return "update client set adres1=" + value(setup.adres1) + ",adres2=" + value(setup.adres2) +
           ",ville=" + value(setup.ville) + ",postal=" + value(setup.postal) + ",PROV=" + value(setup.prov) +
           ",REGION=" + value(setup.region) + ",TEL=" + value(setup.tel) + ",TEL2=" + value(setup.tel2) +
           ",FAX=" + value(setup.fax) + ",CONTACT=" + value(setup.contact) +
           ",COURRIEL=" + value(setup.courriel) + ",MAJ=" + Quoted(maj.toString(format).toStdString()) +
           " WHERE CODE=" + Quoted(padded(setup.client, 10));
}

// Sent faxes from three months back to the day before yesterday, counted per site and day in the
// order the server's grouping returns them: by site, then by day.
std::optional<std::string> faxLine(const std::vector<FaxRow>& faxes, const QDate& today) {
    const std::string lower = dayText(today.addMonths(-3));
    const std::string upper = dayText(today.addDays(-1));
    std::map<std::pair<int, std::string>, int> counts;
    for (const FaxRow& fax : faxes) {
        const std::string dates = faxDates(fax, today);
        if (fax.onglet == "envoyes" && dates > lower && dates < upper)
            ++counts[{fax.site, dates.substr(0, 10)}];
    }
    if (counts.empty())
        return std::nullopt;
    std::string line = "FAX=";
    for (const auto& [key, count] : counts)
        line += std::to_string(key.first) + "~" + key.second + "~" + std::to_string(count) + "|";
    return line;
}

std::optional<std::string> siteLine(const std::vector<SiteRow>& sites) {
    if (sites.empty())
        return std::nullopt;
    std::string line = "SITE=";
    for (const SiteRow& site : sites) {
        line += std::to_string(site.id);
        for (const auto* value :
             {&site.nom, &site.adresse, &site.ville, &site.fax, &site.faxid, &site.faxnom, &site.faxtel})
            line += "~" + Trimmed(value->value_or(""));
        line += "|";
    }
    return line;
}

std::string userLine(const UserRow& user) {
    return "id=" + std::to_string(user.id) + "|nom=" + Trimmed(user.recherche) +
           "|titre=" + Trimmed(user.titre) + "|vigilance=" + user.acces25 +
           "|Dernacces=" + padded(user.dernacces, 20);
}

std::vector<std::string> clinicStatements(const ClinicRows& rows) {
    const SetupRow& s = rows.setup;
    std::vector<std::string> statements{
        "insert into setup (nom, nomx, adres1, adres2, ville, prov, postal, region, tel, tel2, fax, contact, "
        "courriel, client, maj, dsq_eventprefix) values (" +
        Quoted(s.nom) + "," + Quoted(s.nom) + "," + Quoted(s.adres1) + "," + Quoted(s.adres2) + "," +
        Quoted(s.ville) + "," + Quoted(s.prov) + "," + Quoted(s.postal) + "," + Quoted(s.region) + "," +
        Quoted(s.tel) + "," + literal(s.tel2) + "," + Quoted(s.fax) + "," + Quoted(s.contact) + "," +
        literal(s.courriel) + "," + Quoted(s.client) + "," + Quoted(s.maj) + ",1)"};
    for (const SiteRow& site : rows.sites)
        statements.push_back(
            "insert into site (id, nom, adresse, ville, fax, faxid, faxnom, faxtel) values (" +
            std::to_string(site.id) + "," + literal(site.nom) + "," + literal(site.adresse) + "," +
            literal(site.ville) + "," + literal(site.fax) + "," + literal(site.faxid) + "," +
            literal(site.faxnom) + "," + literal(site.faxtel) + ")");
    for (const UserRow& user : rows.users)
        statements.push_back("insert into md (id, recherche, titre, acces25, dernacces, actif) values (" +
                             std::to_string(user.id) + "," + Quoted(user.recherche) + "," +
                             Quoted(user.titre) + "," + Quoted(user.acces25) + "," + Quoted(user.dernacces) +
                             ",0)");
    for (const WorkstationRow& workstation : rows.workstations)
        statements.push_back("insert into ordinateur (ip, port) values (" + Quoted(workstation.ip) + "," +
                             Quoted(workstation.port) + ")");
    for (const DiagRow& diag : rows.diag)
        statements.push_back("insert into diag (diag, code, md, dates, desc_ramq, desc_spec) values (" +
                             Quoted(diag.diag) + "," + Quoted(diag.code) + "," + std::to_string(diag.md) +
                             "," + literal(diag.dates) + "," + Quoted(diag.descRamq) + "," +
                             literal(diag.descSpec) + ")");
    for (const InstalledPackage& package : rows.installed)
        statements.push_back("insert into maj (nom, description, dates) values (" + Quoted(package.nom) +
                             "," + Quoted(package.description) + "," + Quoted(package.dates) + ")");
    return statements;
}

std::string lastPart(const std::string& text, size_t size) {
    return text.size() <= size ? text : "..." + text.substr(text.size() - size);
}

} // namespace

ClinicRows exampleClinic() {
    ClinicRows rows;
    rows.setup = {.nom = "Ancien nom",
                  .adres1 = "12 rue des Pins",
                  .adres2 = "",
                  .ville = fr("Québec"),
                  .postal = "G1A 1A1",
                  .prov = "QC",
                  .region = "03",
                  .tel = "418 555-0100",
                  .tel2 = std::nullopt,
                  .fax = "418 555-0101",
                  .contact = "L'Heureux",
                  .courriel = std::nullopt,
                  .client = "C1234",
                  .maj = "2004-05-11 14:03:22"};
    rows.sites = {{1, "Clinique du Parc", "12 rue des Pins", fr("Québec"), "418 555-0101", "FX1",
                   "Clinique du Parc", "418 555-0100"},
                  {2, "  Annexe  ", std::nullopt, fr("Lévis"), std::nullopt, "", "Annexe~|=", std::nullopt}};
    rows.users = {{1, "MEDECIN UN", "Dr", "O", "2004.05.11"},
                  {2, fr("MÉDECIN DEUX "), "Dre", "N", "2004.05.09 08:15:00"}};
    rows.faxes = {{1, 5, "09:00:00", "envoyes"},  {1, 5, "15:30:00", "envoyes"},
                  {1, 10, "11:00:00", "envoyes"}, {2, 5, "10:00:00", "envoyes"},
                  {1, 5, "12:00:00", "recus"},    {1, 1, "08:00:00", "envoyes"},
                  {1, 200, "08:00:00", "envoyes"}};
    rows.diag = {{"D1", "A01", 7, "2004.01.01", "Desc un", "Texte d'origine"},
                 {"D2", "A02", 3, std::nullopt, "Desc deux", std::nullopt},
                 {"D3", "A03", 0, "2004.02.02", "Desc trois", fr("Autre texte, accentué")}};
    rows.installed = {{"HHALVIO", "Aide", "2004.05.12 10:22:33"},
                      {"SQL_CLINIQUE", "Ancienne version", "2003.01.01 00:00:00"}};
    return rows;
}

std::string expectedReportBody(const ClinicRows& rows, const QDate& today) {
    std::vector<std::string> lines;
    if (Trimmed(rows.setup.client) != "NOUVEAU")
        lines.push_back(addressLine(rows.setup));
    if (auto fax = faxLine(rows.faxes, today))
        lines.push_back(*fax);
    if (auto site = siteLine(rows.sites))
        lines.push_back(*site);
    for (const UserRow& user : rows.users)
        lines.push_back(userLine(user));
    std::string body;
    for (const std::string& line : lines)
        body += line + "\r\n";
    return body;
}

ClinicInstallation::ClinicInstallation(const ClinicRows& rows, const std::string& updaterFile)
    : m_server(mainServer()) {
    m_programFolder = m_root.file("programme/");
    m_dataFolder = m_root.file("donnees/");
    fs::create_directories(m_programFolder);
    fs::create_directories(m_dataFolder);
    fs::create_directories(otherFolder());
    // A copy, never a link: the updater finds its folder through its own resolved path.
    fs::copy_file(updaterFile, updater());

    createClinicDatabase(clinicDatabase(), m_server.password);
    const std::string faxDatabase = m_server.nameOf(m_dataFolder + "fax.ib");
    createFaxDatabase(faxDatabase, m_server.password);
    execute(clinicStatements(rows));
    std::vector<std::string> faxes;
    for (const FaxRow& fax : rows.faxes)
        faxes.push_back("insert into fax (site, dates, onglet) values (" + std::to_string(fax.site) + "," +
                        Quoted(faxDates(fax, QDate::currentDate())) + "," + Quoted(fax.onglet) + ")");
    halvio::test::execute(faxDatabase, m_server.password, faxes);

    m_klisoIni = "[KLISO]\r\nSERVEUR=" + m_server.host + "\r\nDATABASE=" + m_dataFolder + "kliso.ib\r\n";
    writeBytes(inProgramFolder("kliso.ini"), m_klisoIni);
}

std::string ClinicInstallation::clinicDatabase() const {
    return m_server.nameOf(m_dataFolder + "kliso.ib");
}

std::vector<std::vector<std::string>> ClinicInstallation::query(const std::string& sql) const {
    return halvio::test::query(clinicDatabase(), m_server.password, sql);
}

std::string ClinicInstallation::value(const std::string& sql) const {
    return queryValue(clinicDatabase(), m_server.password, sql);
}

void ClinicInstallation::execute(const std::vector<std::string>& statements) const {
    halvio::test::execute(clinicDatabase(), m_server.password, statements);
}

QDateTime ClinicInstallation::setupMaj() const {
    return QDateTime::fromString(QString::fromStdString(value("select maj from setup")),
                                 QStringLiteral("yyyy.MM.dd hh:mm:ss"));
}

std::string ClinicInstallation::diagnostics() const {
    std::string text;
    if (auto crash = readBytesIfAny(inProgramFolder("maj_kliso.err")))
        text += "\n--- maj_kliso.err ---\n" + lastPart(*crash, 4000);
    if (auto output = readBytesIfAny(outputFile()))
        text += "\n--- output of the started programs ---\n" + lastPart(*output, 4000);
    return text;
}

} // namespace halvio::test
