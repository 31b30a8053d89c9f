#pragma once
// The grammar of the package list reply and the rule that picks the packages to fetch. Texts are
// Windows-1252 bytes as the service sent them.
//
//   line 1    settings:   nom=...|escompte=...|ID=...
//   line 2    statements: one SQL statement per "|" field
//   line 3..  packages:   nom=...|dates=yyyy.mm.dd hh:nn:ss|taille=...|description=...

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvio {

// The fields of a line, split at every "|" (empty fields kept).
std::vector<std::string> replyFields(std::string_view line);

// The value after the first "=" of the first field whose key matches, ASCII case ignored; the
// value is not trimmed. A key that no field carries reads as empty text.
std::string fieldValue(const std::vector<std::string>& fields, std::string_view key);

// The statement that writes the settings line into every row of SETUP. ESCOMPTE goes in right
// after a 0, so an empty discount writes 0; ID goes in as sent, without quotes.
std::string settingsStatement(std::string_view nom, std::string_view escompte, std::string_view id);

// Byte order: unsigned bytes, and a text that is the start of another is the lower.
bool lowerInByteOrder(std::string_view a, std::string_view b);

// Whether an offered package is to be fetched. `installed` is MAJ.DATES of the row with the
// package's name as read (CHAR padding kept), or nothing when MAJ has no such row. "/" in either
// date counts as ".".
bool isPending(const std::optional<std::string>& installed, std::string_view offered);

// A whole number in 32 bits, an optional sign and digits, nothing around them.
std::optional<std::int32_t> wholeNumber32(std::string_view text);

// What the run needs of one package line. Only for a line that replyFault() accepted.
struct OfferedPackage {
    std::string nom, dates, description;
    std::int32_t taille = 0;
};
OfferedPackage readPackageLine(std::string_view line);

// True for a package line that carries nothing: it is skipped.
bool isBlankLine(std::string_view line);

// "Réponse du serveur de mise à jour invalide : " + reason + " Aucune mise à jour appliquée."
// (reason in Windows-1252): the log line of every reply that is refused.
std::string invalidReplyLine(std::string_view reason);

// The first reason the reply cannot be applied, as a French activity-log line (Windows-1252), or
// nothing for a reply the run can apply: at least two lines, an escompte empty or a number that
// ESCOMPTE (NUMERIC(9,2)) holds, an ID that is a whole number, and a whole number in 32 bits as
// the taille of every package line that is not blank.
std::optional<std::string> replyFault(const std::vector<std::string>& lines);

} // namespace halvio
