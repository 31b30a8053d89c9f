#include "DateTime.h"

#include <gtest/gtest.h>

using namespace halvio;

TEST(DateTexts, FixedFormats) {
    const DateTime march7{2004, 3, 7, 14, 5, 9};
    EXPECT_EQ(DateToText(march7), "2004.03.07");
    EXPECT_EQ(DateTimeText(march7), "2004.03.07 14:05:09");
    EXPECT_EQ(DefaultDateTimeText(march7), "2004.03.07 14:05:09");
    EXPECT_EQ(DefaultDateTimeText(DateTime{2004, 3, 7, 0, 0, 0}), "2004.03.07");
    EXPECT_EQ(DateToText(addDays(DateTime::dayZero(), -1)), "1899.12.29");
}

TEST(DateTexts, ReadingBack) {
    struct Case {
        const char* text;
        std::optional<DateTime> expected;
    };
    const Case cases[] = {
        {"2004.05.12 10:22:33 ", DateTime{2004, 5, 12, 10, 22, 33}},
        {"2004.05.12 10:22:33", DateTime{2004, 5, 12, 10, 22, 33}},
        {"2004.05.12", DateTime{2004, 5, 12, 0, 0, 0}},
        {"2004.05.12 10:22", DateTime{2004, 5, 12, 10, 22, 0}},
        {"2004/05/12 10:22:33", std::nullopt},
        {"2004.02.30 10:22:33", std::nullopt},
        {"2004.05.12 25:00:00", std::nullopt},
        {"hier", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseDateTime(c.text), c.expected) << c.text;
}

TEST(DateTexts, MonthsBackAreReducedToTheLastDay) {
    struct Case {
        DateTime from;
        const char* expected;
    };
    const Case cases[] = {
        {{2004, 5, 31, 10, 15, 0}, "2004.02.29"},
        {{2005, 5, 31, 10, 15, 0}, "2005.02.28"},
        {{2004, 4, 15, 10, 15, 0}, "2004.01.15"},
        {{2005, 3, 31, 10, 15, 0}, "2004.12.31"},
        {{2004, 1, 10, 0, 0, 0}, "2003.10.10"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DateToText(addMonths(c.from, -3)), c.expected);
    EXPECT_EQ(DateToText(addDays(DateTime{2004, 3, 1, 0, 0, 0}, -1)), "2004.02.29");
}

TEST(DateTexts, UnixSecondsRoundTripInLocalTime) {
    const DateTime value{2004, 5, 12, 10, 22, 33};
    EXPECT_EQ(fromUnixSeconds(toUnixSeconds(value)), value);
}
