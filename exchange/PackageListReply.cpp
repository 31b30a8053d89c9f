#include "PackageListReply.h"

#include "Files.h"
#include "Fonction.h"
#include "Model.h"
#include "ProgramPath.h"
#include "ReplyAuthenticity.h"
#include "ReplyGrammar.h"
#include "RunContext.h"
#include "RunView.h"
#include "TextLines.h"
#include "Windows1252.h"

#include <algorithm>
#include <limits>

namespace halvio {

namespace {
void applySettingsAndStatements(Model& model, const std::string& settingsLine,
                                const std::string& statementLine) {
    const auto settings = replyFields(settingsLine);
    model.IBSQL1.close();
    model.ExecSql(settingsStatement(fieldValue(settings, "nom"), fieldValue(settings, "escompte"),
                                    fieldValue(settings, "ID")));
    for (const auto& statement : replyFields(statementLine)) {
        if (Trimmed(statement).empty())
            continue;
        try {
            model.ExecSql(statement);
        } catch (const std::exception&) {
            // The service sends statements for every clinic; one that does not fit this database is skipped.
        }
    }
    model.IBTransaction1.commit();
}

void addAllFilesMaximum(RunView& view, std::int32_t taille) {
    const std::int64_t sum = std::int64_t{view.gaugeMaximum(GaugeId::AllFiles)} + taille;
    view.setGaugeMaximum(GaugeId::AllFiles, static_cast<std::int32_t>(std::clamp<std::int64_t>(
                                                sum, std::numeric_limits<std::int32_t>::min(),
                                                std::numeric_limits<std::int32_t>::max())));
}

void selectPendingPackages(Model& model, RunView& view, const std::vector<std::string>& lines) {
    model.EnsureTransaction();
    view.setGaugeMaximum(GaugeId::AllFiles, 0);
    PackageTable& tmem = model.tmem;
    tmem.open();
    for (size_t i = 2; i < lines.size(); ++i) {
        if (isBlankLine(lines[i]))
            continue;
        const OfferedPackage package = readPackageLine(lines[i]);
        if (!isPending(installedDates(model, package.nom), package.dates))
            continue;
        tmem.append();
        tmem.setNom(package.nom);
        tmem.setDates(package.dates);
        tmem.setTaille(package.taille);
        tmem.setDescription(package.description);
        addAllFilesMaximum(view, package.taille);
        tmem.post();
    }
    // The look-ups changed nothing.
    model.IBTransaction1.rollback();
    tmem.sortByNom();
}

void endWithoutPackages(RunView& view) {
    view.setPanelVisible(PanelId::EndPanel, true);
    view.setGaugeProgress(GaugeId::CurrentFile, 0);
}

// The signed check comes first: nothing in a reply that is not the vendor's is worth reading.
std::optional<std::string> replyRefusal(RunContext& ctx, std::string_view reply,
                                        const std::vector<std::string>& lines,
                                        const ReplyCredentials* credentials) {
    if (!credentials || !credentials->isSigned())
        return replyFault(lines);
    std::vector<signedreply::ManifestEntry> packages;
    if (auto fault = authenticityFault(*credentials, reply, lines, packages))
        return fault;
    if (auto fault = replyFault(lines))
        return fault;
    ctx.model.log(fr("Réponse du serveur vérifiée : signature et empreintes des paquets valides."));
    ctx.signedPackages = std::move(packages);
    return std::nullopt;
}
} // namespace

std::optional<std::string> installedDates(Model& model, const std::string& nom) {
    model.IBSQL1.close();
    model.ExecSql("select dates from maj where nom =" + Quoted(nom));
    if (model.IBSQL1.eof())
        return std::nullopt;
    return model.IBSQL1.text("DATES");
}

void applyPackageListReply(RunContext& ctx, std::string_view reply, const Clock& now,
                           const ReplyCredentials* credentials) {
    Model& model = ctx.model;
    RunView& view = ctx.view;
    model.log(fr("Récupération de la liste des mises à jour..."));
    const std::vector<std::string> lines = splitLines(reply);
    platform::writeWholeFile(platform::joinPath(ctx.programFolder, "test.txt"), joinCrLfLines(lines));

    // Checked whole before anything is applied, so that a reply the run cannot use leaves the
    // database as it was (and SETUP.MAJ too: the service's answer was not understood).
    ctx.signedPackages.reset();
    if (const auto fault = replyRefusal(ctx, reply, lines, credentials)) {
        model.log(*fault);
        endWithoutPackages(view);
        view.startCloseTimer();
        return;
    }

    model.EnsureTransaction();
    applySettingsAndStatements(model, lines[0], lines[1]);
    selectPendingPackages(model, view, lines);

    if (model.tmem.rowCount() > 0) {
        ctx.Button3Click();
        model.log(fr("Mise à jour terminer. fermeture dans ") + closeDelayText() + ".");
        view.setPanelVisible(PanelId::EndPanel, true);
        view.startCloseTimer();
        return;
    }
    endWithoutPackages(view);
    model.log(fr("Tous vos fichiers sont à date!"));
    view.startCloseTimer();
    model.EnsureTransaction();
    model.IBSQL1.close();
    model.ExecSqlCommit("update setup set maj =" + Quoted(DateTimeText(now())));
}

} // namespace halvio
