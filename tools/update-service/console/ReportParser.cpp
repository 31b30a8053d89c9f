#include "ReportParser.h"

#include "ReportLineGrammar.h"
#include "TextLines.h"
#include "Windows1252.h"

namespace halvio::tools::console {

namespace {

// The kinds of line in the order a report holds them; a line may only follow one of a lower rank.
enum class Rank { Start, Address, Fax, Site, User };

std::string lineFault(size_t number, const std::string& reason) {
    return "ligne " + std::to_string(number) + " : " + reason;
}

std::string startShown(std::string_view line) {
    constexpr size_t kShownBytes = 30;
    return "« " + utf8FromCp1252(line.substr(0, kShownBytes)) + (line.size() > kShownBytes ? "… »" : " »");
}

std::string wholeFault(std::string_view bytes) {
    if (bytes.empty())
        return "rapport vide";
    if (bytes.size() > kMaxReportFileBytes)
        return "rapport de " + std::to_string(bytes.size()) + " octets, au-delà de la limite de " +
               std::to_string(kMaxReportFileBytes);
    if (const size_t nul = bytes.find('\0'); nul != std::string_view::npos)
        return "octet nul à la position " + std::to_string(nul + 1);
    // The updater ends every line, the last one too: a report cut in transit ends mid-line.
    if (!bytes.ends_with('\n') && !bytes.ends_with('\r'))
        return "la dernière ligne n'est pas terminée (rapport tronqué)";
    return {};
}

void readLine(std::string_view line, Rank& rank, size_t number, ReportReading& reading) {
    ParsedReport& report = *reading.report;
    if (line.empty())
        throw LineFault("ligne vide");
    if (line.starts_with(kAddressLineStart)) {
        if (rank != Rank::Start)
            throw LineFault("instruction d'adresse ailleurs qu'en première ligne");
        AddressLine address = readAddressLine(line);
        report.address = std::move(address.address);
        report.code = reading.code = std::move(address.code);
        rank = Rank::Address;
        return;
    }
    const bool known = line.starts_with(kFaxLineStart) || line.starts_with(kSiteLineStart) ||
                       line.starts_with(kUserLineStart);
    if (!known)
        throw LineFault("ligne inconnue " + startShown(line));
    if (rank == Rank::Start)
        throw LineFault(number == 1 ? "pas d'instruction d'adresse (client sans code, NOUVEAU)"
                                    : "instruction d'adresse attendue");
    if (line.starts_with(kFaxLineStart)) {
        if (rank >= Rank::Fax)
            throw LineFault("ligne FAX= hors de sa place");
        report.faxes = readFaxLine(line);
        rank = Rank::Fax;
    } else if (line.starts_with(kSiteLineStart)) {
        if (rank >= Rank::Site)
            throw LineFault("ligne SITE= hors de sa place");
        try {
            report.sites = readSiteLine(line);
        } catch (const AmbiguousSiteLine& fault) {
            report.sitesFault = lineFault(number, fault.what());
        }
        rank = Rank::Site;
    } else {
        report.users.push_back(readUserLine(line));
        rank = Rank::User;
    }
}

} // namespace

ReportReading parseReport(std::string_view bytes) {
    ReportReading reading;
    if (std::string fault = wholeFault(bytes); !fault.empty()) {
        reading.fault = std::move(fault);
        return reading;
    }
    const std::vector<std::string> lines = splitLines(bytes);
    if (lines.size() > kMaxReportLines) {
        reading.fault = std::to_string(lines.size()) + " lignes, au-delà de la limite de " +
                        std::to_string(kMaxReportLines);
        return reading;
    }
    reading.report.emplace();
    Rank rank = Rank::Start;
    for (size_t i = 0; i < lines.size(); ++i) {
        try {
            readLine(lines[i], rank, i + 1, reading);
        } catch (const LineFault& fault) {
            reading.report.reset();
            reading.fault = lineFault(i + 1, fault.what());
            return reading;
        }
    }
    return reading;
}

} // namespace halvio::tools::console
