// The lines of the client report composed from plain values.
#include "ReportLines.h"
#include "Windows1252.h"

#include <gtest/gtest.h>

using namespace halvio;

namespace {
AddressFields parcAddress() {
    AddressFields f;
    f.adres1 = "12 rue des Pins              ";
    f.ville = fr("Québec");
    f.postal = "G1A 1A1   ";
    f.prov = "QC";
    f.region = "03 ";
    f.tel = "418 555-0100";
    f.fax = "418 555-0101";
    f.contact = fr("Réception");
    f.maj = {2004, 5, 11, 14, 3, 22};
    f.client = "C1234     ";
    return f;
}
} // namespace

TEST(AddressStatement, KeysInOrderValuesTrimmedAndQuotedCodeKeptPadded) {
    EXPECT_EQ(
        *addressStatement(parcAddress()),
        fr("update client set adres1='12 rue des Pins',adres2='',ville='Québec',postal='G1A 1A1',PROV='QC',"
           "REGION='03',TEL='418 555-0100',TEL2='',FAX='418 555-0101',CONTACT='Réception',COURRIEL='',"
           "MAJ='2004.05.10 14:03:22' WHERE CODE='C1234     '"));
}

TEST(AddressStatement, ApostrophesAreDoubledAfterTrimming) {
    AddressFields f = parcAddress();
    f.contact = "  O'Neil  ";
    f.client = "O'C       ";
    const std::string sql = *addressStatement(f);
    EXPECT_NE(sql.find(",CONTACT='O''Neil',"), std::string::npos) << sql;
    EXPECT_NE(sql.find(" WHERE CODE='O''C       '"), std::string::npos) << sql;
}

TEST(AddressStatement, NoneForANewClientWhateverItsBlanks) {
    struct Case {
        const char* client;
        bool sent;
    };
    for (const Case c : {Case{"NOUVEAU   ", false}, Case{" NOUVEAU  ", false}, Case{"\tNOUVEAU", false},
                         Case{"NOUVEAUX  ", true}, Case{"nouveau   ", true}, Case{"          ", true}}) {
        AddressFields f = parcAddress();
        f.client = c.client;
        EXPECT_EQ(addressStatement(f).has_value(), c.sent) << '[' << c.client << ']';
    }
}

TEST(MajReportText, OneDayEarlierTimeLeftOutAtMidnight) {
    struct Case {
        DateTime stored;
        const char* sent;
    };
    for (const Case& c :
         {Case{{2004, 5, 11, 14, 3, 22}, "2004.05.10 14:03:22"}, Case{{2004, 5, 11, 0, 0, 0}, "2004.05.10"},
          Case{{2004, 3, 1, 0, 0, 1}, "2004.02.29 00:00:01"},
          Case{{2005, 1, 1, 23, 59, 59}, "2004.12.31 23:59:59"}, Case{DateTime::dayZero(), "1899.12.29"}})
        EXPECT_EQ(majReportText(c.stored), c.sent);
}

TEST(FaxLine, OneGroupPerRowEachEndedByABarValuesUntouched) {
    EXPECT_FALSE(faxLine({}).has_value());
    EXPECT_EQ(*faxLine({{"1", "2004.03.02", "14"}, {"1", "2004.03.03", "9"}}),
              "FAX=1~2004.03.02~14|1~2004.03.03~9|");
    EXPECT_EQ(*faxLine({{" 2", "a|b~", "1"}}), "FAX= 2~a|b~~1|");
}

TEST(SiteLine, IdAsReadOtherValuesTrimmed) {
    EXPECT_FALSE(siteLine({}).has_value());
    const SiteRow parc{"1", "Clinique du Parc ", " 12 rue des Pins", fr("Québec"), "418 555-0101", "FX1", "",
                       "x"};
    const SiteRow blanks{" 2 ", "", "", "", "", "", "", ""};
    EXPECT_EQ(*siteLine({parc, blanks}),
              fr("SITE=1~Clinique du Parc~12 rue des Pins~Québec~418 555-0101~FX1~~x| 2 ~~~~~~~|"));
}

TEST(UserLine, LastAccessKeepsItsBlanksAndIsLeftOutWhenUnreadable) {
    UserRow row{"1", "MEDECIN UN  ", " Dr ", "O", std::string("2004.05.11          ")};
    EXPECT_EQ(userLine(row), "id=1|nom=MEDECIN UN|titre=Dr|vigilance=O|Dernacces=2004.05.11          ");
    row.dernacces.reset();
    EXPECT_EQ(userLine(row), "id=1|nom=MEDECIN UN|titre=Dr|vigilance=O");
    EXPECT_EQ(userLine({"7", "", "", "", std::string()}), "id=7|nom=|titre=|vigilance=|Dernacces=");
}

TEST(FaxDateWindow, ThreeCalendarMonthsBackAndYesterday) {
    struct Case {
        DateTime now;
        const char* lower;
        const char* upper;
    };
    for (const Case& c : {Case{{2004, 5, 31, 10, 15, 0}, "2004.02.29", "2004.05.30"},
                          Case{{2004, 4, 15, 0, 0, 0}, "2004.01.15", "2004.04.14"},
                          Case{{2005, 3, 31, 8, 0, 0}, "2004.12.31", "2005.03.30"},
                          Case{{2005, 5, 31, 23, 59, 59}, "2005.02.28", "2005.05.30"},
                          Case{{2004, 3, 1, 12, 0, 0}, "2003.12.01", "2004.02.29"},
                          Case{{2004, 1, 1, 0, 0, 0}, "2003.10.01", "2003.12.31"}}) {
        const FaxDateWindow window = faxDateWindow(c.now);
        EXPECT_EQ(window.lower, c.lower) << DateTimeText(c.now);
        EXPECT_EQ(window.upper, c.upper) << DateTimeText(c.now);
    }
}

TEST(FaxStatements, TextsAsTheServerReceivesThem) {
    EXPECT_EQ(substrDeclaration(),
              "DECLARE EXTERNAL FUNCTION SUBSTR CSTRING(80), SMALLINT, SMALLINT RETURNS CSTRING(80) "
              "FREE_IT  ENTRY_POINT 'IB_UDF_substr' MODULE_NAME 'ib_udf' ");
    EXPECT_EQ(
        faxStatisticsQuery({"2004.02.29", "2004.05.30"}),
        "select site,substr(dates,1,10) as dates,count(*) as qte  from fax  where ( dates>'2004.02.29' and "
        "dates <'2004.05.30' ) and onglet='envoyes' group by site,substr(dates,1,10) ");
}

TEST(ReportBody, EveryLineEndedByCrLfAndNoLineNoByte) {
    EXPECT_EQ(reportBody({}), "");
    EXPECT_EQ(reportBody({""}), "\r\n");
    EXPECT_EQ(reportBody({"a", fr("é")}), "a\r\n\xE9\r\n");
}
