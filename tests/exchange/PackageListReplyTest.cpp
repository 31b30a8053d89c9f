// The package list reply applied to a real clinic database.
#include "PackageListReply.h"
#include "ExchangeFixture.h"
#include "Files.h"
#include "Fonction.h"
#include "TextLines.h"
#include "Windows1252.h"

using namespace halvio;
using halvio::test::ExchangeFixture;

namespace {
const DateTime kNow{2004, 5, 20, 8, 30, 5};

class ReplyFixture : public ExchangeFixture {
protected:
    void SetUp() override {
        createClinic(
            {"insert into setup (nom, client, maj, escompte, dsq_eventprefix) values ('Ancien nom', 'C1', "
             "'2004-01-02 03:04:05', 3, 11)",
             "insert into md (id, actif) values (3, 0)",
             "insert into maj (nom, dates) values ('HALVIO', '2004.05.12 10:22:33')"});
        openClinic();
        context.Button3Click = [this] {
            ++transfers;
            for (size_t i = 0; i < model.tmem.rowCount(); ++i)
                namesAtTransfer.push_back(model.tmem.row(i).NOM);
        };
    }

    // As in a run: TSETUP open, the site select left open on IBSQL1.
    void apply(std::string_view reply) {
        model.OpenSetup();
        model.ExecSql("select * from site ");
        applyPackageListReply(context, reply, [] { return kNow; });
    }

    std::vector<std::string> tmemNames() const {
        std::vector<std::string> names;
        for (size_t i = 0; i < model.tmem.rowCount(); ++i)
            names.push_back(model.tmem.row(i).NOM);
        return names;
    }

    std::vector<std::string> setupRow() const {
        return clinicRows("select nom, nomx, escompte, dsq_eventprefix, maj from setup").at(0);
    }

    int transfers = 0;
    std::vector<std::string> namesAtTransfer;
};
} // namespace

TEST_F(ReplyFixture, SettingsAndStatementsAreCommittedTogetherBeforeTheSelection) {
    // The statement that removes HALVIO from MAJ is applied before HALVIO's date is compared.
    apply("nom=Clinique du Parc|escompte=15|ID=47\r\n"
          "|update md set actif=1 where id=3|update nowhere set x=1|delete from maj where nom='HALVIO'||\r\n"
          "nom=HALVIO|dates=2004.01.01 00:00:00|taille=812|description=Programme\r\n");
    EXPECT_EQ(setupRow(), (std::vector<std::string>{"Clinique du Parc" + std::string(44, ' '),
                                                    "Clinique du Parc", "15", "47", "2004.01.02 03:04:05"}));
    EXPECT_EQ(clinicValue("select actif from md where id=3"), "1");
    EXPECT_EQ(tmemNames(), std::vector<std::string>{"HALVIO"});
    EXPECT_FALSE(model.IBTransaction1.isActive());
}

TEST_F(ReplyFixture, AFailingFirstStatementDoesNotStopTheSecond) {
    apply("nom=N|escompte=|ID=1\r\nupdate md set nope=1|update md set actif=2\r\n");
    EXPECT_EQ(clinicValue("select actif from md"), "2");
    EXPECT_EQ(setupRow()[2], "0");
    EXPECT_EQ(view.log.size(), 2u) << "a skipped statement says nothing";
}

TEST_F(ReplyFixture, DiscountAndNameAsTheSettingsLineHasThem) {
    struct Case {
        std::string settings;
        std::vector<std::string> row;
    };
    const std::vector<Case> cases = {
        {"nom=Clinique|escompte=15|ID=47", {"Clinique", "Clinique", "15", "47"}},
        {"ID=48|escompte= 7.5 |NOM=L'Abri |nom=second", {"L'Abri", "L'Abri ", "7.5", "48"}},
        {"id= 49 |Escompte=", {"", "", "0", "49"}},
        // The widest that the columns hold; blanks beyond NOMX's width are dropped without a fault.
        {"nom=" + std::string(40, 'N') + "     |escompte=9999999.994|ID=50",
         {std::string(40, 'N'), std::string(40, 'N'), "9999999.99", "50"}},
        {"nom=P|escompte=-1234567.12345678901|ID=51", {"P", "P", "-1234567.12", "51"}},
    };
    for (const Case& c : cases) {
        apply(c.settings + "\r\n\r\n");
        std::vector<std::string> row = setupRow();
        row[0] = Trimmed(row[0]); // CHAR(60)
        row.pop_back();
        EXPECT_EQ(row, c.row) << c.settings;
    }
}

