#pragma once
// kliso.ini beside the program: lines "name=value" in Windows-1252. The lookups and the rewrite of
// the beta flag work on its lines; the names of the two databases derive from its values.

#include <string>
#include <string_view>
#include <vector>

namespace halvio {

// The path of kliso.ini in the program folder.
std::string klisoIniPath(std::string_view programFolder);

// The value of key: everything after the first "=" of the first line whose text before that "="
// equals key ignoring ASCII case. Nothing is trimmed ("SERVEUR =x" does not count for SERVEUR).
// Empty when no line counts.
std::string iniValue(const std::vector<std::string>& lines, std::string_view key);

// The lines with the first line named "beta" (ignoring case) replaced by "beta=" + value, or with
// that line appended when none is named so.
std::vector<std::string> withBetaValue(std::vector<std::string> lines, std::string_view value);

// The lines of the file (split at CR LF, CR and LF). Throws platform::SystemError when unreadable.
std::vector<std::string> readKlisoIni(const std::string& path);

// Stores the direct-connection choice as beta=O or beta=N, every line written back with CR LF.
// Never throws: a missing or unwritable file is left as it was.
void rewriteBetaFlag(const std::string& path, bool directConnection) noexcept;

// SERVEUR + ":" + DATABASE, or DATABASE alone when SERVEUR is empty.
std::string clinicConnectionName(std::string_view serveur, std::string_view database);

// The clinic name with every "kliso.ib" (lower case only) replaced by "fax.ib".
std::string faxConnectionName(std::string_view clinicConnectionName);

// Only the exact value "O" ticks the direct connection; no value clears it.
bool betaTicksDirectConnection(std::string_view betaValue);

struct KlisoIniSettings {
    std::string clinicConnection;
    std::string faxConnection;
    bool ticksDirectConnection = false;
};

// What the creation handler takes from the file's lines.
KlisoIniSettings settingsFromKlisoIni(const std::vector<std::string>& lines);

} // namespace halvio
