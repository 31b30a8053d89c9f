#include "PackageInstaller.h"

#include "DateTime.h"
#include "Files.h"
#include "Fonction.h"
#include "LockConflictWait.h"
#include "Model.h"
#include "PackageFailure.h"
#include "PackageNames.h"
#include "RunContext.h"
#include "RunView.h"
#include "TextLines.h"
#include "Windows1252.h"
#include "ZipError.h"
#include "ZipReader.h"

#include <algorithm>
#include <exception>
#include <limits>

namespace halvio {

namespace {

// Closes the archive when the extraction leaves early, so that the file is not held open.
class ArchiveGuard {
public:
    explicit ArchiveGuard(platform::ZipReader& uz) : m_uz(uz) {}
    ~ArchiveGuard() { m_uz.close(); }
    ArchiveGuard(const ArchiveGuard&) = delete;
    ArchiveGuard& operator=(const ArchiveGuard&) = delete;

private:
    platform::ZipReader& m_uz;
};

// One line of a script, committed by itself. A lock conflict is waited for and, when it outlasts
// the wait, stops the script (LockConflictTimeout): the line was not applied. Any other failure
// is logged and passed over, as the vendor's scripts expect (their statements for tables that
// some clinics lack fail there); its transaction is not rolled back, so the next commit ends it.
void runScriptStatement(Model& model, const std::string& line) {
    try {
        retryOnLockConflict(model.IBTransaction1, model.view(), model.lockConflictWait, [&model] {
            model.EnsureTransaction();
            model.IBSQL1.execute();
            model.IBTransaction1.commit();
        });
    } catch (const LockConflictTimeout&) {
        throw;
    } catch (const std::exception& error) {
        model.log(fr("Instruction refusée par le serveur, ignorée : ") + line);
        model.logError(error);
    }
}

} // namespace

std::string unpackPackage(platform::ZipReader& uz, const std::string& packagePath) {
    std::string content;
    {
        ArchiveGuard guard(uz);
        uz.open(packagePath);
        content = uz.extractFirst();
    }
    platform::deleteFile(packagePath);
    return content;
}

void runScriptPackage(Model& model, std::string_view content) {
    RunView& view = model.view();
    model.tmem.edit();
    model.SetPackageState("Installation");

    const std::vector<std::string> lines = splitLines(content);
    view.setGaugeProgress(GaugeId::CurrentFile, 0);
    const auto lineCount = static_cast<std::int32_t>(
        std::min<size_t>(lines.size(), static_cast<size_t>(std::numeric_limits<std::int32_t>::max())));
    view.setGaugeMaximum(GaugeId::CurrentFile, lineCount);

    for (const std::string& line : lines) {
        view.setGaugeProgress(GaugeId::CurrentFile, view.gaugeProgress(GaugeId::CurrentFile) + 1);
        model.IBSQL1.setSql(line);
        if (!line.empty())
            runScriptStatement(model, line);
        view.processMessages();
    }

    model.tmem.edit();
    model.SetPackageState(fr("Installé"));
}

void recordPackage(Model& model, std::string_view recordName, std::string_view description,
                   std::string_view dates, std::string_view content) {
    retryOnLockConflict(model.IBTransaction1, model.view(), model.lockConflictWait, [&] {
        model.EnsureTransaction();
        model.IBSQL1.setSql("");
        model.ExecSql(recordLookupSql(recordName));
        const bool recorded = !model.IBSQL1.eof();
        model.IBSQL1.close();
        model.IBSQL1.setSql(recorded ? recordUpdateSql(recordName, description, dates)
                                     : recordInsertSql(recordName, description, dates));
        model.IBSQL1.setBlobParameter("image", content);
        model.IBSQL1.execute();
        model.IBTransaction1.commit();
    });
}

std::string unpackAndRun(RunContext& run, const std::string& packagePath, const std::string& fileName) {
    Model& model = run.model;
    std::string content;
    try {
        content = unpackPackage(run.uz, packagePath);
    } catch (const platform::ZipError& error) {
        throw PackageFailure(error, damagedPackageNotice(Trimmed(model.tmem.current().NOM)));
    }
    const std::string kindName = packageKindName(fileName);
    run.view.repaintNow();
    model.IB.open();
    if (isScriptPackage(kindName))
        runScriptPackage(model, content);
    return content;
}

void stampEndOfRun(Model& model) {
    model.IB.open();
    model.EnsureTransaction();
    model.IBSQL1.close();
    model.ExecSqlCommit(endOfRunStampSql(DateTimeText(DateTime::now())));
    model.IB.close();
}

} // namespace halvio