TEST_F(ReplyFixture, OnlyNewerPackagesFillTmemSortedWithTheirAnnouncedSizes) {
    test::execute(clinic, server.password,
                  {"insert into maj (nom, dates) values ('SAME', '2004.05.12 10:22:33')",
                   "insert into maj (nom, dates) values ('OLDER', '2004.05.12 10:22:33')",
                   "insert into maj (nom, dates) values ('PREFIX', '2004.05.12 10:22:33')",
                   "insert into maj (nom, dates) values ('Sql_a', '2004.05.12 10:22:33')",
                   "insert into maj (nom, dates) values ('NODATE', '2003.01.01 00:00:00')"});
    apply("nom=X|escompte=|ID=1\r\n\r\n"
          "nom=sql_b|dates=2004.05.13 08:00:00|taille=100|description=B\r\n"
          "nom=SAME|dates=2004/05/12 10:22:33|taille=1\r\n"
          "nom=HALVIO|dates=2004/05/13 08:00:00|taille=812|description=Nouvelle version\r\n"
          "nom=OLDER|dates=2004.05.11 23:59:59|taille=1\r\n"
          "\r\n"
          "   \r\n"
          "nom=PREFIX|dates=2004.05.12|taille=1\r\n"
          "nom=Sql_a|dates=2004.05.12 10:22:34|taille= 150 |description=A\r\n"
          "nom=NEW|dates=2001.01.01 00:00:00|taille=7\r\n"
          "nom=NODATE|taille=1\r\n"
          "nom=ABSENT|taille=1\r\n"
          "nom=HALVIO|dates=2004.06.01 00:00:00|taille=20|description=Encore\r\n");

    EXPECT_EQ(tmemNames(), (std::vector<std::string>{"HALVIO", "HALVIO", "NEW", "Sql_a", "sql_b"}));
    EXPECT_EQ(namesAtTransfer, tmemNames()) << "the transfer finds tmem sorted";
    EXPECT_EQ(transfers, 1);
    const PackageRow& halvio =
        model.tmem.row(0).DATES == "2004/05/13 08:00:00" ? model.tmem.row(0) : model.tmem.row(1);
    EXPECT_EQ(halvio.DATES, "2004/05/13 08:00:00") << "kept as received";
    EXPECT_EQ(halvio.TAILLE, 812);
    EXPECT_EQ(halvio.DESCRIPTION, "Nouvelle version");
    EXPECT_EQ(halvio.etat, "");
    EXPECT_EQ(model.tmem.row(3).TAILLE, 150);
    EXPECT_EQ(view.gaugeMaximum(GaugeId::AllFiles), 812 + 20 + 7 + 150 + 100);

    EXPECT_EQ(view.logUtf8(),
              (std::vector<std::string>{"Récupération de la liste des mises à jour...",
                                        "Mise à jour terminer. fermeture dans 10 secondes."}));
    EXPECT_TRUE(view.panels[PanelId::EndPanel]);
    EXPECT_TRUE(view.closeTimerStarted);
    EXPECT_EQ(setupRow()[4], "2004.01.02 03:04:05") << "the transfer stamps SETUP, not the reply";
    EXPECT_EQ(clinicValue("select count(*) from maj"), "6") << "the look-ups are rolled back";
}

