// A stored client report read with the updater's own line grammar: what a well-formed report gives,
// and the reason given for each way a report can be malformed. Nothing of a report is ever run.
#include "ReportParser.h"
#include "StoredReportName.h"
#include "Windows1252.h"

#include <gtest/gtest.h>

#include <string>

using namespace halvio::tools::console;
using halvio::fr;

namespace {

const std::string kAddress =
    fr("update client set adres1='12 rue des Pins',adres2='',ville='Québec',postal='G1A "
       "1A1',PROV='QC',REGION='03',TEL='418 555-0100',TEL2='',FAX='418 555-0101',"
       "CONTACT='Réception',COURRIEL='',MAJ='2004.05.10 14:03:22' WHERE CODE='C1234     '");
const std::string kFax = "FAX=1~2004.03.02~14|1~2004.03.03~9|";
const std::string kSite = "SITE=1~Clinique du Parc~12 rue des Pins~" + fr("Québec") +
                          "~418 555-0101~FX1~Clinique du Parc~418 555-0100|";
const std::string kUser1 = "id=1|nom=MEDECIN UN|titre=Dr|vigilance=O|Dernacces=2004.05.11          ";
const std::string kUser2 = "id=2|nom=MEDECIN DEUX|titre=Dre|vigilance=N|Dernacces=2004.05.09 08:15   ";

std::string body(const std::vector<std::string>& lines, const std::string& end = "\r\n") {
    std::string text;
    for (const std::string& line : lines)
        text += line + end;
    return text;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

} // namespace

TEST(ConsoleReportParser, TheUpdatersReportIsReadWholeWithItsAccentsInUtf8) {
    for (const std::string end : {"\r\n", "\n", "\r"}) {
        const ReportReading reading = parseReport(body({kAddress, kFax, kSite, kUser1, kUser2}, end));
        ASSERT_TRUE(reading.report) << reading.fault;
        EXPECT_EQ(reading.fault, "");
        const ParsedReport& report = *reading.report;
        EXPECT_EQ(report.code, "C1234");
        EXPECT_EQ(reading.code, "C1234");
        EXPECT_EQ(report.address.adres1, "12 rue des Pins");
        EXPECT_EQ(report.address.adres2, "");
        EXPECT_EQ(report.address.ville, "Québec");
        EXPECT_EQ(report.address.contact, "Réception");
        EXPECT_EQ(report.address.region, "03");
        EXPECT_EQ(report.address.maj, "2004.05.10 14:03:22");
        ASSERT_EQ(report.faxes.size(), 2u);
        EXPECT_EQ(report.faxes[1].site, "1");
        EXPECT_EQ(report.faxes[1].day, "2004.03.03");
        EXPECT_EQ(report.faxes[1].count, 9);
        ASSERT_EQ(report.sites.size(), 1u);
        EXPECT_EQ(report.sites[0].ville, "Québec");
        EXPECT_EQ(report.sites[0].faxtel, "418 555-0100");
        ASSERT_EQ(report.users.size(), 2u);
        EXPECT_EQ(report.users[0].dernacces, "2004.05.11");
        EXPECT_EQ(report.users[1].nom, "MEDECIN DEUX");
        EXPECT_EQ(report.users[1].titre, "Dre");
        EXPECT_EQ(report.users[1].vigilance, "N");
        EXPECT_EQ(report.users[1].dernacces, "2004.05.09 08:15");
    }
}

TEST(ConsoleReportParser, OptionalLinesAndUnescapedValuesReadAsTheirRulesSay) {
    const ReportReading reading = parseReport(body({
        replaced(kAddress, "adres1='12 rue des Pins'", "adres1='O''Neil, 1'''"),
        "FAX=site~un~2004.03.02~3|",
        "id=7|nom=A|B=C~D|titre=Dr|vigilance=x|vigilance=|Dernacces=",
        "id=-8|nom=" + fr("É") + "|titre=T|vigilance=",
    }));
    ASSERT_TRUE(reading.report) << reading.fault;
    const ParsedReport& report = *reading.report;
    EXPECT_EQ(report.address.adres1, "O'Neil, 1'");
    EXPECT_EQ(report.faxes.at(0).site, "site~un");
    EXPECT_TRUE(report.sites.empty());
    EXPECT_EQ(report.users.at(0).nom, "A|B=C~D");
    EXPECT_EQ(report.users.at(0).titre, "Dr|vigilance=x");
    EXPECT_EQ(report.users.at(0).vigilance, "");
    EXPECT_EQ(report.users.at(1).id, "-8");
    EXPECT_EQ(report.users.at(1).nom, "É");
    EXPECT_EQ(report.users.at(1).dernacces, "");
}

TEST(ConsoleReportParser, EachMalformedReportIsRefusedWithItsReason) {
    const struct {
        std::string bytes;
        std::string reason; // the start of the fault
    } cases[] = {
        {"", "rapport vide"},
        {body({kAddress}).substr(0, 60), "la dernière ligne n'est pas terminée (rapport tronqué)"},
        {body({kAddress, std::string("id=1|nom=A\0B|titre=|vigilance=", 30)}), "octet nul à la position "},
        {body({kFax, kUser1}), "ligne 1 : pas d'instruction d'adresse (client sans code, NOUVEAU)"},
        {body({"DELETE FROM client"}), "ligne 1 : ligne inconnue « DELETE FROM client »"},
        {body({replaced(kAddress, ",ville=", ",city=")}), "ligne 1 : « ,ville= » attendu (colonne "},
        {body({replaced(kAddress, ",ville=", ",VILLE=")}), "ligne 1 : « ,ville= » attendu"},
        {body({replaced(kAddress, ",postal='G1A 1A1',PROV='QC'", ",PROV='QC',postal='G1A 1A1'")}),
         "ligne 1 : « ,postal= » attendu"},
        {body({replaced(kAddress, "adres1='12 rue des Pins'", "adres1=12")}),
         "ligne 1 : apostrophe attendue"},
        {body({replaced(kAddress, "'C1234     '", "'C1234")}),
         "ligne 1 : texte entre apostrophes non terminé"},
        {body({kAddress + "; drop table client"}), "ligne 1 : texte en trop après le code client"},
        {body({kAddress + " "}), "ligne 1 : texte en trop après le code client"},
        {body({replaced(kAddress, "'C1234     '", "'   '")}), "ligne 1 : code client vide"},
        {body({replaced(kAddress, "2004.05.10 14:03:22", "2005.02.29")}), "ligne 1 : date MAJ invalide"},
        {body({replaced(kAddress, "2004.05.10 14:03:22", "2004.05.10 24:00:00")}),
         "ligne 1 : date MAJ invalide"},
        {body({kAddress, kAddress}), "ligne 2 : instruction d'adresse ailleurs qu'en première ligne"},
        {body({kAddress, ""}), "ligne 2 : ligne vide"},
        {body({kAddress, "FAX="}), "ligne 2 : aucun groupe après « FAX= »"},
        {body({kAddress, "FAX=1~2004.03.02~14"}), "ligne 2 : la ligne ne finit pas par « | »"},
        {body({kAddress, "FAX=1~2004.03.02~14||"}), "ligne 2 : groupe 2 : trois champs attendus"},
        {body({kAddress, "FAX=1~2004.03.02~x|"}), "ligne 2 : groupe 1 : nombre de télécopies invalide « x »"},
        {body({kAddress, "FAX=1~2004.03.02~-1|"}), "ligne 2 : groupe 1 : nombre de télécopies invalide"},
        {body({kAddress, "FAX=1~2004.03.02~1234567|"}), "ligne 2 : groupe 1 : nombre de télécopies invalide"},
        {body({kAddress, "FAX=1~2004.03.02~1|1~2004.3.3~1|"}),
         "ligne 2 : groupe 2 : date invalide « 2004.3.3 »"},
        {body({kAddress, "SITE=1~a~b~c~d~e~f|"}), "ligne 2 : groupe 1 : 7 champs au lieu de 8"},
        {body({kAddress, "SITE="}), "ligne 2 : aucun groupe après « SITE= »"},
        {body({kAddress, "SITE=1~a~b~c~d~e~f~g"}), "ligne 2 : la ligne ne finit pas par « | »"},
        {body({kAddress, "SITE=1~a|b~c~d~e~f|"}), "ligne 2 : groupe 1 : 2 champs au lieu de 8"},
        {body({kAddress, "SITE=1~a~b|c~d~e~f~g~h|", kUser1, "id=x|nom=A|titre=|vigilance=O"}),
         "ligne 4 : id invalide « x »"},
        {body({kAddress, kSite, "SITE=1~a|b~c~d~e~f~g~h|"}), "ligne 3 : ligne SITE= hors de sa place"},
        {body({kAddress, kUser1, "SITE=1~a|b~c~d~e~f~g~h|"}), "ligne 3 : ligne SITE= hors de sa place"},
        {body({kAddress, kSite, kFax}), "ligne 3 : ligne FAX= hors de sa place"},
        {body({kAddress, kUser1, kSite}), "ligne 3 : ligne SITE= hors de sa place"},
        {body({kAddress, "id=x|nom=A|titre=|vigilance=O"}), "ligne 2 : id invalide « x »"},
        {body({kAddress, "id=1|nom=A|vigilance=O"}), "ligne 2 : « |titre= » attendu"},
        {body({kAddress, "id=1|nom=A|titre=B"}), "ligne 2 : « |vigilance= » attendu"},
        {body({kAddress, "id=1|nom=A|titre=B|vigilance=OO"}), "ligne 2 : vigilance d'un caractère au plus"},
        {body({kAddress, "id=1|nom=A|titre=B|vigilance=O|Autre=1"}),
         "ligne 2 : vigilance d'un caractère au plus"},
        {body({kAddress, "id=1|nom=A|titre=B|vigilance=O|Dernacces=hier"}),
         "ligne 2 : Dernacces invalide « hier »"},
        {body({kAddress, "id=1|nom=A|titre=B|vigilance=O|Dernacces=2004.05.11x"}),
         "ligne 2 : Dernacces invalide"},
        {body({kAddress}) + std::string(kMaxReportFileBytes, 'x') + "\r\n", "rapport de "},
        {body(std::vector<std::string>(kMaxReportLines + 1, kUser1)),
         std::to_string(kMaxReportLines + 1) + " lignes"},
    };
    for (const auto& c : cases) {
        const ReportReading reading = parseReport(c.bytes);
        EXPECT_FALSE(reading.report) << c.reason;
        EXPECT_EQ(reading.fault.substr(0, c.reason.size()), c.reason) << reading.fault;
    }
}

// A site value holding "~" or "|" (the updater sends it as it is) leaves no way to split the SITE=
// line: the rest of the report is read and only its sites are given up, with the reason.
TEST(ConsoleReportParser, ASiteLineThatCannotBeSplitLeavesTheReportReadWithoutItsSites) {
    const std::string second = "2~" + fr("Annexe ~|= de l'Est") + "~3 rue~" + fr("Lévis") + "~~~~|";
    const struct {
        std::string siteLine;
        std::string reason; // after "ligne 3 : "
    } cases[] = {
        {replaced(kSite, "1~Clinique du Parc~", "1~Clinique ~ du Parc~"),
         "une valeur de site contient « ~ » ou « | », la ligne ne peut pas être découpée sans ambiguïté "
         "(groupe 1 : 9 champs au lieu de 8 « 1~Clinique ~ du Parc~12 rue des Pins~Qué… »)"},
        {replaced(kSite, "~FX1~", "~FX|1~"), "(groupe 1 : 6 champs au lieu de 8 « 1~Clinique du Parc~12 rue"},
        {kSite + second, "(groupe 2 : 3 champs au lieu de 8 « 2~Annexe ~ »)"},
        {"SITE=1~a|b~c~d~e~f~g~h|", "(groupe 1 : 2 champs au lieu de 8 « 1~a »)"},
        {"SITE=||~~~~~~~|", "(groupe 1 : 1 champs au lieu de 8 «  »)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.siteLine);
        const ReportReading reading = parseReport(body({kAddress, kFax, c.siteLine, kUser1, kUser2}));
        ASSERT_TRUE(reading.report) << reading.fault;
        EXPECT_EQ(reading.fault, "");
        const ParsedReport& report = *reading.report;
        EXPECT_EQ(report.code, "C1234");
        EXPECT_EQ(report.address.ville, "Québec");
        EXPECT_EQ(report.faxes.size(), 2u);
        EXPECT_EQ(report.users.size(), 2u);
        EXPECT_TRUE(report.sites.empty()) << "no split of the line is guessed";
        EXPECT_EQ(report.sitesFault.substr(0, 10), "ligne 3 : ");
        EXPECT_NE(report.sitesFault.find(c.reason), std::string::npos) << report.sitesFault;
    }
    const ReportReading plain = parseReport(body({kAddress, kSite + "2~Annexe~3 rue~~~~~|"}));
    ASSERT_TRUE(plain.report);
    EXPECT_EQ(plain.report->sitesFault, "");
    EXPECT_EQ(plain.report->sites.size(), 2u);
}

TEST(ConsoleReportParser, AReportThatFailsAfterItsAddressLineStillNamesItsClinic) {
    const ReportReading late = parseReport(body({kAddress, "FAX=1~2004.03.02~x|"}));
    EXPECT_FALSE(late.report);
    EXPECT_EQ(late.code, "C1234");
    EXPECT_EQ(parseReport(body({kFax})).code, "");
}

TEST(ConsoleReportParser, TheStoredNameGivesTheReceptionTimeAndSequence) {
    const struct {
        std::string name;
        std::string receivedAt; // empty: no time in the name
        int sequence;
    } cases[] = {
        {"C0042_20261210-005816_1.maj", "2026.12.10 00:58:16", 1},
        {"a_b_20240229-235959_12.maj", "2024.02.29 23:59:59", 12},
        {"___x~0123456789abcdef_20261210-005816_3.maj", "2026.12.10 00:58:16", 3},
        {"C0042.maj", "", 0},
        {"_20261210-005816_1.maj", "", 0},
        {"C0042_20230229-005816_1.maj", "", 0},
        {"C0042_20261210-245816_1.maj", "", 0},
        {"C0042_20261210-005816_.maj", "", 0},
        {"C0042_20261210-005816_1.txt", "", 0},
        {"C0042_2026121-0005816_1.maj", "", 0},
    };
    for (const auto& c : cases) {
        const auto read = readStoredReportName(c.name);
        EXPECT_EQ(read ? read->receivedAt : "", c.receivedAt) << c.name;
        EXPECT_EQ(read ? read->sequence : 0, c.sequence) << c.name;
    }
    EXPECT_TRUE(isReportFileName("C1_20261210-005816_1.maj"));
    for (const char* name : {".index.sqlite", ".x.maj", "../C1.maj", "a/b.maj", "a\\b.maj", ".maj", "C1.txt"})
        EXPECT_FALSE(isReportFileName(name)) << name;
}
