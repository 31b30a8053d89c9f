#include "FbValues.h"

#include "Fonction.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace halvio::platform {

namespace {

std::int64_t powerOfTen(int exponent) {
    std::int64_t value = 1;
    for (int i = 0; i < exponent; ++i)
        value *= 10;
    return value;
}

std::string scaledText(std::int64_t value, int scale) {
    if (scale >= 0)
        return std::to_string(value * powerOfTen(scale));
    const std::int64_t divisor = powerOfTen(-scale);
    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string text = std::to_string(magnitude / divisor);
    std::string fraction = std::to_string(magnitude % divisor);
    fraction.insert(0, static_cast<size_t>(-scale) - fraction.size(), '0');
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    if (!fraction.empty())
        text += "." + fraction;
    return (negative ? "-" : "") + text;
}

DateTime fromTm(const std::tm& parts) {
    return DateTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                    parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

template <typename T> T stored(const XSQLVAR& column) {
    T value;
    std::memcpy(&value, column.sqldata, sizeof value);
    return value;
}

// The stored whole number, before its scale.
std::int64_t unscaledInteger(const XSQLVAR& column) {
    switch (column.sqltype & ~1) {
    case SQL_SHORT:
        return stored<ISC_SHORT>(column);
    case SQL_LONG:
        return stored<ISC_LONG>(column);
    case SQL_INT64:
        return stored<ISC_INT64>(column);
    default:
        return 0;
    }
}

double floatValue(const XSQLVAR& column) {
    if ((column.sqltype & ~1) == SQL_FLOAT)
        return stored<float>(column);
    return stored<double>(column);
}

std::string rawText(const XSQLVAR& column) {
    if ((column.sqltype & ~1) == SQL_VARYING)
        return std::string(column.sqldata + 2, stored<unsigned short>(column));
    return std::string(column.sqldata, static_cast<size_t>(column.sqllen));
}

std::string timeText(const DateTime& time) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", time.hour, time.minute, time.second);
    return buffer;
}

DatabaseError unreadable(const XSQLVAR& column, const char* as) {
    return DatabaseError("Column " + columnNameOf(column) + " cannot be read as " + as);
}

} // namespace

ColumnKind columnKindOf(const XSQLVAR& column) {
    switch (column.sqltype & ~1) {
    case SQL_TEXT:
    case SQL_VARYING:
        return ColumnKind::Text;
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        return column.sqlscale < 0 ? ColumnKind::Decimal : ColumnKind::Integer;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return ColumnKind::Float;
    case SQL_TYPE_DATE:
        return ColumnKind::Date;
    case SQL_TYPE_TIME:
        return ColumnKind::Time;
    case SQL_TIMESTAMP:
        return ColumnKind::Timestamp;
    case SQL_BLOB:
        return ColumnKind::Blob;
    default:
        return ColumnKind::Other;
    }
}

std::string columnNameOf(const XSQLVAR& column) {
    return std::string(column.aliasname, static_cast<size_t>(column.aliasname_length));
}

std::string decodeText(const XSQLVAR& column) {
    switch (columnKindOf(column)) {
    case ColumnKind::Text:
        return rawText(column);
    case ColumnKind::Integer:
    case ColumnKind::Decimal:
        return scaledText(unscaledInteger(column), column.sqlscale);
    case ColumnKind::Float: {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.15g", floatValue(column));
        return buffer;
    }
    case ColumnKind::Date:
        return DateToText(decodeDateTime(column));
    case ColumnKind::Time:
        return timeText(decodeDateTime(column));
    case ColumnKind::Timestamp:
        return DefaultDateTimeText(decodeDateTime(column));
    case ColumnKind::Blob:
    case ColumnKind::Other:
        break;
    }
    throw unreadable(column, "text");
}

std::int64_t decodeInteger(const XSQLVAR& column) {
    switch (columnKindOf(column)) {
    case ColumnKind::Integer:
    case ColumnKind::Decimal: {
        const std::int64_t value = unscaledInteger(column);
        const int scale = column.sqlscale;
        return scale >= 0 ? value * powerOfTen(scale) : value / powerOfTen(-scale);
    }
    case ColumnKind::Float:
        return static_cast<std::int64_t>(std::llround(floatValue(column)));
    case ColumnKind::Text: {
        const std::string text = Trimmed(rawText(column));
        char* end = nullptr;
        const long long value = std::strtoll(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0')
            throw DatabaseError("'" + text + "' is not a valid integer value");
        return value;
    }
    default:
        throw unreadable(column, "an integer");
    }
}

DateTime decodeDateTime(const XSQLVAR& column) {
    std::tm parts{};
    switch (columnKindOf(column)) {
    case ColumnKind::Timestamp: {
        ISC_TIMESTAMP value = stored<ISC_TIMESTAMP>(column);
        isc_decode_timestamp(&value, &parts);
        return fromTm(parts);
    }
    case ColumnKind::Date: {
        ISC_DATE value = stored<ISC_DATE>(column);
        isc_decode_sql_date(&value, &parts);
        return fromTm(parts);
    }
    case ColumnKind::Time: {
        ISC_TIME value = stored<ISC_TIME>(column);
        isc_decode_sql_time(&value, &parts);
        DateTime time = DateTime::dayZero();
        time.hour = parts.tm_hour;
        time.minute = parts.tm_min;
        time.second = parts.tm_sec;
        return time;
    }
    case ColumnKind::Text: {
        const std::string text = rawText(column);
        if (auto value = parseDateTime(text))
            return *value;
        throw DatabaseError("'" + Trimmed(text) + "' is not a valid date and time");
    }
    default:
        throw unreadable(column, "a date");
    }
}

} // namespace halvio::platform