TEST_F(ReplyFixture, NothingNewerEndsTheRunAndStampsSetup) {
    view.setGaugeProgress(GaugeId::CurrentFile, 40);
    apply("nom=X|escompte=|ID=1\r\nupdate md set actif=5\r\n");
    EXPECT_EQ(transfers, 0);
    EXPECT_EQ(model.tmem.rowCount(), 0u);
    EXPECT_EQ(view.logUtf8(), (std::vector<std::string>{"Récupération de la liste des mises à jour...",
                                                        "Tous vos fichiers sont à date!"}));
    EXPECT_TRUE(view.panels[PanelId::EndPanel]);
    EXPECT_EQ(view.gaugeProgress(GaugeId::CurrentFile), 0);
    EXPECT_TRUE(view.closeTimerStarted);
    EXPECT_EQ(setupRow()[4], "2004.05.20 08:30:05");
    EXPECT_EQ(clinicValue("select actif from md"), "5");
    EXPECT_FALSE(model.IBTransaction1.isActive());
}

TEST_F(ReplyFixture, AnyLineEndReadsTheSameAndTestTxtKeepsTheReplyWithCrLf) {
    const std::vector<std::string> lines = {"nom=Parc|escompte=2|ID=9", "update md set actif=7",
                                            "nom=NEW|dates=2004.01.01 00:00:00|taille=5", "",
                                            "nom=HALVIO|dates=2004.05.13 00:00:00|taille=6"};
    for (const char* end : {"\r\n", "\n", "\r"}) {
        std::string reply;
        for (const auto& line : lines)
            reply += line + end;
        reply.pop_back(); // the last line without its break counts too
        if (std::string_view(end) == "\r\n")
            reply.pop_back();
        test::RecordingView fresh;
        Model other(fresh);
        other.IB.setConnectionName(clinic);
        other.IB.setPassword(server.password);
        other.IB.open();
        RunContext run{fresh, other, http, httplocal, uz, context.programFile, context.programFolder,
                       0,     {},    {},   {}};
        int transferred = 0;
        run.Button3Click = [&] { ++transferred; };
        other.OpenSetup();
        applyPackageListReply(run, reply, [] { return kNow; });

        EXPECT_EQ(other.tmem.rowCount(), 2u) << int(end[0]);
        EXPECT_EQ(transferred, 1);
        EXPECT_EQ(clinicValue("select actif from md"), "7");
        EXPECT_EQ(platform::readWholeFile(programFolder.file("test.txt")),
                  "nom=Parc|escompte=2|ID=9\r\nupdate md set actif=7\r\nnom=NEW|dates=2004.01.01 "
                  "00:00:00|taille=5\r\n"
                  "\r\nnom=HALVIO|dates=2004.05.13 00:00:00|taille=6\r\n");
        test::execute(clinic, server.password, {"update md set actif=0"});
    }
}

namespace {
struct MalformedReply {
    const char* name;
    std::string reply;
    std::string named; // the fault as the log names it
};

void PrintTo(const MalformedReply& m, std::ostream* os) {
    *os << m.name;
}

class MalformedReplyTest : public ReplyFixture, public ::testing::WithParamInterface<MalformedReply> {};

// Every reply below would change SETUP and MD and offer a package, were it applied.
const char* kStatements = "update md set actif=9\r\nnom=NEW|dates=2004.09.09 00:00:00|taille=5\r\n";
} // namespace

TEST_P(MalformedReplyTest, IsLoggedAndLeavesTheDatabaseUntouched) {
    const MalformedReply& m = GetParam();
    const auto before = setupRow();
    apply(m.reply);

    EXPECT_EQ(setupRow(), before);
    EXPECT_EQ(clinicValue("select actif from md"), "0");
    EXPECT_EQ(clinicValue("select count(*) from maj"), "1");
    EXPECT_EQ(model.tmem.rowCount(), 0u);
    EXPECT_EQ(transfers, 0);
    const auto log = view.logUtf8();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "Récupération de la liste des mises à jour...");
    EXPECT_EQ(log[1].rfind("Réponse du serveur de mise à jour invalide : ", 0), 0u) << log[1];
    EXPECT_NE(log[1].find(m.named), std::string::npos) << log[1];
    EXPECT_TRUE(view.panels[PanelId::EndPanel]);
    EXPECT_TRUE(view.closeTimerStarted);
    EXPECT_EQ(platform::readWholeFile(programFolder.file("test.txt")), joinCrLfLines(splitLines(m.reply)));
}

