#pragma once
// A local date and time, and the program's fixed text formats: "yyyy.mm.dd" and
// "yyyy.mm.dd hh:nn:ss" on the 24-hour clock, whatever the workstation's regional settings.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace halvio {

struct DateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend bool operator==(const DateTime&, const DateTime&) = default;

    // Day zero of the clinic application's date type: 30 December 1899, midnight.
    static DateTime dayZero() { return DateTime{}; }
    static DateTime now();
    bool isMidnight() const { return hour == 0 && minute == 0 && second == 0; }
};

// The date alone, "yyyy.mm.dd"; the time of day is ignored (7 March 2004 gives 2004.03.07).
std::string DateToText(const DateTime& value);

// "yyyy.mm.dd hh:nn:ss".
std::string DateTimeText(const DateTime& value);

// The default date-and-time text: "yyyy.mm.dd hh:mm:ss", or only the date at midnight.
std::string DefaultDateTimeText(const DateTime& value);

// Reads a text in year, month, day order with "." between the date parts and ":" between the time
// parts; the time is optional and surrounding blanks are accepted. Empty when it is no valid date.
std::optional<DateTime> parseDateTime(std::string_view text);

// Whole days added (negative to go back), keeping the time of day.
DateTime addDays(const DateTime& value, int days);

// Calendar months added, the day reduced to the last day of a shorter target month.
DateTime addMonths(const DateTime& value, int months);

int daysInMonth(int year, int month);

// Seconds since the Unix epoch for this local time, and back (the workstation's time zone).
std::int64_t toUnixSeconds(const DateTime& localTime);
DateTime fromUnixSeconds(std::int64_t seconds);

} // namespace halvio
