// The show handler of the real window against the private servers: the password fall-back, the
// refusal of both passwords, the column ESCOMPTE, and the account summary of older and newer
// SETUP tables.
#include "ShownWindow.h"
#include "StartupFolder.h"

#include "ConnectionSecrets.h"
#include "FirebirdClient.h"
#include "Windows1252.h"

#include <QString>
#include <QTimer>

#include <optional>

using namespace halvio;
using namespace halvio::test;

namespace {

const char* const kConnecting = "Tentative de connection à votre serveur";
const char* const kGivingUp = "Echec lors de la connection à votre serveur";

// The lines that the client library's refusal of this password adds to the log.
std::vector<std::string> refusalLines(const StartupFolder& folder, const char* password) {
    platform::FbAttachment attachment;
    try {
        attachment.attach(folder.databaseName(), "sysdba", password);
    } catch (const platform::DatabaseError& error) {
        std::vector<std::string> lines;
        for (const QString& line : QString::fromStdString(utf8FromCp1252(error.what())).split('\n'))
            lines.push_back(line.toStdString());
        return lines;
    }
    ADD_FAILURE() << "the server accepted " << password;
    return {};
}

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> lines;
    for (const auto& part : parts)
        lines.insert(lines.end(), part.begin(), part.end());
    return lines;
}

// The summary of the settings row that StartupFolder writes, with NOM CHAR(60).
const std::vector<std::string> kDefaultSummary{
    "Connecté.", "Compte:VX1042    ", "Enregistré à :Clinique du Vieux-Port" + std::string(60 - 22, ' ')};

using FormShow = ShownWindow;

} // namespace

TEST_F(FormShow, AServerAcceptingOnlyTheFallBackPasswordLogsTheFirstRefusalAndGoesOn) {
    StartupFolder folder(fallbackServer());
    ASSERT_NO_FATAL_FAILURE(showWindow(folder));

    EXPECT_EQ(logLines(), joined({{kConnecting, folder.databaseName()},
                                  refusalLines(folder, secrets::kFirstDatabasePassword),
                                  kDefaultSummary}));
    EXPECT_TRUE(startEnabled());
    EXPECT_TRUE(countdownStarted);
    EXPECT_EQ(clientMajCaption(), "2004.03.07");
    EXPECT_TRUE(folder.setupHasColumn("ESCOMPTE"));
    EXPECT_TRUE(crashMessages.empty()) << crashMessages.front();
}

TEST_F(FormShow, BothPasswordsRefusedEndTheShowWithNothingStarted) {
    StartupFolder folder(refusingServer());
    ASSERT_NO_FATAL_FAILURE(showWindow(folder));

    EXPECT_EQ(logLines(), joined({{kConnecting, folder.databaseName()},
                                  refusalLines(folder, secrets::kFirstDatabasePassword),
                                  refusalLines(folder, secrets::kFallbackDatabasePassword),
                                  {kGivingUp}}));
    EXPECT_FALSE(startEnabled());
    EXPECT_FALSE(countdownStarted);
    EXPECT_EQ(clientMajCaption(), "clientmaj");
    EXPECT_FALSE(form->model.IB.isOpen());
    EXPECT_TRUE(crashMessages.empty()) << crashMessages.front();
}

TEST_F(FormShow, AMissingEscompteColumnIsAddedWithoutALogLine) {
    StartupFolder folder(mainServer());
    ASSERT_FALSE(folder.setupHasColumn("ESCOMPTE"));
    ASSERT_NO_FATAL_FAILURE(showWindow(folder));

    EXPECT_EQ(logLines(), joined({{kConnecting, folder.databaseName()}, kDefaultSummary}));
    EXPECT_EQ(
        folder.queryValue("select f.rdb$field_precision || ',' || f.rdb$field_scale from "
                          "rdb$relation_fields r join rdb$fields f on f.rdb$field_name = r.rdb$field_source "
                          "where r.rdb$relation_name = 'SETUP' and r.rdb$field_name = 'ESCOMPTE'"),
        "9,-2");
    EXPECT_TRUE(countdownStarted);
    EXPECT_TRUE(crashMessages.empty()) << crashMessages.front();
}

