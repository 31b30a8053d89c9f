#include "ReportLineGrammar.h"

#include "ReportDates.h"
#include "Windows1252.h"

#include <algorithm>
#include <array>

namespace halvio::tools::console {

namespace {

// A clinic sends a few dozen faxes a day per site; a count past this is no count of faxes.
constexpr size_t kMaxCountDigits = 6;
// id, nom, adresse, ville, fax, faxid, faxnom, faxtel.
constexpr size_t kSiteFields = 8;
// MD.ID is a 32-bit integer.
constexpr size_t kMaxIdDigits = 10;

std::string utf8(std::string_view bytes) {
    return utf8FromCp1252(bytes);
}

// Shows a piece of the line in a reason, cut so that a reason stays one short line.
std::string shown(std::string_view bytes) {
    constexpr size_t kShownBytes = 40;
    const std::string text = utf8(bytes.substr(0, kShownBytes));
    return "« " + text + (bytes.size() > kShownBytes ? "… »" : " »");
}

std::string position(size_t at) {
    return " (colonne " + std::to_string(at + 1) + ")";
}

// The SQL literal starting at `at`; `at` ends past its closing quote.
std::string readLiteral(std::string_view line, size_t& at) {
    if (at >= line.size() || line[at] != '\'')
        throw LineFault("apostrophe attendue" + position(at));
    std::string value;
    for (size_t i = at + 1; i < line.size(); ++i) {
        if (line[i] != '\'') {
            value += line[i];
            continue;
        }
        if (i + 1 < line.size() && line[i + 1] == '\'') {
            value += '\'';
            ++i;
            continue;
        }
        at = i + 1;
        return value;
    }
    throw LineFault("texte entre apostrophes non terminé" + position(at));
}

void expect(std::string_view line, size_t& at, std::string_view text) {
    if (line.substr(at, text.size()) != text)
        throw LineFault("« " + std::string(text) + " » attendu" + position(at));
    at += text.size();
}

bool isMajText(std::string_view text) {
    return isDayText(text.substr(0, 10)) &&
           (text.size() == 10 || (text.size() == 19 && text[10] == ' ' && isTimeText(text.substr(11))));
}

bool isInteger(std::string_view text, size_t maxDigits) {
    if (text.starts_with('-'))
        text.remove_prefix(1);
    return !text.empty() && text.size() <= maxDigits &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string withoutTrailingBlanks(std::string_view text) {
    const size_t end = text.find_last_not_of(' ');
    return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

// The groups of a FAX= or SITE= line: each ended by "|", none empty.
std::vector<std::string_view> groups(std::string_view line, std::string_view start) {
    std::string_view rest = line.substr(start.size());
    if (rest.empty())
        throw LineFault("aucun groupe après « " + std::string(start) + " »");
    if (!rest.ends_with('|'))
        throw LineFault("la ligne ne finit pas par « | »");
    std::vector<std::string_view> result;
    while (!rest.empty()) {
        const size_t end = rest.find('|');
        result.push_back(rest.substr(0, end));
        rest.remove_prefix(end + 1);
    }
    return result;
}

std::vector<std::string_view> fields(std::string_view group) {
    std::vector<std::string_view> result;
    for (size_t start = 0;;) {
        const size_t end = group.find('~', start);
        result.push_back(group.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            return result;
        start = end + 1;
    }
}

std::string groupPlace(size_t index) {
    return "groupe " + std::to_string(index + 1) + " : ";
}

[[noreturn]] void refuseSiteGroup(std::string_view line, size_t index, std::string_view group, size_t count) {
    const std::string reason =
        groupPlace(index) + std::to_string(count) + " champs au lieu de 8 " + shown(group);
    // One site alone writes seven "~": a line with fewer comes from no site table.
    if (std::count(line.begin(), line.end(), '~') < static_cast<std::ptrdiff_t>(kSiteFields - 1))
        throw LineFault(reason);
    throw AmbiguousSiteLine("une valeur de site contient « ~ » ou « | », la ligne ne peut pas être découpée "
                            "sans ambiguïté (" +
                            reason + ")");
}

} // namespace

AddressLine readAddressLine(std::string_view line) {
    AddressLine result;
    ClinicAddress& a = result.address;
    const std::array<std::pair<std::string_view, std::string*>, 12> columns{{{"adres1=", &a.adres1},
                                                                             {",adres2=", &a.adres2},
                                                                             {",ville=", &a.ville},
                                                                             {",postal=", &a.postal},
                                                                             {",PROV=", &a.prov},
                                                                             {",REGION=", &a.region},
                                                                             {",TEL=", &a.tel},
                                                                             {",TEL2=", &a.tel2},
                                                                             {",FAX=", &a.fax},
                                                                             {",CONTACT=", &a.contact},
                                                                             {",COURRIEL=", &a.courriel},
                                                                             {",MAJ=", &a.maj}}};
    size_t at = 0;
    expect(line, at, kAddressLineStart);
    for (const auto& [key, value] : columns) {
        expect(line, at, key);
        *value = readLiteral(line, at);
    }
    if (!isMajText(a.maj))
        throw LineFault("date MAJ invalide " + shown(a.maj));
    expect(line, at, " WHERE CODE=");
    const std::string code = readLiteral(line, at);
    if (at != line.size())
        throw LineFault("texte en trop après le code client" + position(at));
    result.code = utf8(withoutTrailingBlanks(code));
    if (result.code.empty())
        throw LineFault("code client vide");
    for (const auto& [key, value] : columns)
        *value = utf8(*value);
    return result;
}

std::vector<FaxDay> readFaxLine(std::string_view line) {
    std::vector<FaxDay> days;
    const auto all = groups(line, kFaxLineStart);
    for (size_t i = 0; i < all.size(); ++i) {
        const std::string_view group = all[i];
        const size_t countAt = group.rfind('~');
        const size_t dayAt = countAt == std::string_view::npos || countAt == 0
                                 ? std::string_view::npos
                                 : group.rfind('~', countAt - 1);
        if (dayAt == std::string_view::npos)
            throw LineFault(groupPlace(i) + "trois champs attendus (site~date~nombre) " + shown(group));
        const std::string_view day = group.substr(dayAt + 1, countAt - dayAt - 1);
        const std::string_view count = group.substr(countAt + 1);
        if (!isDayText(day))
            throw LineFault(groupPlace(i) + "date invalide " + shown(day));
        if (count.empty() || count.size() > kMaxCountDigits ||
            count.find_first_not_of("0123456789") != std::string_view::npos)
            throw LineFault(groupPlace(i) + "nombre de télécopies invalide " + shown(count));
        days.push_back({utf8(group.substr(0, dayAt)), std::string(day), std::stoi(std::string(count))});
    }
    return days;
}

std::vector<ClinicSite> readSiteLine(std::string_view line) {
    std::vector<ClinicSite> sites;
    const auto all = groups(line, kSiteLineStart);
    for (size_t i = 0; i < all.size(); ++i) {
        const auto values = fields(all[i]);
        if (values.size() != kSiteFields)
            refuseSiteGroup(line, i, all[i], values.size());
        sites.push_back({utf8(values[0]), utf8(values[1]), utf8(values[2]), utf8(values[3]), utf8(values[4]),
                         utf8(values[5]), utf8(values[6]), utf8(values[7])});
    }
    return sites;
}

ClinicUser readUserLine(std::string_view line) {
    constexpr std::string_view kNom = "|nom=", kTitre = "|titre=", kVigilance = "|vigilance=",
                               kDernacces = "|Dernacces=";
    size_t at = 0;
    expect(line, at, kUserLineStart);
    const size_t nomAt = line.find(kNom, at);
    if (nomAt == std::string_view::npos)
        throw LineFault("« |nom= » attendu");
    const std::string_view id = line.substr(at, nomAt - at);
    if (!isInteger(id, kMaxIdDigits))
        throw LineFault("id invalide " + shown(id));
    const size_t titreAt = line.find(kTitre, nomAt + kNom.size());
    if (titreAt == std::string_view::npos)
        throw LineFault("« |titre= » attendu");

    size_t end = line.size();
    std::string_view dernacces;
    const size_t dernaccesAt = line.rfind(kDernacces);
    if (dernaccesAt != std::string_view::npos && dernaccesAt > titreAt) {
        dernacces = line.substr(dernaccesAt + kDernacces.size());
        end = dernaccesAt;
    }
    const size_t vigilanceAt = line.rfind(kVigilance, end);
    if (vigilanceAt == std::string_view::npos || vigilanceAt < titreAt + kTitre.size())
        throw LineFault("« |vigilance= » attendu");
    const std::string_view vigilance =
        line.substr(vigilanceAt + kVigilance.size(), end - vigilanceAt - kVigilance.size());
    if (vigilance.size() > 1)
        throw LineFault("vigilance d'un caractère au plus attendue " + shown(vigilance));
    const std::string access = withoutTrailingBlanks(dernacces);
    if (!access.empty() && (!isDayText(access.substr(0, 10)) ||
                            (access.size() > 10 && (access[10] != ' ' || !isTimeText(access.substr(11))))))
        throw LineFault("Dernacces invalide " + shown(dernacces));
    return {std::string(id), utf8(line.substr(nomAt + kNom.size(), titreAt - nomAt - kNom.size())),
            utf8(line.substr(titreAt + kTitre.size(), vigilanceAt - titreAt - kTitre.size())),
            utf8(vigilance), access};
}

} // namespace halvio::tools::console
