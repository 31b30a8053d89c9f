#include "ConnectionAtStart.h"

#include "ConnectionSecrets.h"
#include "DateTime.h"
#include "Model.h"
#include "RunContext.h"
#include "RunView.h"
#include "SchemaAddition.h"
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

// Older databases lack SETUP.ESCOMPTE, which the reply's settings write: add it silently. The
// system tables say whether it is there (SETUP may be empty, or its row locked by another
// workstation); another workstation starting at the same moment may add it first.
void ensureEscompteColumn(Model& model) {
    addUnlessPresent(model.IBSQL1, model.view(), model.lockConflictWait,
                     "select count(*) from rdb$relation_fields "
                     "where rdb$relation_name = 'SETUP' and rdb$field_name = 'ESCOMPTE'",
                     "alter table setup add escompte numeric(9,2)");
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