TEST_F(FormShow, AnEscompteColumnAlreadyThereKeepsItsValue) {
    StartupFolder folder(mainServer(), {.nomWidth = 60, .withEscompte = true});
    folder.execute({"update setup set escompte = 12.5"});
    const std::string before = folder.queryValue("select escompte from setup");
    ASSERT_NE(before, "<null>");
    ASSERT_NO_FATAL_FAILURE(showWindow(folder));

    EXPECT_EQ(folder.queryValue("select escompte from setup"), before);
    EXPECT_EQ(logLines(), joined({{kConnecting, folder.databaseName()}, kDefaultSummary}));
    EXPECT_TRUE(countdownStarted);
    EXPECT_TRUE(crashMessages.empty()) << crashMessages.front();
}

TEST_F(FormShow, AnEscompteColumnThatAnotherWorkstationIsAddingIsNoFailure) {
    StartupFolder folder(mainServer());
    OtherConnection otherWorkstation(folder.databaseName(), folder.server().password);
    otherWorkstation.execute("alter table setup add escompte numeric(9,2)");
    QTimer commitLater; // destroyed before the connection, so that it never fires after it
    commitLater.setSingleShot(true);
    QObject::connect(&commitLater, &QTimer::timeout, [&] { otherWorkstation.commit(); });
    commitLater.start(1500);
    ASSERT_NO_FATAL_FAILURE(showWindow(folder));

    EXPECT_TRUE(crashMessages.empty()) << crashMessages.front();
    EXPECT_FALSE(otherWorkstation.inTransaction()) << "the start did not wait for the other workstation";
    EXPECT_TRUE(folder.setupHasColumn("ESCOMPTE"));
    EXPECT_EQ(logLines(), joined({{kConnecting, folder.databaseName()}, kDefaultSummary}));
    EXPECT_TRUE(countdownStarted);
}

TEST_F(FormShow, AnEmptySetupIsNotTakenForAMissingEscompteColumn) {
    StartupFolder folder(mainServer(), {.nomWidth = 60, .withEscompte = true});
    folder.execute({"delete from setup"});
    ASSERT_NO_FATAL_FAILURE(showWindow(folder));

    for (const std::string& message : crashMessages)
        EXPECT_EQ(message.find("ESCOMPTE"), std::string::npos) << message;
    EXPECT_TRUE(folder.setupHasColumn("ESCOMPTE"));
}

namespace {

struct SummaryCase {
    const char* name;
    int nomWidth;
    const char* nom; // UTF-8
    const char* client;
    std::optional<const char*> maj;
    const char* clientMaj;
};

std::string padded(const char* text, size_t width) {
    return text + std::string(width - cp1252FromUtf8(text).size(), ' ');
}

class FormShowSummary : public ShownWindow, public ::testing::WithParamInterface<SummaryCase> {};

} // namespace

TEST_P(FormShowSummary, ShowsTheAccountAsStored) {
    const SummaryCase& c = GetParam();
    StartupFolder folder(mainServer(), {.nomWidth = c.nomWidth});
    folder.execute({"update setup set nom = '" + cp1252FromUtf8(c.nom) + "', client = '" + c.client +
                    "', maj = " + (c.maj ? "'" + std::string(*c.maj) + "'" : std::string("null"))});
    ASSERT_NO_FATAL_FAILURE(showWindow(folder));

    EXPECT_EQ(logLines(), (std::vector<std::string>{kConnecting, folder.databaseName(), "Connecté.",
                                                    "Compte:" + padded(c.client, 10),
                                                    "Enregistré à :" + padded(c.nom, c.nomWidth)}));
    EXPECT_EQ(clientMajCaption(), c.clientMaj);
    EXPECT_TRUE(startEnabled());
    EXPECT_TRUE(countdownStarted);
    EXPECT_TRUE(crashMessages.empty()) << crashMessages.front();
}

INSTANTIATE_TEST_SUITE_P(Settings, FormShowSummary,
                         ::testing::Values(SummaryCase{"FortyWideNom", 40, "Clinique Sainte-Émilie", "VX1042",
                                                       "2004-03-07 15:04:05", "2004.03.07"},
                                           SummaryCase{"NoExchangeYet", 60, "Centre Vétérinaire Ouest",
                                                       "ABCDEFGHIJ", std::nullopt, ""},
                                           SummaryCase{"ShortClientAtMidnight", 40, "C", "7",
                                                       "2023-12-31 00:00:00", "2023.12.31"}),
                         [](const ::testing::TestParamInfo<SummaryCase>& info) {
                             return std::string(info.param.name);
                         });
