#include "PackageFailure.h"

#include "Windows1252.h"

namespace halvio {

std::string fileNotSavedNotice(std::string_view path) {
    return fr("Impossible d'enregistrer le fichier ") + std::string(path) +
           fr(" ! Vérifier l'espace libre sur le disque, puis réessayer plus tard.");
}

std::string damagedPackageNotice(std::string_view packageName) {
    return fr("Le paquet ") + std::string(packageName) +
           fr(" est endommagé et n'a pas été installé. Il sera repris à la prochaine mise à jour.");
}

std::string diagNotCompletedNotice() {
    return fr("La renumérotation des codes de diagnostic n'a pas pu être terminée. Elle sera reprise à la "
              "prochaine mise à jour.");
}

} // namespace halvio
