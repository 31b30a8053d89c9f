#include "SelfUpdate.h"

#include "Files.h"
#include "Fonction.h"
#include "Model.h"
#include "ProgramPath.h"
#include "ProgramStart.h"
#include "RunContext.h"
#include "RunView.h"
#include "Windows1252.h"

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

// Writes copie.exe from the COPIE row that kCopyToolSelect made current on IBSQL1. Without that
// row there is no copy tool to start, and starting whatever copie.exe lies there is worse than
// stopping: the updater stays as it is and the error is reported.
void writeCopyTool(RunContext& context) {
    SqlStatement& statement = context.model.IBSQL1;
    if (statement.eof())
        throw std::runtime_error(
            "The row COPIE of the table MAJ is missing: the copy tool cannot be written");
    const std::string path = platform::joinPath(context.programFolder, kCopyToolFileName);
    platform::writeWholeFile(path, statement.blob("FICHIER"));
    platform::makeExecutable(path);
}

void startCopyToolAndClose(RunContext& context) {
    context.model.IB.close();
    platform::startProgram(kCopyToolCommandLine, context.programFolder);
    context.view.closeWindow();
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
    replaceUpdaterAtStart(context);
    return true;
}

void replaceUpdaterAtStart(RunContext& context) {
    Model& model = context.model;
    RunView& view = context.view;

    view.stopCountdown();
    view.showMessageForm(
        fr("Il existe une version plus récente du programme de mise à jour!\r\nIl sera rechargé!."), 70);

    const std::string newUpdater = newUpdaterPath(context);
    platform::writeWholeFile(newUpdater, model.IBSQL1.blob("FICHIER"));
    platform::setLastWriteTime(newUpdater, updaterDate(model.IBSQL1.text("DATES")));

    model.IBSQL1.close();
    model.ExecSql(kCopyToolSelect);
    writeCopyTool(context);
    startCopyToolAndClose(context);
}

void replaceUpdaterDuringInstall(RunContext& context, std::string_view content) {
    Model& model = context.model;

    const std::string newUpdater = newUpdaterPath(context);
    model.log("Tentative de sauver sur " + newUpdater);
    platform::writeWholeFile(newUpdater, content);
    model.log("sauver!");

    model.EnsureTransaction();
    model.IBSQL1.close();
    model.ExecSql(kCopyToolSelect);
    writeCopyTool(context);
    model.IBTransaction1.commit();
    startCopyToolAndClose(context);
}

} // namespace halvio
