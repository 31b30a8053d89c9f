#include "ConnectionCause.h"

#include "Windows1252.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace halvio {

namespace {
using platform::DatabaseFault;

// The path, and the server when there is one: "(path sur le serveur host)".
std::string named(const ConnectionTarget& target) {
    if (target.host.empty())
        return "(" + target.path + ")";
    return "(" + target.path + " sur le serveur " + target.host + ")";
}

// A file or server fault says more about the cause than a refused password, which says more than
// an unrecognised error.
int weight(DatabaseFault fault) {
    switch (fault) {
    case DatabaseFault::FileNotFound:
        return 4;
    case DatabaseFault::FileNotOpened:
        return 3;
    case DatabaseFault::ServerUnreachable:
        return 2;
    case DatabaseFault::LoginRefused:
        return 1;
    case DatabaseFault::Other:
        break;
    }
    return 0;
}

// The likely cause as a phrase, or nothing when the codes name none.
std::optional<std::string> likelyCause(const ConnectionSituation& situation,
                                       const std::vector<DatabaseFault>& faults) {
    if (!situation.klisoIniFound)
        return fr("aucun fichier kliso.ini dans le dossier du programme (") + situation.programFolder + ")";
    const ConnectionTarget target = connectionTarget(situation.connectionName);
    if (target.path.empty())
        return fr("kliso.ini ne nomme aucune base de données (la clé DATABASE est vide)");

    DatabaseFault fault = DatabaseFault::Other;
    for (DatabaseFault each : faults)
        if (weight(each) > weight(fault))
            fault = each;
    switch (fault) {
    case DatabaseFault::FileNotFound:
        return fr("fichier de base de données introuvable ") + named(target);
    case DatabaseFault::FileNotOpened:
        return fr("le fichier de base de données ne peut pas être ouvert ") + named(target);
    case DatabaseFault::ServerUnreachable:
        if (target.host.empty())
            return fr("le moteur de base de données local n'a pas pu être chargé");
        return fr("le serveur de base de données ") + target.host + fr(" ne répond pas");
    case DatabaseFault::LoginRefused:
        if (target.host.empty())
            return fr("mot de passe refusé par la base de données");
        return fr("mot de passe refusé par le serveur ") + target.host;
    case DatabaseFault::Other:
        break;
    }
    return std::nullopt;
}
} // namespace

ConnectionTarget connectionTarget(std::string_view name) {
    size_t colon = name.find(':');
    if (!name.empty() && name.front() == '[') {
        const size_t bracket = name.find(']');
        colon = bracket == std::string_view::npos ? std::string_view::npos : name.find(':', bracket);
    }
    const bool driveLetter = colon == 1 && std::isalpha(static_cast<unsigned char>(name.front()));
    if (colon == std::string_view::npos || driveLetter)
        return {{}, std::string(name)};
    return {std::string(name.substr(0, colon)), std::string(name.substr(colon + 1))};
}

std::string connectionFailureLine(const ConnectionSituation& situation,
                                  const std::vector<DatabaseFault>& faults) {
    if (const std::optional<std::string> cause = likelyCause(situation, faults))
        return "Cause probable : " + *cause + ".";
    return fr("Cause non reconnue : voir la réponse du serveur.");
}

std::string firstAttemptFailureLine(const ConnectionSituation& situation, DatabaseFault fault) {
    if (const std::optional<std::string> cause = likelyCause(situation, {fault}))
        return fr("Premier essai sans succès : ") + *cause + ".";
    return fr("Premier essai sans succès.");
}

std::string serverDetailLine(std::string_view serverText) {
    std::string joined(serverText);
    std::replace(joined.begin(), joined.end(), '\n', ' ');
    std::replace(joined.begin(), joined.end(), '\r', ' ');
    return fr("Réponse du serveur : ") + joined;
}

} // namespace halvio
