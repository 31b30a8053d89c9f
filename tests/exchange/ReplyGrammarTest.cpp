// The grammar of the package list reply and the newer-than rule.
#include "ReplyGrammar.h"
#include "Windows1252.h"

#include <gtest/gtest.h>

using namespace halvio;

TEST(ReplyFields, SplitAtEveryBarKeepingEmptyFields) {
    EXPECT_EQ(replyFields(""), std::vector<std::string>{""});
    EXPECT_EQ(replyFields("|a||b c |"), (std::vector<std::string>{"", "a", "", "b c ", ""}));
}

TEST(FieldValue, KeyBeforeFirstEqualsCaseIgnoredFirstWinsValueUntrimmed) {
    const auto fields = replyFields("NOM= Clinique =A |id=47|nom=second|dates|escompte=|x=y");
    struct Case {
        const char* key;
        const char* value;
    };
    for (const Case& c :
         {Case{"nom", " Clinique =A "}, Case{"Nom", " Clinique =A "}, Case{"ID", "47"}, Case{"escompte", ""},
          Case{"dates", ""}, Case{"taille", ""}, Case{"x=y", ""}, Case{"x", "y"}, Case{"", ""}})
        EXPECT_EQ(fieldValue(fields, c.key), c.value) << c.key;
    EXPECT_EQ(fieldValue(replyFields("=v|a=1"), ""), "v");
}

TEST(SettingsStatement, DiscountAfterAZeroAndIdAsSent) {
    EXPECT_EQ(
        settingsStatement("Clinique du Parc", "15", "47"),
        "update setup set nom='Clinique du Parc',nomx='Clinique du Parc',escompte=015,dsq_eventprefix=47");
    EXPECT_EQ(settingsStatement("", "", " 47"),
              "update setup set nom='',nomx='',escompte=0,dsq_eventprefix= 47");
    EXPECT_EQ(settingsStatement("L'Hôpital ", " 7.5 ", "-3"),
              "update setup set nom='L''Hôpital ',nomx='L''Hôpital ',escompte=07.5,dsq_eventprefix=-3");
}

TEST(ByteOrder, UnsignedBytesAndPrefixesFirst) {
    struct Case {
        std::string a, b;
        bool lower;
    };
    for (const Case& c :
         {Case{"", "", false}, Case{"", "a", true}, Case{"a", "", false}, Case{"ab", "abc", true},
          Case{"abc", "ab", false}, Case{"B", "a", true}, Case{"a", "B", false}, Case{"z", "\xE9", true},
          Case{"\xE9", "z", false}, Case{"\x7F", "\x80", true}})
        EXPECT_EQ(lowerInByteOrder(c.a, c.b), c.lower) << '[' << c.a << "] [" << c.b << ']';
}

TEST(IsPending, OfferedNewerThanInstalledSlashReadAsPoint) {
    const std::string installed = "2004.05.12 10:22:33 "; // MAJ.DATES comes back padded to 20
    struct Case {
        std::optional<std::string> installed;
        const char* offered;
        bool pending;
    };
    for (const Case& c :
         {Case{installed, "2004/05/12 10:22:33", false}, Case{installed, "2004.05.12 10:22:33", false},
          Case{installed, "2004.05.13 08:00:00", true}, Case{installed, "2004.05.11 23:59:59", false},
          Case{installed, "2004.05.12", false}, Case{installed, "2004/05/12 10:22:34", true},
          Case{std::string("2004/05/12 10:22:33"), "2004.05.12 10:22:34", true},
          Case{installed, "2004.05.12 10:22:33  ", true}, Case{installed, "", false},
          Case{std::string(), "2004.01.01", true}, Case{std::nullopt, "2004.01.01 00:00:00", true},
          Case{std::nullopt, "x", true}, Case{std::nullopt, "", false}})
        EXPECT_EQ(isPending(c.installed, c.offered), c.pending)
            << (c.installed ? *c.installed : "<no row>") << " / " << c.offered;
}

TEST(WholeNumber32, SignDigitsAndNothingElseWithinRange) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> value;
    };
    for (const Case& c :
         {Case{"0", 0}, Case{"812", 812}, Case{"+5", 5}, Case{"-5", -5}, Case{"007", 7},
          Case{"2147483647", 2147483647}, Case{"-2147483648", -2147483647 - 1},
          Case{"2147483648", std::nullopt}, Case{"-2147483649", std::nullopt},
          Case{"99999999999999999999", std::nullopt}, Case{"", std::nullopt}, Case{"-", std::nullopt},
          Case{" 5", std::nullopt}, Case{"5 ", std::nullopt}, Case{"12.5", std::nullopt},
          Case{"1e3", std::nullopt}, Case{"$FF", std::nullopt}, Case{"0x10", std::nullopt}})
        EXPECT_EQ(wholeNumber32(c.text), c.value) << c.text;
}

TEST(ReadPackageLine, FieldsByKeyTailleTrimmed) {
    const OfferedPackage p = readPackageLine(
        fr("description=Mise à jour de la base|taille= 182 |dates=2004/05/11 09:00:00|nom=SQL_2004_05"));
    EXPECT_EQ(p.nom, "SQL_2004_05");
    EXPECT_EQ(p.dates, "2004/05/11 09:00:00");
    EXPECT_EQ(p.taille, 182);
    EXPECT_EQ(p.description, fr("Mise à jour de la base"));
}

