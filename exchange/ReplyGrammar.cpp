#include "ReplyGrammar.h"

#include "Fonction.h"
#include "Windows1252.h"

#include <algorithm>
#include <limits>

namespace halvio {

namespace {
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

enum class DiscountReading { Fits, NotANumber, BeyondColumn };

// An escompte that "escompte=0" + value turns into a number: an optional sign, digits, and
// optionally a point followed by digits. It fits when ESCOMPTE holds it once Firebird has rounded
// it to cents, half away from zero (9999999.995 would become 10000000.00), and when the literal
// stays one that Firebird reads.
DiscountReading readDiscount(std::string_view text) {
    size_t pos = 0;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+'))
        ++pos;
    const size_t integerStart = pos;
    while (pos < text.size() && isDigit(text[pos]))
        ++pos;
    std::string_view integerPart = text.substr(integerStart, pos - integerStart);
    if (integerPart.empty())
        return DiscountReading::NotANumber;
    std::string_view fraction;
    if (pos < text.size() && text[pos] == '.') {
        const size_t fractionStart = ++pos;
        while (pos < text.size() && isDigit(text[pos]))
            ++pos;
        if (pos == fractionStart)
            return DiscountReading::NotANumber;
        fraction = text.substr(fractionStart, pos - fractionStart);
    }
    if (pos != text.size())
        return DiscountReading::NotANumber;
    const size_t firstSignificant = std::min(integerPart.find_first_not_of('0'), integerPart.size());
    integerPart.remove_prefix(firstSignificant);
    if (integerPart.size() > kEscompteIntegerDigits || fraction.size() > kEscompteFractionDigits)
        return DiscountReading::BeyondColumn;
    std::int64_t cents = 0;
    for (char digit : integerPart)
        cents = cents * 10 + (digit - '0');
    for (size_t i = 0; i < 2; ++i)
        cents = cents * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    if (fraction.size() > 2 && fraction[2] >= '5')
        ++cents;
    constexpr std::int64_t kLargestCents = 999'999'999; // 9999999.99
    return cents > kLargestCents ? DiscountReading::BeyondColumn : DiscountReading::Fits;
}

std::string_view withoutTrailingBlanks(std::string_view text) {
    const size_t last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

// The ID goes into the statement as sent; blanks around it are harmless there, anything else not.
std::string_view withoutBlanks(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}
} // namespace

std::string invalidReplyLine(std::string_view reason) {
    return fr("Réponse du serveur de mise à jour invalide : ") + std::string(reason) +
           fr(" Aucune mise à jour appliquée.");
}

std::vector<std::string> replyFields(std::string_view line) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        const size_t bar = line.find('|', start);
        if (bar == std::string_view::npos) {
            fields.emplace_back(line.substr(start));
            return fields;
        }
        fields.emplace_back(line.substr(start, bar - start));
        start = bar + 1;
    }
}

std::string fieldValue(const std::vector<std::string>& fields, std::string_view key) {
    for (const auto& field : fields) {
        const size_t equals = field.find('=');
        if (equals != std::string::npos &&
            equalsIgnoringAsciiCase(std::string_view(field).substr(0, equals), key))
            return field.substr(equals + 1);
    }
    return {};
}

std::string settingsStatement(std::string_view nom, std::string_view escompte, std::string_view id) {
    return "update setup set nom=" + Quoted(nom) + ",nomx=" + Quoted(nom) + "," + "escompte=0" +
           Trimmed(escompte) + ",dsq_eventprefix=" + std::string(id);
}

bool lowerInByteOrder(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

bool isPending(const std::optional<std::string>& installed, std::string_view offered) {
    if (!installed)
        return !offered.empty();
    return lowerInByteOrder(ReplaceAll(*installed, "/", "."), ReplaceAll(offered, "/", "."));
}

std::optional<std::int32_t> wholeNumber32(std::string_view text) {
    size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+'))
        negative = text[pos++] == '-';
    if (pos == text.size())
        return std::nullopt;
    std::int64_t value = 0;
    for (; pos < text.size(); ++pos) {
        if (!isDigit(text[pos]))
            return std::nullopt;
        value = value * 10 + (text[pos] - '0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

bool isBlankLine(std::string_view line) {
    return Trimmed(line).empty();
}

OfferedPackage readPackageLine(std::string_view line) {
    const auto fields = replyFields(line);
    OfferedPackage package;
    package.nom = fieldValue(fields, "nom");
    package.dates = fieldValue(fields, "dates");
    package.description = fieldValue(fields, "description");
    package.taille = wholeNumber32(Trimmed(fieldValue(fields, "taille"))).value_or(0);
    return package;
}

namespace {
std::optional<std::string> settingsFault(const std::string& settingsLine) {
    const auto settings = replyFields(settingsLine);
    const std::string escompte = Trimmed(fieldValue(settings, "escompte"));
    if (!escompte.empty()) {
        const DiscountReading reading = readDiscount(escompte);
        if (reading == DiscountReading::NotANumber)
            return invalidReplyLine(fr("l'escompte \"") + escompte + fr("\" n'est pas un nombre."));
        if (reading == DiscountReading::BeyondColumn)
            return invalidReplyLine(fr("l'escompte \"") + escompte +
                                fr("\" dépasse ce que la base de données peut enregistrer."));
    }
    const std::string id = fieldValue(settings, "ID");
    if (!wholeNumber32(withoutBlanks(id)))
        return invalidReplyLine(fr("l'ID \"") + id + fr("\" n'est pas un nombre entier."));
    const std::string nom = fieldValue(settings, "nom");
    if (withoutTrailingBlanks(nom).size() > kSettingsNameWidth)
        return invalidReplyLine(fr("le nom \"") + nom + fr("\" dépasse ") + std::to_string(kSettingsNameWidth) +
                            fr(" caractères."));
    return std::nullopt;
}

std::optional<std::string> packageLineFault(const std::string& line) {
    const auto fields = replyFields(line);
    const std::string nom = fieldValue(fields, "nom");
    if (withoutTrailingBlanks(nom).size() > kPackageNameWidth)
        return invalidReplyLine(fr("le nom du paquet \"") + nom + fr("\" dépasse ") +
                            std::to_string(kPackageNameWidth) + fr(" caractères."));
    const std::string dates = fieldValue(fields, "dates");
    if (dates.size() > kPackageDatesWidth)
        return invalidReplyLine(fr("la date \"") + dates + fr("\" du paquet \"") + nom + fr("\" dépasse ") +
                            std::to_string(kPackageDatesWidth) + fr(" caractères."));
    const std::string taille = fieldValue(fields, "taille");
    const auto size = wholeNumber32(Trimmed(taille));
    if (!size)
        return invalidReplyLine(fr("la taille \"") + taille + fr("\" du paquet \"") + nom +
                            fr("\" n'est pas un nombre entier de 32 bits."));
    if (*size < 0)
        return invalidReplyLine(fr("la taille \"") + taille + fr("\" du paquet \"") + nom +
                            fr("\" est négative."));
    return std::nullopt;
}
} // namespace

std::optional<std::string> replyFault(const std::vector<std::string>& lines) {
    if (lines.size() < 2)
        return invalidReplyLine(fr("elle a moins de deux lignes."));
    if (auto fault = settingsFault(lines[0]))
        return fault;
    for (size_t i = 2; i < lines.size(); ++i) {
        if (isBlankLine(lines[i]))
            continue;
        if (auto fault = packageLineFault(lines[i]))
            return fault;
    }
    return std::nullopt;
}

} // namespace halvio
