#pragma once
// The grammar of each line of a client report, as the updater writes it (Windows-1252 bytes in,
// UTF-8 values out). A reader takes one line without its break and throws LineFault with a French
// reason (without the line number) when the line does not follow the grammar exactly. Nothing in a
// line is ever run: the address line is an SQL statement only by its form.

#include "ConsoleData.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace halvio::tools::console {

class LineFault : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A SITE= line the updater may well have written, whose values cannot be told apart: its form holds
// (it ends with "|" and has the seven "~" of at least one site) but a value holding "~" or "|" moved
// the separators. The line is not split by guess: the report is read without its sites.
class AmbiguousSiteLine : public LineFault {
public:
    using LineFault::LineFault;
};

inline constexpr std::string_view kAddressLineStart = "update client set ";
inline constexpr std::string_view kFaxLineStart = "FAX=";
inline constexpr std::string_view kSiteLineStart = "SITE=";
inline constexpr std::string_view kUserLineStart = "id=";

struct AddressLine {
    ClinicAddress address;
    std::string code; // trailing blanks removed
};

// "update client set adres1='..',adres2='..',...,MAJ='..' WHERE CODE='..'": the twelve keys in the
// updater's order and case, each value an SQL literal (quotes doubled), nothing after the code.
AddressLine readAddressLine(std::string_view line);

// "FAX=site~yyyy.mm.dd~n|...|": at least one group, each ended by "|". The site is the database's
// text and may hold "~": the day and the count are the last two fields of a group, the site all
// before them. A site holding "|" cuts its group in two, which then fails: "|" cannot be told apart.
std::vector<FaxDay> readFaxLine(std::string_view line);

// "SITE=id~nom~adresse~ville~fax~faxid~faxnom~faxtel|...|": exactly eight fields per group. A value
// holding "~" or "|" makes its group fail: the line has no way to tell such a value apart. Such a
// line throws AmbiguousSiteLine; one that no site table could give (no group, no final "|", fewer
// than seven "~") throws LineFault.
std::vector<ClinicSite> readSiteLine(std::string_view line);

// "id=N|nom=..|titre=..|vigilance=X|Dernacces=..", "|Dernacces=.." may be missing. The id is an
// integer, vigilance at most one character, Dernacces blank or a day with an optional time (trailing
// blanks dropped). nom and titre are free texts: the last two keys are found from the end of the
// line (their values cannot hold "|"), "|titre=" is the first one after "|nom=": a nom holding
// "|titre=" is the one text read wrongly.
ClinicUser readUserLine(std::string_view line);

} // namespace halvio::tools::console
