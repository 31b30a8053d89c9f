#include "HttpHeaders.h"

#include "Fonction.h"

namespace halvio::platform {

std::optional<std::string> singleHeader(const HttpHeaders& headers, std::string_view name) {
    std::optional<std::string> found;
    for (const auto& [headerName, value] : headers) {
        if (!equalsIgnoringAsciiCase(headerName, name))
            continue;
        if (found)
            return std::nullopt;
        found = value;
    }
    return found;
}

bool startsWithNoCase(std::string_view line, std::string_view prefix) {
    return line.size() >= prefix.size() && equalsIgnoringAsciiCase(line.substr(0, prefix.size()), prefix);
}

std::string withoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    return std::string(line);
}

std::optional<std::pair<std::string, std::string>> parseHeaderLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    std::string value = withoutLineEnd(line.substr(colon + 1));
    const std::size_t first = value.find_first_not_of(" \t");
    value.erase(0, first == std::string::npos ? value.size() : first);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.pop_back();
    return std::pair{std::string(line.substr(0, colon)), std::move(value)};
}

} // namespace halvio::platform
