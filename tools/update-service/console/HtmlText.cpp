#include "HtmlText.h"

namespace halvio::tools::console {

std::string escapeHtml(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            if ((byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7F)
                escaped += "\xEF\xBF\xBD";
            else
                escaped += c;
        }
    }
    return escaped;
}

std::string frenchNumber(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += "\u202F"; // NARROW NO-BREAK SPACE
        grouped += digits[i];
    }
    return grouped;
}

} // namespace halvio::tools::console
