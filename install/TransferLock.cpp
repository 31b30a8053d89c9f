#include "TransferLock.h"

#include "Fonction.h"
#include "InstallationLock.h"
#include "LockConflictWait.h"
#include "Model.h"
#include "PackageListReply.h"
#include "ReplyGrammar.h"
#include "RunContext.h"
#include "RunView.h"
#include "Windows1252.h"

namespace halvio {

namespace {

// The end of a run that installs nothing more: the reason in the log, the notice, the window
// closed (as after a failed download); SETUP is not stamped.
void endRun(RunContext& run, const std::string& logLine, const std::string& notice) {
    if (run.model.tmem.isEditing())
        run.model.tmem.post();
    run.model.log(logLine);
    run.view.showMessageForm(notice, messagemode::kAttention);
    run.view.closeWindow();
}

} // namespace

bool takeInstallationLock(RunContext& run, InstallationLock& lock) {
    if (lock.acquire(run.view))
        return true;
    endRun(run, fr("L'autre installation n'est pas terminée : aucune mise à jour n'a été installée."),
           fr("Une mise à jour est en cours sur un autre poste. Réessayer plus tard."));
    return false;
}

bool installedMeanwhile(Model& model, const PackageRow& row) {
    model.IB.open();
    const bool started = !model.IBTransaction1.isActive();
    model.EnsureTransaction();
    const bool pending = isPending(installedDates(model, Trimmed(row.NOM)), Trimmed(row.DATES));
    model.IBSQL1.close();
    if (started)
        model.IBTransaction1.rollback();
    if (!pending)
        model.log(Trimmed(row.NOM) + fr(" : déjà installé par un autre poste, passé."));
    return !pending;
}

bool keepInstallationLock(RunContext& run, InstallationLock& lock) {
    if (lock.confirm())
        return true;
    endRun(run, fr("Le verrou d'installation a été perdu : la mise à jour est interrompue."),
           fr("La mise à jour a été interrompue. Réessayer plus tard."));
    return false;
}

void endRunOnLockedRecord(RunContext& run, const LockConflictTimeout& error) {
    endRun(run, error.what(), fr("Des données sont verrouillées par un autre poste. Réessayer plus tard."));
}

} // namespace halvio
