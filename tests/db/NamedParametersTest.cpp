#include "NamedParameters.h"

#include <gtest/gtest.h>

using namespace halvio;

TEST(NamedParameters, ColonsInsideQuotesAreNoParameters) {
    struct Case {
        const char* sql;
        const char* positional;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"update maj set FICHIER=:image  where nom='X'", "update maj set FICHIER=?  where nom='X'", {"image"}},
        {"insert into maj values ('a:b','2004.05.12 10:22:33',:image)",
         "insert into maj values ('a:b','2004.05.12 10:22:33',?)",
         {"image"}},
        {"select 'it''s :not' from x where a=:a and b=:b", "select 'it''s :not' from x where a=? and b=?", {"a", "b"}},
        {"select \"A:B\" from t", "select \"A:B\" from t", {}},
        {"select 1 from t -- :x\nwhere a=:y", "select 1 from t -- :x\nwhere a=?", {"y"}},
        {"select a : b", "select a : b", {}},
    };
    for (const auto& c : cases) {
        const auto result = toPositionalSql(c.sql);
        EXPECT_EQ(result.sql, c.positional);
        EXPECT_EQ(result.names, c.names);
    }
}
