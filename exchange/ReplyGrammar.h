#pragma once
// The grammar of the package list reply and the rule that picks the packages to fetch. Texts are
// Windows-1252 bytes as the service sent them.
//
//   line 1    settings:   nom=...|escompte=...|ID=...
//   line 2    statements: one SQL statement per "|" field
//   line 3..  packages:   nom=...|dates=yyyy.mm.dd hh:nn:ss|taille=...|description=...

#include <cstddef>
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

// Widths of the columns that the reply's texts are stored in, in bytes (Windows-1252). A text
// longer than its column fails in SQL, or is stored cut and then never matches the reply again.
// SETUP.NOMX is VARCHAR(40), and SETUP.NOM is CHAR(40) in older databases: the clinic's name.
inline constexpr std::size_t kSettingsNameWidth = 40;
// MAJ.NOM is VARCHAR(100), as tmem's NOM: the package's name, looked up again on every run.
inline constexpr std::size_t kPackageNameWidth = 100;
// MAJ.DATES is CHAR(20), as tmem's DATES: the date compared with the next offer.
inline constexpr std::size_t kPackageDatesWidth = 20;
// ESCOMPTE is NUMERIC(9,2): 7 digits before the point once rounded to cents.
inline constexpr std::size_t kEscompteIntegerDigits = 7;
// The discount goes into the settings statement as written; Firebird reads a literal of more than
// 18 digits as no number at all, and 7 + 11 stays within that.
inline constexpr std::size_t kEscompteFractionDigits = 11;

// The first reason the reply cannot be applied, as a French activity-log line (Windows-1252), or
// nothing for a reply the run can apply whole: at least two lines; an escompte empty or a number
// that ESCOMPTE holds; an ID that is a whole number; a nom that SETUP holds; and in every package
// line that is not blank a nom and dates that MAJ holds and a taille that is a whole number from
// 0 to 2^31-1. Trailing blanks count in dates only: Firebird drops those beyond a column's width
// silently, and only the dates are compared byte for byte afterwards.
std::optional<std::string> replyFault(const std::vector<std::string>& lines);

} // namespace halvio
