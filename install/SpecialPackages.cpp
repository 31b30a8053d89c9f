#include "SpecialPackages.h"

#include "DiagMigration.h"
#include "Files.h"
#include "Fonction.h"
#include "Model.h"
#include "PackageFailure.h"
#include "ProgramPath.h"
#include "RunContext.h"
#include "SelfUpdate.h"
#include "SystemError.h"
#include "WorkstationNotifier.h"

#include <exception>

namespace halvio {

SpecialPackage specialPackageOf(std::string_view packageName) {
    const std::string name = Trimmed(packageName);
    if (name == "UPDATEDIAG")
        return SpecialPackage::UpdateDiag;
    if (name == "HALVIO")
        return SpecialPackage::Halvio;
    if (name == "HHALVIO")
        return SpecialPackage::HHalvio;
    if (name == "HALVIO26" || name == "HALVIO27")
        return SpecialPackage::Halvio26;
    if (name == "MAJ_KLISO")
        return SpecialPackage::MajKliso;
    return SpecialPackage::None;
}

std::string programFileNameOf(SpecialPackage package) {
    switch (package) {
    case SpecialPackage::Halvio:
        return "halvio.exe";
    case SpecialPackage::HHalvio:
        return "hhalvio.exe";
    case SpecialPackage::Halvio26:
        return "halvio26.exe";
    case SpecialPackage::None:
    case SpecialPackage::UpdateDiag:
    case SpecialPackage::MajKliso:
        break;
    }
    return {};
}

SpecialPackage prepareSpecialPackage(RunContext& context, std::string_view content) {
    const SpecialPackage package = specialPackageOf(context.model.tmem.current().NOM);
    const std::string programFile = programFileNameOf(package);
    if (!programFile.empty()) {
        const std::string path =
            platform::joinPath(platform::joinPath(context.programFolder, "update"), programFile);
        try {
            platform::replaceFileAtomically(path, content);
        } catch (const platform::SystemError& error) {
            throw PackageFailure(error, fileNotSavedNotice(path));
        }
    }
    if (package == SpecialPackage::UpdateDiag) {
        try {
            diag(context);
        } catch (const std::exception& error) {
            throw PackageFailure(error, diagNotCompletedNotice());
        }
    }
    return package;
}

SpecialHandlingOutcome handleSpecialPackage(RunContext& context, SpecialPackage package,
                                            std::string_view content) {
    SpecialHandlingOutcome outcome;
    switch (package) {
    case SpecialPackage::Halvio:
        notifyWorkstations(context.model, context.httplocal);
        break;
    case SpecialPackage::MajKliso:
        outcome.endsTransfer = replaceUpdaterDuringInstall(context, content);
        break;
    case SpecialPackage::None:
    case SpecialPackage::UpdateDiag:
    case SpecialPackage::HHalvio:
    case SpecialPackage::Halvio26:
        break;
    }
    return outcome;
}

} // namespace halvio
