#include "SelfUpdate.h"

#include "Files.h"
#include "Fonction.h"
#include "Model.h"
#include "ProgramPath.h"
#include "ProgramStart.h"
#include "RunContext.h"
#include "RunView.h"
#include "Windows1252.h"

#include <optional>
#include <stdexcept>

namespace halvio {

namespace {

std::string newUpdaterPath(const RunContext& context) {
    return platform::joinPath(context.programFolder, kNewUpdaterFileName);
}

DateTime updaterDate(std::string_view datesText) {
    if (auto value = parseDateTime(datesText))
        return *value;
    throw std::runtime_error("'" + Trimmed(datesText) + "' is not a valid date and time");
}

// Writes copie.exe from the COPIE row that kCopyToolSelect made current on IBSQL1. Returns why it
// could not (a French text), or nothing. Without that row there is no copy tool to start, and
// starting whatever copie.exe lies there is worse than keeping the running updater.
std::optional<std::string> writeCopyTool(RunContext& context) {
    SqlStatement& statement = context.model.IBSQL1;
    if (statement.eof())
        return fr("la table MAJ ne contient pas l'outil de copie (COPIE).");
    const std::string path = platform::joinPath(context.programFolder, kCopyToolFileName);
    try {
        platform::writeWholeFile(path, statement.blob("FICHIER"));
        platform::makeExecutable(path);
    } catch (const std::exception& error) {
        return fr("copie.exe n'a pas pu être écrit (") + error.what() + ").";
    }
    return std::nullopt;
}

// The copy tool cannot take over: the running updater stays, and the run goes on with it. The
// MAJ_KLISO row goes too. Left in place, it would make every later start try again, each time
// behind the start variant's message, which waits for someone to answer it; without it, the
// service offers the package again and the next run's transfer tries again, which needs nobody
// and uses a corrected COPIE as soon as one is published (COPIE is installed before MAJ_KLISO).
void keepRunningUpdater(RunContext& context, const std::string& reason) {
    Model& model = context.model;
    platform::deleteFile(newUpdaterPath(context));
    model.log(fr("Remplacement du programme de mise à jour impossible : ") + reason);
    try {
        if (!model.IB.isOpen())
            model.IB.open();
        model.EnsureTransaction();
        model.IBSQL1.close();
        model.ExecSqlCommit("delete from maj where nom='MAJ_KLISO'");
    } catch (const std::exception& error) {
        // The row stays: the next start tries again, which is all this costs.
        model.logError(error);
        if (model.IB.isOpen() && model.IBTransaction1.isActive())
            model.IBTransaction1.rollback();
    }
    // Closed by itself after 30 seconds: nobody may be there to answer.
    context.view.showMessageForm(
        fr("Le programme de mise à jour n'a pas pu être remplacé : l'outil de "
           "copie ne démarre pas.\r\nLa mise à jour continue avec la version actuelle."),
        messagemode::kAttentionClosingByItself);
}

// Writes and starts the copy tool, and closes the window; or, when the copy tool cannot be
// written or started, keeps the running updater. Returns whether the window is closing.
bool handOverToCopyTool(RunContext& context) {
    if (const auto fault = writeCopyTool(context)) {
        keepRunningUpdater(context, *fault);
        return false;
    }
    Model& model = context.model;
    if (model.IBTransaction1.isActive())
        model.IBTransaction1.commit();
    model.IB.close();
    if (!platform::startProgram(kCopyToolCommandLine, context.programFolder)) {
        keepRunningUpdater(context, fr("copie.exe n'a pas pu être démarré."));
        return false;
    }
    context.view.closeWindow();
    return true;
}

} // namespace

bool isNewerThanProgram(std::string_view datesText, std::string_view programDateText) {
    return Trimmed(datesText) > programDateText;
}

bool checkSelfUpdateAtStart(RunContext& context) {
    SqlStatement& statement = context.model.IBSQL1;
    if (statement.eof())
        return false;
    const std::string programDate = DateTimeText(platform::lastWriteTime(context.programFile));
    if (!isNewerThanProgram(statement.text("DATES"), programDate))
        return false;
    return replaceUpdaterAtStart(context);
}

bool replaceUpdaterAtStart(RunContext& context) {
    Model& model = context.model;
    RunView& view = context.view;

    view.stopCountdown();
    view.showMessageForm(
        fr("Il existe une version plus récente du programme de mise à jour!\r\nIl sera rechargé!."),
        messagemode::kInformation);

    const std::string newUpdater = newUpdaterPath(context);
    platform::writeWholeFile(newUpdater, model.IBSQL1.blob("FICHIER"));
    platform::setLastWriteTime(newUpdater, updaterDate(model.IBSQL1.text("DATES")));

    model.IBSQL1.close();
    model.ExecSql(kCopyToolSelect);
    return handOverToCopyTool(context);
}

bool replaceUpdaterDuringInstall(RunContext& context, std::string_view content) {
    Model& model = context.model;

    const std::string newUpdater = newUpdaterPath(context);
    model.log("Tentative de sauver sur " + newUpdater);
    platform::writeWholeFile(newUpdater, content);
    model.log("sauver!");

    model.EnsureTransaction();
    model.IBSQL1.close();
    model.ExecSql(kCopyToolSelect);
    return handOverToCopyTool(context);
}

} // namespace halvio
