#include "ConnectionAtStart.h"

#include "ConnectionCause.h"
#include "ConnectionSecrets.h"
#include "DateTime.h"
#include "Files.h"
#include "KlisoIni.h"
#include "Model.h"
#include "RunContext.h"
#include "RunView.h"
#include "SchemaAddition.h"
#include "SelfUpdate.h"
#include "Windows1252.h"
#include "ZipReader.h"

#include <optional>

namespace halvio {

namespace {
struct FailedOpen {
    platform::DatabaseFault fault;
    std::string serverText;
};

// Opens IB with the password; its error, if any, is kept for the log.
std::optional<FailedOpen> openWith(Model& model, const char* password) {
    model.IB.setPassword(password);
    try {
        model.IB.open();
        return std::nullopt;
    } catch (const platform::DatabaseError& error) {
        return FailedOpen{error.fault(), error.what()};
    } catch (const std::exception& error) {
        return FailedOpen{platform::DatabaseFault::Other, error.what()};
    }
}

// Both passwords are tried; no error of the two opens goes further. The log names the likely
// cause in French, each server text (unchanged, often English) only as a detail after it.
bool openClinicDatabase(RunContext& context) {
    Model& model = context.model;
    const std::optional<FailedOpen> first = openWith(model, secrets::kFirstDatabasePassword);
    if (!first)
        return true;
    const ConnectionSituation situation{platform::fileExists(klisoIniPath(context.programFolder)),
                                        context.programFolder, model.IB.connectionName()};
    const std::optional<FailedOpen> second = openWith(model, secrets::kFallbackDatabasePassword);
    if (!second) {
        model.log(firstAttemptFailureLine(situation, first->fault));
        model.log(serverDetailLine(first->serverText));
        return true;
    }
    model.log(connectionFailureLine(situation, {first->fault, second->fault}));
    model.log(serverDetailLine(first->serverText));
    if (second->serverText != first->serverText)
        model.log(serverDetailLine(second->serverText));
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

    if (!openClinicDatabase(context)) {
        model.log(fr("Echec lors de la connection à votre serveur"));
        return;
    }
    view.setStartEnabled(true);
    model.log(fr("Connecté."));

    model.EnsureTransaction();
    model.ExecSql(kUpdaterSelect);
    if (checkSelfUpdateAtStart(context))
        return;
    model.IBSQL1.close();

    ensureEscompteColumn(model);

    model.OpenSetup();
    view.setClientMajCaption(model.TSETUP.isNull("MAJ") ? std::string()
                                                        : DateToText(model.TSETUP.dateTime("MAJ")));
    model.log("Compte:" + model.TSETUP.text("CLIENT"));
    model.log(fr("Enregistré à :") + model.TSETUP.text("NOM"));
    view.startCountdown();
}

} // namespace halvio
