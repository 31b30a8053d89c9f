// The show handler of the real window against the private servers: the password fall-back, the
// refusal of both passwords, the column ESCOMPTE, and the account summary of older and newer
// SETUP tables.
#include "ShownWindow.h"
#include "StartupFolder.h"

#include "ConnectionSecrets.h"
#include "Files.h"
#include "FirebirdClient.h"
#include "LoopbackHttpServer.h"
#include "Windows1252.h"

#include <QString>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

using namespace halvio;
using namespace halvio::test;

namespace {

const char* const kConnecting = "Tentative de connection à votre serveur";
const char* const kGivingUp = "Echec lors de la connection à votre serveur";

// The server's text for this connection name and password, as the detail line after the cause.
std::string serverDetail(const std::string& connectionName, const char* password) {
    platform::FbAttachment attachment;
    try {
        attachment.attach(connectionName, "sysdba", password);
    } catch (const platform::DatabaseError& error) {
        std::string text = error.what();
        std::replace(text.begin(), text.end(), '\n', ' ');
        return "Réponse du serveur : " + utf8FromCp1252(text);
    }
    ADD_FAILURE() << "the server accepted " << password;
    return {};
}

// The host part of a private server's connection names, "127.0.0.1/PORT".
std::string hostOf(const StartupFolder& folder) {
    return folder.server().host;
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

    EXPECT_EQ(logLines(), joined({{kConnecting, folder.databaseName(),
                                   "Premier essai sans succès : mot de passe refusé par le serveur " +
                                       hostOf(folder) + ".",
                                   serverDetail(folder.databaseName(), secrets::kFirstDatabasePassword)},
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

    // Both refusals have the same text: it is shown once.
    ASSERT_EQ(serverDetail(folder.databaseName(), secrets::kFirstDatabasePassword),
              serverDetail(folder.databaseName(), secrets::kFallbackDatabasePassword));
    EXPECT_EQ(logLines(),
              (std::vector<std::string>{
                  kConnecting, folder.databaseName(),
                  "Cause probable : mot de passe refusé par le serveur " + hostOf(folder) + ".",
                  serverDetail(folder.databaseName(), secrets::kFirstDatabasePassword), kGivingUp}));
    EXPECT_FALSE(startEnabled());
    EXPECT_FALSE(countdownStarted);
    EXPECT_EQ(clientMajCaption(), "") << "no internal name is shown";
    EXPECT_FALSE(form->model.IB.isOpen());
    EXPECT_TRUE(crashMessages.empty()) << crashMessages.front();
}

namespace {

struct FailureCase {
    const char* what;
    // kliso.ini's lines for the folder; nothing when there is no kliso.ini.
    std::function<std::optional<std::string>(const StartupFolder&)> klisoIni;
    std::function<std::string(const StartupFolder&)> connectionName;
    std::function<std::string(const StartupFolder&)> cause; // UTF-8
};

} // namespace

TEST_F(FormShow, AFailedConnectionNamesItsLikelyCauseWithTheServersTextsAsDetails) {
    const std::string closedPort = std::to_string(LoopbackHttpServer::closedPort());
    const FailureCase cases[] = {
        {"no kliso.ini", [](const StartupFolder&) { return std::nullopt; },
         [](const StartupFolder&) { return std::string("localhost:kliso.ib"); },
         [](const StartupFolder& f) {
             return "Cause probable : aucun fichier kliso.ini dans le dossier du programme (" + f.path() +
                    "/).";
         }},
        {"a wrong DATABASE path",
         [](const StartupFolder& f) {
             return "SERVEUR=" + f.server().host + "\r\nDATABASE=" + f.file("absente.ib") + "\r\n";
         },
         [](const StartupFolder& f) { return f.server().host + ":" + f.file("absente.ib"); },
         [](const StartupFolder& f) {
             return "Cause probable : fichier de base de données introuvable (" + f.file("absente.ib") +
                    " sur le serveur " + f.server().host + ").";
         }},
        {"no server at SERVEUR",
         [&](const StartupFolder& f) {
             return "SERVEUR=127.0.0.1/" + closedPort + "\r\nDATABASE=" + f.file("kliso.ib") + "\r\n";
         },
         [&](const StartupFolder& f) { return "127.0.0.1/" + closedPort + ":" + f.file("kliso.ib"); },
         [&](const StartupFolder&) {
             return "Cause probable : le serveur de base de données 127.0.0.1/" + closedPort +
                    " ne répond pas.";
         }},
        {"DATABASE empty",
         [](const StartupFolder& f) { return "SERVEUR=" + f.server().host + "\r\nDATABASE=\r\n"; },
         [](const StartupFolder& f) { return f.server().host + ":"; },
         [](const StartupFolder&) {
             return std::string(
                 "Cause probable : kliso.ini ne nomme aucune base de données (la clé DATABASE est vide).");
         }},
        {"a folder where the database should be",
         [](const StartupFolder& f) {
             return "SERVEUR=" + f.server().host + "\r\nDATABASE=" + f.path() + "\r\n";
         },
         [](const StartupFolder& f) { return f.server().host + ":" + f.path(); },
         [](const StartupFolder& f) {
             return "Cause probable : le fichier de base de données ne peut pas être ouvert (" + f.path() +
                    " sur le serveur " + f.server().host + ").";
         }},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.what);
        StartupFolder folder(mainServer());
        std::remove(folder.file("kliso.ini").c_str());
        if (const std::optional<std::string> ini = c.klisoIni(folder))
            platform::writeWholeFile(folder.file("kliso.ini"), *ini);
        ASSERT_NO_FATAL_FAILURE(showWindow(folder));

        const std::vector<std::string> lines = logLines();
        ASSERT_GE(lines.size(), 5u);
        ASSERT_LE(lines.size(), 6u);
        EXPECT_EQ(lines[0], kConnecting);
        EXPECT_EQ(lines[1], c.connectionName(folder));
        EXPECT_EQ(lines[2], c.cause(folder));
        // Each server text (one when both attempts got the same) only as a detail.
        for (size_t i = 3; i + 1 < lines.size(); ++i)
            EXPECT_EQ(lines[i].rfind("Réponse du serveur : ", 0), 0u) << lines[i];
        EXPECT_EQ(lines.back(), kGivingUp);
        EXPECT_FALSE(startEnabled());
        EXPECT_EQ(clientMajCaption(), "");
        EXPECT_TRUE(crashMessages.empty());
    }
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

// Without a settings row the start ends as it always has once the column is there; the column is
// told present or added all the same.
TEST_F(FormShow, AnEmptySetupIsNotTakenForAMissingEscompteColumn) {
    for (const bool withEscompte : {true, false}) {
        SCOPED_TRACE(withEscompte ? "column present" : "column missing");
        StartupFolder folder(mainServer(), {.nomWidth = 60, .withEscompte = withEscompte});
        folder.execute({"delete from setup"});
        ASSERT_NO_FATAL_FAILURE(showWindow(folder));

        for (const std::string& message : crashMessages)
            EXPECT_EQ(message.find("ESCOMPTE"), std::string::npos) << message;
        EXPECT_TRUE(folder.setupHasColumn("ESCOMPTE"));
        form.reset();
        crashMessages.clear();
    }
}

// Another workstation holds the settings row in an open transaction while this one starts: the
// column's presence comes from the system tables, the settings are read as last committed, and
// the start goes on without waiting for that transaction.
TEST_F(FormShow, ASettingsRowLockedByAnotherWorkstationIsNoMissingColumn) {
    for (const bool withEscompte : {true, false}) {
        SCOPED_TRACE(withEscompte ? "column present" : "column missing");
        StartupFolder folder(mainServer(), {.nomWidth = 60, .withEscompte = withEscompte});
        OtherConnection otherWorkstation(folder.databaseName(), folder.server().password);
        otherWorkstation.execute("update setup set nom = 'En cours de saisie', client = 'AUTRE'");
        ASSERT_NO_FATAL_FAILURE(showWindow(folder));

        EXPECT_TRUE(crashMessages.empty()) << crashMessages.front();
        EXPECT_EQ(logLines(), joined({{kConnecting, folder.databaseName()}, kDefaultSummary}));
        EXPECT_TRUE(countdownStarted);
        EXPECT_TRUE(otherWorkstation.inTransaction()) << "the other workstation's transaction was ended";
        otherWorkstation.rollback();
        EXPECT_TRUE(folder.setupHasColumn("ESCOMPTE"));
        form.reset();
        crashMessages.clear();
    }
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
