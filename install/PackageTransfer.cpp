#include "PackageTransfer.h"

#include "FileReplacement.h"
#include "Files.h"
#include "Fonction.h"
#include "InstallationLock.h"
#include "LockConflictWait.h"
#include "Model.h"
#include "PackageDownload.h"
#include "PackageFailure.h"
#include "PackageInstaller.h"
#include "PackageNames.h"
#include "PackageVerification.h"
#include "ProgramPath.h"
#include "RunContext.h"
#include "RunView.h"
#include "ServiceHosts.h"
#include "ShownText.h"
#include "SpecialPackages.h"
#include "SystemError.h"
#include "TransferLock.h"
#include "Windows1252.h"

#include <cstddef>
#include <exception>
#include <optional>

namespace halvio {

namespace {

enum class PackageOutcome { Done, RunEnded };

void closeClinicDatabase(Model& model) {
    if (model.IBTransaction1.isActive())
        model.IBTransaction1.rollback();
    model.IB.close();
}

// The end of the run after a package file could not be fetched or saved.
void endRunAfterFailedDownload(RunContext& run, const std::string& fileName, const std::exception& error) {
    run.model.tmem.post();
    run.view.showPlainMessage(fr("Le fichier ") + fileName + fr(" n'a pas pu être téléchargé ou enregistré."),
                              error.what());
    run.model.log(fr("Impossible de récupérer le fichier"));
    run.view.showMessageForm(fr("Impossible de récupérer le fichier! Réessayer plus tard."),
                             messagemode::kAttention);
    run.view.closeWindow();
}

// The end of the run after a package step failed once its file had arrived: the package is not
// recorded, the clinic database is left without a transaction, and the window closes unstamped.
void endRunAfterFailedPackage(RunContext& run, const std::string& nom, const PackageFailure& failure) {
    run.model.tmem.post();
    run.view.showPlainMessage(fr("Le paquet ") + nom + fr(" n'a pas pu être installé."), failure.what());
    run.model.log(failure.what());
    run.model.log(failure.notice());
    run.view.showMessageForm(failure.notice(), messagemode::kAttention);
    closeClinicDatabase(run.model);
    run.view.closeWindow();
}

[[noreturn]] void packageFileNotSaved(const std::string& packagePath, const platform::SystemError& error) {
    throw PackageFailure(error, fileNotSavedNotice(packagePath));
}

// The package file, written while it arrives and given its name only once it is whole and checked:
// a failed download, a file that is not the one the vendor signed, a full disk or a refused write
// leave the previous file whole and no temporary behind. The file lives until it is unpacked, moments
// later, and is then deleted: it is not forced to the disk (what it installs is, and a crash before
// the record makes the next run download it again). False when the download failed (the run
// has ended); throws PackageFailure, after "Tentative de sauver sur", when it could not be saved.
bool fetchPackageFile(RunContext& run, const std::string& nom, const std::string& fileName,
                      const std::string& packagePath) {
    Model& model = run.model;
    const std::string savingLine = "Tentative de sauver sur " + packagePath;
    std::optional<platform::FileReplacement> file;
    PackageFileDigest digest(run);
    try {
        file.emplace(packagePath, platform::Durability::Cached);
    } catch (const platform::SystemError& error) {
        model.log(savingLine);
        packageFileNotSaved(packagePath, error);
    }
    try {
        downloadPackage(run, fileName, *file, digest);
        verifyPackageFile(run, nom, digest);
    } catch (const PackageFileNotWritten& failure) {
        model.log(savingLine);
        packageFileNotSaved(packagePath, failure.cause);
    } catch (const std::exception& error) {
        endRunAfterFailedDownload(run, fileName, error);
        return false;
    }
    model.log(savingLine);
    try {
        file->commit(run.paintAndTimers);
    } catch (const platform::SystemError& error) {
        packageFileNotSaved(packagePath, error);
    }
    model.log(fr("Fichier sauvé"));
    return true;
}

// Unpacking, the steps that must be complete before the record, the record, then the steps after it.
PackageOutcome installPackage(RunContext& run, const std::string& packagePath, const std::string& fileName,
                              const std::string& record) {
    Model& model = run.model;
    const std::size_t packageRow = model.tmem.currentIndex();
    std::string content;
    SpecialPackage special = SpecialPackage::None;
    try {
        content = unpackAndRun(run, packagePath, fileName);
        special = prepareSpecialPackage(run, content);
    } catch (const PackageFailure& failure) {
        // The DIAG migration may have left tmem on its progress row.
        endRunAfterFailedPackage(run, Trimmed(model.tmem.row(packageRow).NOM), failure);
        return PackageOutcome::RunEnded;
    }
    const PackageRow& row = model.tmem.row(packageRow);
    recordPackage(model, record, Trimmed(row.DESCRIPTION), Trimmed(row.DATES), content);
    if (handleSpecialPackage(run, special, content).endsTransfer)
        return PackageOutcome::RunEnded;

    content.clear();
    content.shrink_to_fit();
    run.view.repaintNow();
    closeClinicDatabase(model);
    return PackageOutcome::Done;
}

PackageOutcome transferPackage(RunContext& run, const std::string& updateFolder) {
    Model& model = run.model;
    RunView& view = run.view;
    PackageTable& tmem = model.tmem;
    const std::string nom = Trimmed(tmem.current().NOM);

    model.log("Transfert de " + nom);
    const std::string record = recordName(nom);
    view.setGaugeMinimum(GaugeId::CurrentFile, 0);
    const std::string fileName = packageFileName(nom);
    const std::string packagePath = platform::joinPath(updateFolder, fileName);

    tmem.edit();
    tmem.setEtat("Transfer.");
    view.repaintNow();

    try {
        if (!fetchPackageFile(run, nom, fileName, packagePath))
            return PackageOutcome::RunEnded;
    } catch (const PackageFailure& failure) {
        endRunAfterFailedPackage(run, nom, failure);
        return PackageOutcome::RunEnded;
    }
    const std::int64_t total = std::int64_t{run.runningTotal} + tmem.current().TAILLE.value_or(0);
    run.runningTotal = static_cast<std::int32_t>(total); // wraps like the 32-bit counter it is

    tmem.setPc(100);
    model.SetPackageState("Transmis");
    return installPackage(run, packagePath, fileName, record);
}

// Whether the transfer passes over tmem's current row: a row appended during the run that holds no
// package, a name that is no plain file name (logged), or a package another workstation installed
// meanwhile.
bool passesOverRow(Model& model, bool appendedDuringRun) {
    const std::string nom = Trimmed(model.tmem.current().NOM);
    if (appendedDuringRun && nom.empty())
        return true;
    if (!isPlainPackageName(nom)) {
        model.log(fr("Paquet ignoré, nom de fichier invalide : \"") + withControlsShown(nom) + "\"");
        return true;
    }
    return installedMeanwhile(model, model.tmem.current());
}

} // namespace

void Button3Click(RunContext& run) {
    Model& model = run.model;
    RunView& view = run.view;
    PackageTable& tmem = model.tmem;

    model.log(fr("Tentative de connection à ") + hosts::kPublicWebHost);
    model.log("Transfert des fichiers...");
    view.repaintNow();

    // Held until the procedure returns, whichever way: one installation per clinic at a time.
    InstallationLock lock(model.IB, model.installationLock);
    lock.setIdle(run.paintAndTimers);
    if (!takeInstallationLock(run, lock))
        return;

    tmem.first();
    run.runningTotal = 0;
    const std::string updateFolder = platform::joinPath(run.programFolder, "update");
    if (!platform::folderExists(updateFolder))
        platform::createFolder(updateFolder);

    // Rows appended during the run hold no package (the migration's progress row).
    const size_t packageRows = tmem.rowCount();
    while (!tmem.eof()) {
        const size_t index = tmem.currentIndex();
        if (passesOverRow(model, index >= packageRows)) {
            tmem.next();
            continue;
        }
        if (!keepInstallationLock(run, lock))
            return;
        try {
            if (transferPackage(run, updateFolder) == PackageOutcome::RunEnded)
                return;
        } catch (const LockConflictTimeout& error) {
            endRunOnLockedRecord(run, error);
            return;
        }
        // The DIAG migration leaves tmem on a progress row of its own; the loop goes on from the package.
        tmem.moveTo(index);
        tmem.next();
    }

    view.setGaugeProgress(GaugeId::CurrentFile, view.gaugeMaximum(GaugeId::CurrentFile));
    view.setGaugeProgress(GaugeId::AllFiles, view.gaugeMaximum(GaugeId::AllFiles));
    view.repaintNow();
    stampEndOfRun(model);
}

} // namespace halvio
