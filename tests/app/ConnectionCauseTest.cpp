// The French line that names why the clinic database could not be opened, from what the run knows:
// kliso.ini found or not, the connection name, and the fault of each attempt.
#include "ConnectionCause.h"

#include "Windows1252.h"

#include <gtest/gtest.h>

using namespace halvio;
using platform::DatabaseFault;

namespace {

TEST(ConnectionCause, SplitsTheConnectionNameIntoServerAndPath) {
    const std::pair<const char*, ConnectionTarget> cases[] = {
        {"srv:c:\\clinique\\kliso.ib", {"srv", "c:\\clinique\\kliso.ib"}},
        {"127.0.0.1/3051:/data/kliso.ib", {"127.0.0.1/3051", "/data/kliso.ib"}},
        {"localhost:kliso.ib", {"localhost", "kliso.ib"}},
        {"d:\\data\\kliso.ib", {"", "d:\\data\\kliso.ib"}}, // a drive, not a server
        {"/var/halvio/kliso.ib", {"", "/var/halvio/kliso.ib"}},
        {"[::1]/3051:/data/kliso.ib", {"[::1]/3051", "/data/kliso.ib"}},
        {"srv:", {"srv", ""}},
        {"", {"", ""}},
    };
    for (const auto& [name, target] : cases)
        EXPECT_EQ(connectionTarget(name), target) << name;
}

struct CauseCase {
    const char* what;
    bool iniFound;
    const char* connectionName;
    std::vector<DatabaseFault> faults;
    const char* line; // UTF-8
};

TEST(ConnectionCause, NamesTheLikelyCauseOfTheFailure) {
    const CauseCase cases[] = {
        {"no kliso.ini outweighs whatever the default name met",
         false,
         "localhost:kliso.ib",
         {DatabaseFault::ServerUnreachable, DatabaseFault::ServerUnreachable},
         "Cause probable : aucun fichier kliso.ini dans le dossier du programme (/opt/halvio/)."},
        {"DATABASE empty",
         true,
         "srv:",
         {DatabaseFault::Other, DatabaseFault::Other},
         "Cause probable : kliso.ini ne nomme aucune base de données (la clé DATABASE est vide)."},
        {"both SERVEUR and DATABASE empty",
         true,
         "",
         {DatabaseFault::FileNotFound, DatabaseFault::LoginRefused},
         "Cause probable : kliso.ini ne nomme aucune base de données (la clé DATABASE est vide)."},
        {"wrong path: the fall-back password's refusal says nothing of it",
         true,
         "srv:c:\\x\\kliso.ib",
         {DatabaseFault::FileNotFound, DatabaseFault::LoginRefused},
         "Cause probable : fichier de base de données introuvable (c:\\x\\kliso.ib sur le serveur srv)."},
        {"wrong path found by the fall-back password",
         true,
         "srv:c:\\x\\kliso.ib",
         {DatabaseFault::LoginRefused, DatabaseFault::FileNotFound},
         "Cause probable : fichier de base de données introuvable (c:\\x\\kliso.ib sur le serveur srv)."},
        {"a local file not found",
         true,
         "/data/kliso.ib",
         {DatabaseFault::FileNotFound, DatabaseFault::FileNotFound},
         "Cause probable : fichier de base de données introuvable (/data/kliso.ib)."},
        {"a file the server cannot open",
         true,
         "srv/3051:/data",
         {DatabaseFault::FileNotOpened, DatabaseFault::LoginRefused},
         "Cause probable : le fichier de base de données ne peut pas être ouvert (/data sur le serveur "
         "srv/3051)."},
        {"both passwords refused",
         true,
         "srv:c:\\x\\kliso.ib",
         {DatabaseFault::LoginRefused, DatabaseFault::LoginRefused},
         "Cause probable : mot de passe refusé par le serveur srv."},
        {"server unreachable",
         true,
         "clinique-serveur:c:\\x\\kliso.ib",
         {DatabaseFault::ServerUnreachable, DatabaseFault::ServerUnreachable},
         "Cause probable : le serveur de base de données clinique-serveur ne répond pas."},
        {"the local engine unavailable",
         true,
         "/data/kliso.ib",
         {DatabaseFault::ServerUnreachable, DatabaseFault::Other},
         "Cause probable : le moteur de base de données local n'a pas pu être chargé."},
        {"nothing the codes can tell",
         true,
         "srv:/data/kliso.ib",
         {DatabaseFault::Other, DatabaseFault::Other},
         "Cause non reconnue : voir la réponse du serveur."},
    };
    for (const CauseCase& c : cases) {
        const ConnectionSituation situation{c.iniFound, "/opt/halvio/", c.connectionName};
        EXPECT_EQ(utf8FromCp1252(connectionFailureLine(situation, c.faults)), c.line) << c.what;
    }
}

TEST(ConnectionCause, TellsOfAFirstAttemptThatTheSecondMadeUpFor) {
    const ConnectionSituation situation{true, "/opt/halvio/", "127.0.0.1/3051:/data/kliso.ib"};
    EXPECT_EQ(utf8FromCp1252(firstAttemptFailureLine(situation, DatabaseFault::LoginRefused)),
              "Premier essai sans succès : mot de passe refusé par le serveur 127.0.0.1/3051.");
    EXPECT_EQ(utf8FromCp1252(firstAttemptFailureLine(situation, DatabaseFault::Other)),
              "Premier essai sans succès.");
}

TEST(ConnectionCause, KeepsTheServersTextOnOneDetailLine) {
    EXPECT_EQ(
        utf8FromCp1252(serverDetailLine("I/O error during \"open\" operation for file \"/x\"\n"
                                        "-Error while trying to open file\n-No such file or directory")),
        "Réponse du serveur : I/O error during \"open\" operation for file \"/x\" "
        "-Error while trying to open file -No such file or directory");
}

} // namespace
