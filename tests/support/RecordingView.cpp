#include "RecordingView.h"

#include "TextLines.h"
#include "Windows1252.h"

#include <algorithm>

namespace halvio::test {

void RecordingView::appendLog(std::string_view text) {
    const auto lines = splitLines(text);
    if (lines.empty())
        log.emplace_back();
    for (const auto& line : lines)
        log.push_back(line);
    if (onLog)
        onLog(std::string(text));
}

void RecordingView::processMessages() {
    ++messagePasses;
    if (onProcessMessages)
        onProcessMessages();
}

void RecordingView::setGaugeMinimum(GaugeId gauge, std::int32_t value) {
    auto& g = gauges[gauge];
    g.minimum = value;
    g.progress = std::clamp(g.progress, g.minimum, std::max(g.minimum, g.maximum));
}

void RecordingView::setGaugeMaximum(GaugeId gauge, std::int32_t value) {
    auto& g = gauges[gauge];
    g.maximum = value;
    g.progress = std::clamp(g.progress, std::min(g.minimum, g.maximum), g.maximum);
}

void RecordingView::setGaugeProgress(GaugeId gauge, std::int32_t value) {
    auto& g = gauges[gauge];
    g.progress = std::clamp(value, std::min(g.minimum, g.maximum), g.maximum);
}

int RecordingView::showMessageForm(std::string_view text, int mode) {
    dialogs.push_back({"form", std::string(text), mode, {}});
    return messageFormResult;
}

void RecordingView::showInformation(std::string_view text, std::string_view details) {
    dialogs.push_back({"information", std::string(text), 0, std::string(details)});
}

void RecordingView::showPlainMessage(std::string_view text, std::string_view details) {
    dialogs.push_back({"plain", std::string(text), 0, std::string(details)});
}

std::vector<std::string> RecordingView::logUtf8() const {
    std::vector<std::string> lines;
    for (const auto& line : log)
        lines.push_back(utf8FromCp1252(line));
    return lines;
}

} // namespace halvio::test
