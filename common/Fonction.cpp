#include "Fonction.h"

namespace halvio {

namespace {
bool isTrimmable(char c) {
    return static_cast<unsigned char>(c) <= 32;
}
char upperChar(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char lowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

std::string Trimmed(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isTrimmable(text[begin]))
        ++begin;
    while (end > begin && isTrimmable(text[end - 1]))
        --end;
    return std::string(text.substr(begin, end - begin));
}

std::string Quoted(std::string_view text) {
    std::string result;
    result.reserve(text.size() + 2);
    result += '\'';
    for (char c : text) {
        if (c == '\'')
            result += '\'';
        result += c;
    }
    result += '\'';
    return result;
}

std::string ReplaceAll(std::string_view text, std::string_view oldText, std::string_view newText) {
    if (oldText.empty())
        return std::string(text);
    std::string result;
    result.reserve(text.size());
    size_t pos = 0;
    while (true) {
        const size_t found = text.find(oldText, pos);
        if (found == std::string_view::npos)
            break;
        result.append(text.substr(pos, found - pos));
        result.append(newText);
        pos = found + oldText.size();
    }
    result.append(text.substr(pos));
    return result;
}

std::string upperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = upperChar(c);
    return result;
}

std::string lowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = lowerChar(c);
    return result;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (upperChar(a[i]) != upperChar(b[i]))
            return false;
    }
    return true;
}

} // namespace halvio
