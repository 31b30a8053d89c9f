#include "KlisoIni.h"

#include "Files.h"
#include "Fonction.h"
#include "ProgramPath.h"
#include "TextLines.h"

#include <optional>

namespace halvio {

namespace {

bool isNamed(std::string_view line, std::string_view key) {
    const size_t equals = line.find('=');
    return equals != std::string_view::npos && equalsIgnoringAsciiCase(line.substr(0, equals), key);
}

} // namespace

std::string klisoIniPath(std::string_view programFolder) {
    return platform::joinPath(programFolder, "kliso.ini");
}

std::string iniValue(const std::vector<std::string>& lines, std::string_view key) {
    for (const std::string& line : lines) {
        if (isNamed(line, key))
            return line.substr(line.find('=') + 1);
    }
    return {};
}

std::vector<std::string> withBetaValue(std::vector<std::string> lines, std::string_view value) {
    const std::string betaLine = "beta=" + std::string(value);
    for (std::string& line : lines) {
        if (isNamed(line, "beta")) {
            line = betaLine;
            return lines;
        }
    }
    lines.push_back(betaLine);
    return lines;
}

std::vector<std::string> readKlisoIni(const std::string& path) {
    return splitLines(platform::readWholeFile(path));
}

void rewriteBetaFlag(const std::string& path, bool directConnection) noexcept {
    std::optional<std::string> original;
    try {
        original = platform::readWholeFile(path);
        const std::vector<std::string> lines =
            withBetaValue(splitLines(*original), directConnection ? "O" : "N");
        platform::writeWholeFile(path, joinCrLfLines(lines));
    } catch (...) {
        // A write that failed half-way would leave a cut file: put the old content back.
        if (original) {
            try {
                platform::writeWholeFile(path, *original);
            } catch (...) {
            }
        }
    }
}

std::string clinicConnectionName(std::string_view serveur, std::string_view database) {
    if (serveur.empty())
        return std::string(database);
    return std::string(serveur) + ":" + std::string(database);
}

std::string faxConnectionName(std::string_view clinicConnectionName) {
    return ReplaceAll(clinicConnectionName, "kliso.ib", "fax.ib");
}

bool betaTicksDirectConnection(std::string_view betaValue) {
    return betaValue == "O";
}

KlisoIniSettings settingsFromKlisoIni(const std::vector<std::string>& lines) {
    KlisoIniSettings settings;
    settings.clinicConnection = clinicConnectionName(iniValue(lines, "SERVEUR"), iniValue(lines, "DATABASE"));
    settings.faxConnection = faxConnectionName(settings.clinicConnection);
    settings.ticksDirectConnection = betaTicksDirectConnection(iniValue(lines, "beta"));
    return settings;
}

} // namespace halvio
