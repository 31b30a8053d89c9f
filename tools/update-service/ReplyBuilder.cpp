#include "ReplyBuilder.h"

#include "TextLines.h"

namespace halvio::tools {

std::string buildPackageListReply(const ReplySettings& settings,
                                  const std::vector<OfferedPackage>& packages) {
    std::vector<std::string> lines;
    lines.push_back("nom=" + settings.nom + "|escompte=" + settings.escompte + "|ID=" + settings.id);

    std::string statementLine;
    for (size_t i = 0; i < settings.statements.size(); ++i)
        statementLine += (i == 0 ? "" : "|") + settings.statements[i];
    lines.push_back(statementLine);

    for (const OfferedPackage& package : packages)
        lines.push_back("nom=" + package.name + "|dates=" + package.date +
                        "|taille=" + std::to_string(package.size) + "|description=" + package.description);
    return joinCrLfLines(lines);
}

} // namespace halvio::tools