TEST(ReplyFault, AcceptsWhatTheRunCanApply) {
    const std::vector<std::vector<std::string>> good = {
        {"nom=Clinique|escompte=15|ID=47", ""},
        {"ID=1", "|"},
        {"nom=A|escompte=|ID= 47 ", "update md set actif=1", "", "   ", "nom=X|taille=0"},
        {"escompte= 7.5 |ID=+0", "", "nom=X|dates=2004.01.01|taille= 2147483647 "},
        {"escompte=1234567.99|ID=-2147483648", ""},
        {"escompte=0000001234567|ID=1", ""},
        // The widest texts and numbers that the columns hold.
        {"escompte=9999999.994|ID=1", ""},
        {"escompte=-9999999.99499999999|ID=1", ""},
        {"escompte=1.12345678901|ID=1", ""},
        {"nom=" + std::string(40, 'N') + "      |ID=1", ""},
        {"ID=1", "", "nom=" + std::string(100, 'P') + "   |dates=2004.05.12 10:22:33 |taille=+0"},
    };
    for (size_t i = 0; i < good.size(); ++i)
        EXPECT_EQ(replyFault(good[i]), std::nullopt) << "reply " << i;
}

TEST(ReplyFault, NamesTheFirstFault) {
    struct Case {
        std::vector<std::string> lines;
        std::string named;
    };
    const std::vector<Case> cases = {
        {{}, "moins de deux lignes"},
        {{"nom=A|escompte=1|ID=2"}, "moins de deux lignes"},
        {{"nom=A|escompte=abc|ID=2", ""}, "l'escompte \"abc\""},
        {{"nom=A|escompte=1,5|ID=2", ""}, "l'escompte \"1,5\""},
        {{"nom=A|escompte=1.|ID=2", ""}, "l'escompte \"1.\""},
        {{"nom=A|escompte=12345678|ID=2", ""}, "l'escompte \"12345678\""},
        {{"nom=A|escompte=1", ""}, "l'ID \"\""},
        {{"nom=A|ID=4a", ""}, "l'ID \"4a\""},
        {{"nom=A|ID=4.5", ""}, "l'ID \"4.5\""},
        {{"nom=A|ID=1;drop table maj", ""}, "l'ID \"1;drop table maj\""},
        {{"nom=A|ID=9999999999", ""}, "l'ID \"9999999999\""},
        {{"ID=1", "", "nom=OK|taille=1", "nom=BAD|dates=2004.01.01|taille=12.5"},
         "la taille \"12.5\" du paquet \"BAD\""},
        {{"ID=1", "", "nom=BIG|taille=3000000000"}, "la taille \"3000000000\" du paquet \"BIG\""},
        {{"ID=1", "", "nom=NONE|dates=2004.01.01"}, "la taille \"\" du paquet \"NONE\""},
        {{"escompte=x|ID=y", "", "nom=N|taille=z"}, "l'escompte \"x\""},
        // Numbers and texts that the columns do not hold.
        {{"ID=1", "", "nom=NEG|dates=2004.01.01|taille=-1"},
         "la taille \"-1\" du paquet \"NEG\" est négative."},
        {{"ID=1", "", "nom=NEG|taille= -2147483648 "},
         "la taille \" -2147483648 \" du paquet \"NEG\" est négative."},
        {{"ID=1", "", "nom=LONG|dates=2004.05.12 10:22:33  |taille=1"},
         "la date \"2004.05.12 10:22:33  \" du paquet \"LONG\" dépasse 20 caractères."},
        {{"ID=1", "", "nom=LONG|dates=2004.05.12 10:22:33.123|taille=1"},
         "la date \"2004.05.12 10:22:33.123\""},
        {{"ID=1", "", "nom=" + std::string(101, 'P') + "|taille=1"},
         "le nom du paquet \"" + std::string(101, 'P') + "\" dépasse 100 caractères."},
        {{"nom=" + std::string(41, 'N') + "|ID=1", ""},
         "le nom \"" + std::string(41, 'N') + "\" dépasse 40 caractères."},
        {{"nom= " + std::string(40, 'N') + "|ID=1", ""}, "le nom \" " + std::string(40, 'N') + "\""},
        {{"nom=A|escompte=9999999.995|ID=2", ""},
         "l'escompte \"9999999.995\" dépasse ce que la base de données peut enregistrer."},
        {{"nom=A|escompte=-9999999.995|ID=2", ""}, "l'escompte \"-9999999.995\" dépasse"},
        {{"nom=A|escompte=1.123456789012|ID=2", ""}, "l'escompte \"1.123456789012\" dépasse"},
        {{"nom=A|escompte=21474836.47|ID=2", ""}, "l'escompte \"21474836.47\" dépasse"},
    };
    for (const Case& c : cases) {
        const auto fault = replyFault(c.lines);
        ASSERT_TRUE(fault.has_value()) << c.named;
        const std::string text = utf8FromCp1252(*fault);
        EXPECT_EQ(text.rfind("Réponse du serveur de mise à jour invalide : ", 0), 0u) << text;
        EXPECT_NE(text.find(c.named), std::string::npos) << text;
        EXPECT_NE(text.find("Aucune mise à jour appliquée."), std::string::npos) << text;
    }
}
