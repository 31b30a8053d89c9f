#include "ConnectionAtStart.h"

#include "ConnectionSecrets.h"
#include "DateTime.h"
#include "Model.h"
#include "RunContext.h"
#include "RunView.h"
#include "SelfUpdate.h"
#include "Windows1252.h"
#include "ZipReader.h"

namespace halvio {

namespace {
// Both passwords are tried; every error of the two opens is logged, none goes further.
bool openClinicDatabase(Model& model) {
    model.IB.setPassword(secrets::kFirstDatabasePassword);
    try {
        model.IB.open();
        return true;
    } catch (const std::exception& error) {
        model.logError(error);
    }
    model.IB.setPassword(secrets::kFallbackDatabasePassword);
    try {
        model.IB.open();
        return true;
    } catch (const std::exception& error) {
        model.logError(error);
    }
    return false;
}

// Older databases lack SETUP.ESCOMPTE, which the reply's settings write: add it silently.
void ensureEscompteColumn(Model& model) {
    try {
        model.EnsureTransaction();
        model.ExecSql("select escompte from setup");
        (void)model.IBSQL1.decimal("escompte");
        model.IBTransaction1.commit();
    } catch (const std::exception&) {
        // The failed select's transaction is still active and carries the change.
        model.EnsureTransaction();
        model.ExecSql("alter table setup add escompte numeric(9,2)");
        model.IBTransaction1.commit();
    }
}
} // namespace

void connectAtStart(RunContext& context) {
    Model& model = context.model;
    RunView& view = context.view;

    context.uz.setPassword(secrets::kPackagePassword);
    model.log(fr("Tentative de connection à votre serveur"));
    model.log(model.IB.connectionName());

    if (!openClinicDatabase(model)) {
        model.log(fr("Echec lors de la connection à votre serveur"));
        return;
    }
    view.setStartEnabled(true);
    model.log(fr("Connecté."));

    model.EnsureTransaction();
    model.ExecSql("Select dates,fichier from maj where nom='MAJ_KLISO'");
    if (checkSelfUpdateAtStart(context))
        return;
    model.IBSQL1.close();

    ensureEscompteColumn(model);

    model.OpenSetup();
    view.setClientMajCaption(model.TSETUP.isNull("MAJ") ? std::string() : DateToText(model.TSETUP.dateTime("MAJ")));
    model.log("Compte:" + model.TSETUP.text("CLIENT"));
    model.log(fr("Enregistré à :") + model.TSETUP.text("NOM"));
    view.startCountdown();
}

} // namespace halvio
