#include "StoredReportName.h"

#include "ReportDates.h"

namespace halvio::tools::console {

namespace {

constexpr std::string_view kExtension = ".maj";
// A sequence restarts every second; nine digits keep it an int.
constexpr size_t kMaxSequenceDigits = 9;

bool allDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

} // namespace

bool isReportFileName(std::string_view fileName) {
    return fileName.size() > kExtension.size() && fileName.ends_with(kExtension) && fileName[0] != '.' &&
           fileName.find('/') == std::string_view::npos && fileName.find('\\') == std::string_view::npos &&
           fileName.find('\0') == std::string_view::npos;
}

std::optional<StoredReportName> readStoredReportName(std::string_view fileName) {
    if (!fileName.ends_with(kExtension))
        return std::nullopt;
    std::string_view stem = fileName.substr(0, fileName.size() - kExtension.size());
    const size_t sequenceAt = stem.rfind('_');
    if (sequenceAt == std::string_view::npos)
        return std::nullopt;
    const std::string_view sequence = stem.substr(sequenceAt + 1);
    if (!allDigits(sequence) || sequence.size() > kMaxSequenceDigits)
        return std::nullopt;
    stem = stem.substr(0, sequenceAt);
    // "_yyyymmdd-hhnnss" after a code of at least one character.
    constexpr size_t kStampSize = 15;
    if (stem.size() < kStampSize + 2 || stem[stem.size() - kStampSize - 1] != '_')
        return std::nullopt;
    const std::string_view stamp = stem.substr(stem.size() - kStampSize);
    if (stamp[8] != '-' || !allDigits(stamp.substr(0, 8)) || !allDigits(stamp.substr(9)))
        return std::nullopt;
    const std::string day = std::string(stamp.substr(0, 4)) + "." + std::string(stamp.substr(4, 2)) + "." +
                            std::string(stamp.substr(6, 2));
    const std::string time = std::string(stamp.substr(9, 2)) + ":" + std::string(stamp.substr(11, 2)) + ":" +
                             std::string(stamp.substr(13, 2));
    if (!isDayText(day) || !isTimeText(time))
        return std::nullopt;
    return StoredReportName{day + " " + time, std::stoi(std::string(sequence))};
}

} // namespace halvio::tools::console
