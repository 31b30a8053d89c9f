#pragma once
// Statement texts carry parameters as ":name"; the client library wants "?". A colon inside a
// quoted text, a quoted identifier or a comment is no parameter.

#include <string>
#include <string_view>
#include <vector>

namespace halvio {

struct PositionalSql {
    std::string sql;                // the text with every parameter replaced by "?"
    std::vector<std::string> names; // the parameter names in order of appearance
};

PositionalSql toPositionalSql(std::string_view sql);

} // namespace halvio
