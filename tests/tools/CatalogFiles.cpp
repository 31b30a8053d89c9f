// The catalog's file formats, the reply they give, and the service's listen addresses.
#include "Catalog.h"
#include "ClientReply.h"
#include "ListenAddress.h"
#include "ReplyBuilder.h"
#include "ServiceHosts.h"
#include "UpdateService.h"

#include <gtest/gtest.h>

using namespace halvio::tools;

namespace {

TEST(ClientFile, ReadsSettingsStatementsAndPackagesInOrder) {
    const ClientEntry entry = parseClientFile("# comment line\r\n"
                                              "NOM=Clinique  du Parc \xC9t\xE9 \r\n"
                                              "\r\n"
                                              "Escompte=15\n"
                                              "id=47\r"
                                              "statement=update md set actif=1 where id=3\r\n"
                                              "statement=\r\n"
                                              "package=SQL_A|2004/05/11 09:00:00|Mise \xE0 jour\r\n"
                                              "statement= update setup set km=0.45\r\n"
                                              "package=HALVIO|2004.05.12 10:22:33\r\n"
                                              "nom=Clinique du Lac\r\n");
    EXPECT_EQ(entry.settings.nom, "Clinique du Lac");
    EXPECT_EQ(entry.settings.escompte, "15");
    EXPECT_EQ(entry.settings.id, "47");
    EXPECT_EQ(entry.settings.statements, (std::vector<std::string>{"update md set actif=1 where id=3", "",
                                                                   " update setup set km=0.45"}));
    ASSERT_EQ(entry.packages.size(), 2u);
    EXPECT_EQ(entry.packages[0].name, "SQL_A");
    EXPECT_EQ(entry.packages[0].date, "2004/05/11 09:00:00");
    EXPECT_EQ(entry.packages[0].description, "Mise \xE0 jour");
    EXPECT_EQ(entry.packages[1].name, "HALVIO");
    EXPECT_EQ(entry.packages[1].description, "");
}

TEST(ClientFile, MalformedLinesNameTheirLine) {
    const struct {
        const char* bytes;
        const char* expected;
    } cases[] = {
        {"nom=A\nescomte=5\n", "line 2: unknown key escomte"},
        {"nom=A\n\njust text\n", "line 3: key=value expected"},
        {"package=|2004.01.01 00:00:00|x\n", "line 1: a package without a name"},
    };
    for (const auto& c : cases) {
        try {
            parseClientFile(c.bytes);
            ADD_FAILURE() << c.bytes << " was accepted";
        } catch (const CatalogError& error) {
            EXPECT_NE(std::string(error.what()).find(c.expected), std::string::npos) << error.what();
        }
    }
}

TEST(PackageList, NameDateAndTheRestAsDescription) {
    const auto packages = parsePackageList("HALVIO|2004.05.12 10:22:33|Nouvelle version\r\n"
                                           "#UPDATEDIAG|2004.05.13 08:00:00|not yet\r\n"
                                           "   \r\n"
                                           "UPDATEDIAG|2004.05.13 08:00:00|Renum\xE9rotation|avec barre\n"
                                           "PLAIN\n");
    ASSERT_EQ(packages.size(), 3u);
    EXPECT_EQ(packages[0].description, "Nouvelle version");
    EXPECT_EQ(packages[1].name, "UPDATEDIAG");
    EXPECT_EQ(packages[1].description, "Renum\xE9rotation|avec barre");
    EXPECT_EQ(packages[2].name, "PLAIN");
    EXPECT_EQ(packages[2].date, "");
    EXPECT_THROW(parsePackageList("HALVIO|x|y\n |2004.05.12 10:22:33|no name\n"), CatalogError);
}

TEST(CatalogText, Utf8LinesAreConvertedOrRefusedAndWindows1252LinesKept) {
    const struct {
        const char* label;
        std::string line;
        std::string expected; // the description as served; empty: the line is a fault
    } cases[] = {
        {"Windows-1252", "Mise \xE0 jour \x80 \x9C", "Mise \xE0 jour \x80 \x9C"},
        {"UTF-8 that maps", "Mise \xC3\xA0 jour \xE2\x82\xAC \xC5\x93", "Mise \xE0 jour \x80 \x9C"},
        {"ASCII", "Nouvelle version", "Nouvelle version"},
        {"UTF-8 outside the code page (CJK)", "Version \xE6\x97\xA5", ""},
        {"UTF-8 outside the code page (check mark)", "Pr\xC3\xAAt \xE2\x9C\x93", ""},
        {"a C1 control typed in UTF-8", "x \xC2\x81", ""},
        // Bytes that no UTF-8 text holds: Windows-1252 as it is.
        {"overlong form", "\xC0\xA9t\xE9", "\xC0\xA9t\xE9"},
    };
    for (const auto& c : cases) {
        const PackageList list = readPackageList(
            "# head\r\nA|2004.05.12 10:22:33|x\r\nB|2004.05.12 10:22:33|" + c.line + "\r\n", "packages.txt");
        if (c.expected.empty()) {
            ASSERT_EQ(list.faults.size(), 1u) << c.label;
            EXPECT_EQ(list.faults[0].line, 3u) << c.label;
            EXPECT_NE(list.faults[0].reason.find("UTF-8 text with a character that Windows-1252 has not"),
                      std::string::npos)
                << c.label;
            ASSERT_EQ(list.packages.size(), 1u) << c.label;
        } else {
            EXPECT_TRUE(list.faults.empty()) << c.label << ": " << faultLine(list.faults.at(0));
            ASSERT_EQ(list.packages.size(), 2u) << c.label;
            EXPECT_EQ(list.packages[1].description, c.expected) << c.label;
            EXPECT_EQ(list.packages[1].line, 3u) << c.label;
        }
    }
    // A file saved with a UTF-8 byte order mark, and a UTF-8 line added to a Windows-1252 file.
    const ClientEntry entry =
        readClientFile("\xEF\xBB\xBFnom=Clinique \xC3\x89t\xC3\xA9\nstatement=update md set "
                       "titre='Dre \xC9lise'\n",
                       "clients/C1.txt");
    EXPECT_TRUE(entry.faults.empty());
    EXPECT_EQ(entry.settings.nom, "Clinique \xC9t\xE9");
    EXPECT_EQ(entry.settings.statements, std::vector<std::string>{"update md set titre='Dre \xC9lise'"});
}

TEST(PublicationDate, IsTheUpdatersFormOfARealDateAndTime) {
    for (const char* good : {"2004.05.12 10:22:33", "2004/05/12 10:22:33", "2024.02.29 23:59:59"})
        EXPECT_TRUE(isPublicationDate(good)) << good;
    for (const char* bad :
         {"", "2004.05.12", "2004-05-12 10:22:33", "12.05.2004 10:22:33", "2004.05.12 10:22",
          "2004.05.12  10:22:33", " 2004.05.12 10:22:33", "2004.13.12 10:22:33", "2023.02.29 10:22:33",
          "2004.05.12 24:00:00", "2004.05.12 10:22:3x", "2004:05:12 10:22:33"})
        EXPECT_FALSE(isPublicationDate(bad)) << bad;
}

TEST(PackageListReply, FollowsTheReplyGrammar) {
    const struct {
        const char* label;
        ReplySettings settings;
        std::vector<OfferedPackage> packages;
        std::string expected;
    } cases[] = {
        {"empty settings, no statement, no package", {}, {}, "nom=|escompte=|ID=\r\n\r\n"},
        {"statements between empty fields",
         {"Clinique", "15", "47", {"", "update md set actif=1", "", ""}},
         {},
         "nom=Clinique|escompte=15|ID=47\r\n|update md set actif=1||\r\n"},
        {"packages in the given order",
         {"C", "", "1", {"a", "b"}},
         {{"SQL_B", "2004/05/11 09:00:00", "Mise \xE0 jour", 182}, {"HALVIO", "2004.05.12 10:22:33", "", 0}},
         "nom=C|escompte=|ID=1\r\na|b\r\n"
         "nom=SQL_B|dates=2004/05/11 09:00:00|taille=182|description=Mise \xE0 jour\r\n"
         "nom=HALVIO|dates=2004.05.12 10:22:33|taille=0|description=\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(buildPackageListReply(c.settings, c.packages), c.expected) << c.label;
}

TEST(PackageFileName, IsTheLowerCaseNameWithZip) {
    EXPECT_EQ(Catalog::packageFileName("SQL_FIX"), "sql_fix.zip");
    EXPECT_EQ(Catalog::packageFileName("Halvio26"), "halvio26.zip");
}

TEST(ListenAddresses, ParsesNumericAddressesAndLocalhost) {
    EXPECT_EQ(parseListenAddress("localhost:18080"), (ListenAddress{"127.0.0.1", 18080}));
    EXPECT_EQ(parseListenAddress("127.0.0.2:0"), (ListenAddress{"127.0.0.2", 0}));
    EXPECT_EQ(parseListenAddress("[::1]:8080"), (ListenAddress{"::1", 8080}));
    EXPECT_EQ(toText({"::1", 8080}), "[::1]:8080");
    for (const char* bad : {"127.0.0.1", "127.0.0.1:", "127.0.0.1:x", "127.0.0.1:65536", "127.0.0.1:-1",
                            "clinic.example:80", ":80", "127.0.0.1:80 "})
        EXPECT_THROW(parseListenAddress(bad), std::invalid_argument) << bad;
}

TEST(ListenAddresses, DefaultsAreTheBuildsServiceHostsWithoutRepeats) {
    if (std::string(halvio::hosts::kProfile) != "local")
        GTEST_SKIP() << "the hosts of the local profile are checked";
    // Office server and public web host are localhost, on two ports.
    EXPECT_EQ(defaultServiceAddresses(),
              (std::vector<ListenAddress>{
                  {"127.0.0.1", 18080}, {"127.0.0.2", 18080}, {"127.0.0.3", 18080}, {"127.0.0.1", 18081}}));
    EXPECT_EQ(withoutRepeats({{"127.0.0.1", 1}, {"127.0.0.2", 1}, {"127.0.0.1", 1}}),
              (std::vector<ListenAddress>{{"127.0.0.1", 1}, {"127.0.0.2", 1}}));
}

} // namespace