INSTANTIATE_TEST_SUITE_P(
    PackageListReply, MalformedReplyTest,
    ::testing::Values(
        MalformedReply{"Empty", "", "moins de deux lignes"},
        MalformedReply{"OneLine", "nom=Changed|escompte=1|ID=2\r\n", "moins de deux lignes"},
        MalformedReply{"EscompteNotANumber", std::string("nom=Changed|escompte=dix|ID=2\r\n") + kStatements,
                       "escompte \"dix\""},
        MalformedReply{"IdNotANumber", std::string("nom=Changed|escompte=1|ID=4a\r\n") + kStatements,
                       "ID \"4a\""},
        MalformedReply{"IdMissing", std::string("nom=Changed|escompte=1\r\n") + kStatements, "ID \"\""},
        MalformedReply{"TailleNotWhole",
                       std::string("nom=Changed|escompte=1|ID=2\r\n") + kStatements +
                           "nom=BAD|dates=2004.09.09|taille=1.5\r\n",
                       "taille \"1.5\" du paquet \"BAD\""},
        MalformedReply{"TailleBeyond32Bits",
                       std::string("nom=Changed|escompte=1|ID=2\r\n") + kStatements +
                           "nom=BIG|dates=2004.09.09|taille=4294967296\r\n",
                       "taille \"4294967296\" du paquet \"BIG\""},
        // Values that passed the check once and then failed half-way through the run, in SQL or
        // in the gauge, or were stored cut and fetched again on every run.
        MalformedReply{"TailleNegative",
                       std::string("nom=Changed|escompte=1|ID=2\r\n") + kStatements +
                           "nom=NEG|dates=2004.09.09|taille=-812\r\n",
                       "taille \"-812\" du paquet \"NEG\" est négative"},
        MalformedReply{"DatesWiderThanMaj",
                       std::string("nom=Changed|escompte=1|ID=2\r\n") + kStatements +
                           "nom=WIDE|dates=2004.09.09 00:00:00 +02:00|taille=1\r\n",
                       "date \"2004.09.09 00:00:00 +02:00\" du paquet \"WIDE\" dépasse 20 caractères"},
        MalformedReply{"PackageNameWiderThanMaj",
                       std::string("nom=Changed|escompte=1|ID=2\r\n") + kStatements +
                           "nom=" + std::string(101, 'W') + "|dates=2004.09.09|taille=1\r\n",
                       "nom du paquet \"" + std::string(101, 'W') + "\" dépasse 100 caractères"},
        MalformedReply{"NameWiderThanSetup",
                       "nom=" + std::string(41, 'C') + "|escompte=1|ID=2\r\n" + kStatements,
                       "nom \"" + std::string(41, 'C') + "\" dépasse 40 caractères"},
        MalformedReply{"EscompteRoundedBeyondTheColumn",
                       std::string("nom=Changed|escompte=9999999.995|ID=2\r\n") + kStatements,
                       "escompte \"9999999.995\" dépasse ce que la base de données peut enregistrer"},
        MalformedReply{"EscompteWithMoreDigitsThanFirebirdReads",
                       std::string("nom=Changed|escompte=1.123456789012|ID=2\r\n") + kStatements,
                       "escompte \"1.123456789012\" dépasse"},
        MalformedReply{"EscompteBeyondTheStoredInteger",
                       std::string("nom=Changed|escompte=21474836.48|ID=2\r\n") + kStatements,
                       "escompte \"21474836.48\" dépasse"}),
    [](const auto& info) { return std::string(info.param.name); });
