#include "ReportDates.h"

#include "DateTime.h"

namespace halvio::tools::console {

namespace {

bool digitsAt(std::string_view text, size_t at, size_t count) {
    for (size_t i = at; i < at + count; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

int number(std::string_view text, size_t at, size_t count) {
    int value = 0;
    for (size_t i = at; i < at + count; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

} // namespace

bool isDayText(std::string_view text) {
    if (text.size() != 10 || text[4] != '.' || text[7] != '.' || !digitsAt(text, 0, 4) ||
        !digitsAt(text, 5, 2) || !digitsAt(text, 8, 2))
        return false;
    const int year = number(text, 0, 4);
    const int month = number(text, 5, 2);
    const int day = number(text, 8, 2);
    return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month);
}

bool isTimeText(std::string_view text) {
    if (text.size() != 5 && text.size() != 8)
        return false;
    if (text[2] != ':' || !digitsAt(text, 0, 2) || !digitsAt(text, 3, 2) || number(text, 0, 2) > 23 ||
        number(text, 3, 2) > 59)
        return false;
    return text.size() == 5 || (text[5] == ':' && digitsAt(text, 6, 2) && number(text, 6, 2) <= 59);
}

std::string dayPlus(std::string_view day, int days) {
    DateTime value;
    value.year = number(day, 0, 4);
    value.month = number(day, 5, 2);
    value.day = number(day, 8, 2);
    return DateToText(addDays(value, days));
}

} // namespace halvio::tools::console
