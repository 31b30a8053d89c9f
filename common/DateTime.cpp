#include "DateTime.h"

#include <cstdio>
#include <ctime>

namespace halvio {

namespace {
bool isLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t yy = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

bool readNumber(std::string_view text, size_t& pos, int& value) {
    const size_t start = pos;
    value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 9) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    return pos > start;
}

bool expect(std::string_view text, size_t& pos, char c) {
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}
} // namespace

DateTime DateTime::now() {
    return fromUnixSeconds(static_cast<std::int64_t>(std::time(nullptr)));
}

int daysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && isLeap(year))
        return 29;
    return kDays[month - 1];
}

std::string DateToText(const DateTime& v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d.%02d.%02d", v.year, v.month, v.day);
    return buffer;
}

std::string DateTimeText(const DateTime& v) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d.%02d.%02d %02d:%02d:%02d", v.year, v.month, v.day, v.hour,
                  v.minute, v.second);
    return buffer;
}

std::string DefaultDateTimeText(const DateTime& v) {
    return v.isMidnight() ? DateToText(v) : DateTimeText(v);
}

std::optional<DateTime> parseDateTime(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    DateTime v;
    if (!readNumber(text, pos, v.year) || !expect(text, pos, '.') || !readNumber(text, pos, v.month) ||
        !expect(text, pos, '.') || !readNumber(text, pos, v.day))
        return std::nullopt;
    v.hour = v.minute = v.second = 0;
    size_t afterDate = pos;
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    if (pos < text.size() && !isBlank(text[pos]) && pos > afterDate) {
        if (!readNumber(text, pos, v.hour) || !expect(text, pos, ':') || !readNumber(text, pos, v.minute))
            return std::nullopt;
        if (expect(text, pos, ':') && !readNumber(text, pos, v.second))
            return std::nullopt;
    }
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    if (pos != text.size())
        return std::nullopt;
    if (v.year < 1 || v.year > 9999 || v.month < 1 || v.month > 12 || v.day < 1 ||
        v.day > daysInMonth(v.year, v.month) || v.hour > 23 || v.minute > 59 || v.second > 59)
        return std::nullopt;
    return v;
}

DateTime addDays(const DateTime& value, int days) {
    DateTime result = value;
    civilFromDays(daysFromCivil(value.year, value.month, value.day) + days, result.year, result.month,
                  result.day);
    return result;
}

DateTime addMonths(const DateTime& value, int months) {
    DateTime result = value;
    int total = value.year * 12 + (value.month - 1) + months;
    result.year = total / 12;
    result.month = total % 12 + 1;
    const int last = daysInMonth(result.year, result.month);
    if (result.day > last)
        result.day = last;
    return result;
}

std::int64_t toUnixSeconds(const DateTime& v) {
    std::tm parts{};
    parts.tm_year = v.year - 1900;
    parts.tm_mon = v.month - 1;
    parts.tm_mday = v.day;
    parts.tm_hour = v.hour;
    parts.tm_min = v.minute;
    parts.tm_sec = v.second;
    parts.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&parts));
}

DateTime fromUnixSeconds(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    localtime_r(&t, &parts);
    return DateTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                    parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

} // namespace halvio
