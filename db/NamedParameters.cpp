#include "NamedParameters.h"

namespace halvio {

namespace {
bool isNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
}
} // namespace

PositionalSql toPositionalSql(std::string_view sql) {
    PositionalSql result;
    result.sql.reserve(sql.size());
    size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            // Copy the quoted text whole; a doubled quote stays inside it.
            const size_t end = sql.find(c, i + 1);
            const size_t stop = end == std::string_view::npos ? sql.size() : end + 1;
            result.sql.append(sql.substr(i, stop - i));
            i = stop;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const size_t end = sql.find('\n', i);
            const size_t stop = end == std::string_view::npos ? sql.size() : end;
            result.sql.append(sql.substr(i, stop - i));
            i = stop;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const size_t end = sql.find("*/", i + 2);
            const size_t stop = end == std::string_view::npos ? sql.size() : end + 2;
            result.sql.append(sql.substr(i, stop - i));
            i = stop;
        } else if (c == ':' && i + 1 < sql.size() && isNameChar(sql[i + 1])) {
            size_t end = i + 1;
            while (end < sql.size() && isNameChar(sql[end]))
                ++end;
            result.names.emplace_back(sql.substr(i + 1, end - i - 1));
            result.sql += '?';
            i = end;
        } else {
            result.sql += c;
            ++i;
        }
    }
    return result;
}

} // namespace halvio
