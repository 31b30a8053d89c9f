// The names and statement texts derived from a package row.
#include "PackageNames.h"
#include "PackageDownload.h"
#include "ServiceHosts.h"

#include <gtest/gtest.h>

using namespace halvio;

TEST(PackageNames, FileNameIsTheTrimmedLowerCaseNameWithZip) {
    const std::pair<const char*, const char*> cases[] = {
        {" Sql_Test ", "sql_test.zip"},       {"SQL_FIX", "sql_fix.zip"},
        {"\tHALVIO27\r\n", "halvio27.zip"},   {"Maj_Kliso", "maj_kliso.zip"},
        {"R\xC9SUM\xC9", "r\xC9sum\xC9.zip"}, // only ASCII letters change case
    };
    for (const auto& [nom, file] : cases)
        EXPECT_EQ(packageFileName(nom), file) << nom;
}

TEST(PackageNames, OnlyPlainNamesMayBecomeFileNames) {
    const std::pair<const char*, bool> cases[] = {
        {"SQL_FIX", true}, {"halvio.2024", true}, {"A B", true},       {"", false},     {"../EVIL", false},
        {"..", false},     {"A..B", false},       {"A/B", false},      {"A\\B", false}, {"C:X", false},
        {"TAB\tX", false}, {"NL\nX", false},      {"DEL\x7FX", false}, {"\x01", false}, {"\xE9t\xE9", true},
        {"SP ACE", true},  {"H#F", true},         {"A+B(2)", true},    {"Q?X", false},  {"A*B", false},
        {"A<B", false},    {"A>B", false},        {"A\"B", false},
    };
    for (const auto& [name, plain] : cases)
        EXPECT_EQ(isPlainPackageName(name), plain) << name;
}

TEST(PackageNames, PercentEncodingKeepsOnlyUnreservedBytes) {
    const std::pair<const char*, const char*> cases[] = {
        {"halvio.zip", "halvio.zip"},
        {"sql_2024-05~x.zip", "sql_2024-05~x.zip"},
        {"ABCXYZabcxyz0189", "ABCXYZabcxyz0189"},
        {"sp ace.zip", "sp%20ace.zip"},
        {"h#f.zip", "h%23f.zip"},
        {"a%20b", "a%2520b"}, // a percent sign is a byte of the name like any other
        {"q?x&y=z+1", "q%3Fx%26y%3Dz%2B1"},
        {"r\xE9sum\xE9\x7F", "r%E9sum%E9%7F"},
        {"", ""},
    };
    for (const auto& [bytes, encoded] : cases)
        EXPECT_EQ(percentEncoded(bytes), encoded) << bytes;
}

TEST(PackageNames, KindNameDecidesScripts) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"sql_test.zip", "SQL_TEST", true}, {"sql_fix.zip", "SQL_FIX", true}, {"sqlfix.zip", "SQLFIX", false},
        {"halvio.zip", "HALVIO", false},    {"x_sql_.zip", "X_SQL_", false},  {"sql_.zip", "SQL_", true},
    };
    for (const auto& [file, kind, script] : cases) {
        EXPECT_EQ(packageKindName(file), kind) << file;
        EXPECT_EQ(isScriptPackage(packageKindName(file)), script) << file;
    }
}

TEST(PackageNames, RecordNameStoresHalvio27AsHalvio26) {
    const std::pair<const char*, const char*> cases[] = {
        {" HALVIO27 ", "HALVIO26"},
        {"HALVIO26", "HALVIO26"},
        {"halvio27", "halvio27"}, // the replacement respects case
        {"XHALVIO27HALVIO27", "XHALVIO26HALVIO26"},
        {"SQL_FIX", "SQL_FIX"},
    };
    for (const auto& [nom, record] : cases)
        EXPECT_EQ(recordName(nom), record) << nom;
}

TEST(PackageNames, AddressesOfTheHosts) {
    EXPECT_EQ(packageAddress(hosts::kPublicWebHost, "sql_test.zip"),
              "http://localhost:18081/kliso/update/sql_test.zip");
    EXPECT_EQ(packageAddress("https://www.vendor.example", "halvio.zip"),
              "https://www.vendor.example/kliso/update/halvio.zip");
    EXPECT_EQ(packageAddress("127.0.0.2:18080", "sp ace#1.zip"),
              "http://127.0.0.2:18080/kliso/update/sp%20ace%231.zip");
    EXPECT_EQ(packageHosts(true), (std::vector<std::string>{"localhost:18080", "127.0.0.2:18080"}));
    EXPECT_EQ(packageHosts(false), (std::vector<std::string>{"localhost:18081"}));
}

TEST(PackageNames, RecordStatementsQuoteEveryValue) {
    EXPECT_EQ(recordLookupSql("L'OUTIL"), "select * from maj where nom='L''OUTIL'");
    EXPECT_EQ(
        recordUpdateSql("HALVIO26", "Halvio de l'h\xF4pital", "2024.01.02 03:04:05"),
        "update maj set NOM='HALVIO26',Description='Halvio de l''h\xF4pital',DATES='2024.01.02 03:04:05',"
        "FICHIER=:image  where nom='HALVIO26'");
    EXPECT_EQ(recordInsertSql("SQL_FIX", "a'b", "2024.01.02 03:04:05"),
              "insert into maj (NOM,description,DATES,FICHIER) VALUES ('SQL_FIX','a''b','2024.01.02 "
              "03:04:05',:image)");
    EXPECT_EQ(endOfRunStampSql("2008.03.07 14:05:09"), "update setup set maj ='2008.03.07 14:05:09'");
}
