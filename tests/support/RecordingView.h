#pragma once
// A RunView without widgets for the tests of the subsystems: it keeps what the window would show
// (log lines, gauges, check boxes, captions) and answers dialogs with preset results.

#include "RunView.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace halvio::test {

class RecordingView : public RunView {
public:
    struct Gauge {
        std::int32_t minimum = 0;
        std::int32_t maximum = 100;
        std::int32_t progress = 0;
    };
    struct Dialog {
        std::string kind; // "form", "information", "plain"
        std::string text;
        int mode = 0;
        std::string details;
    };

    void appendLog(std::string_view text) override;
    void repaintNow() override { ++repaints; }
    void processMessages() override;

    void setGaugeMinimum(GaugeId gauge, std::int32_t value) override;
    void setGaugeMaximum(GaugeId gauge, std::int32_t value) override;
    void setGaugeProgress(GaugeId gauge, std::int32_t value) override;
    std::int32_t gaugeMinimum(GaugeId gauge) const override { return gauges.at(gauge).minimum; }
    std::int32_t gaugeMaximum(GaugeId gauge) const override { return gauges.at(gauge).maximum; }
    std::int32_t gaugeProgress(GaugeId gauge) const override { return gauges.at(gauge).progress; }

    void setPanelVisible(PanelId panel, bool visible) override { panels[panel] = visible; }
    bool isChecked(CheckBoxId box) const override { return checks.at(box); }
    void setChecked(CheckBoxId box, bool checked) override { checks[box] = checked; }

    std::string caption() const override { return windowCaption; }
    void setCaption(std::string_view value) override { windowCaption = value; }
    void setStartCaption(std::string_view value) override { startCaption = value; }
    void setStartEnabled(bool enabled) override { startEnabled = enabled; }
    void setClientMajCaption(std::string_view value) override { clientMaj = value; }
    void setMigrationPercentCaption(std::string_view value) override {
        migrationPercents.emplace_back(value);
    }
    void setStatusText(std::string_view text) override { statusTexts.emplace_back(text); }

    void startCountdown() override { countdownRunning = true; }
    void stopCountdown() override { countdownRunning = false; }
    void startCloseTimer() override { closeTimerStarted = true; }

    int showMessageForm(std::string_view text, int mode) override;
    void showInformation(std::string_view text, std::string_view details = {}) override;
    void showPlainMessage(std::string_view text, std::string_view details = {}) override;
    void closeWindow() override { closed = true; }

    // Log lines as UTF-8, for readable assertions.
    std::vector<std::string> logUtf8() const;

    std::vector<std::string> log; // Windows-1252, as written
    std::map<GaugeId, Gauge> gauges{{GaugeId::CurrentFile, {}}, {GaugeId::AllFiles, {}}};
    std::map<PanelId, bool> panels{{PanelId::EndPanel, false}, {PanelId::DiagNotice, false}};
    std::map<CheckBoxId, bool> checks{{CheckBoxId::NoProxy, false},
                                      {CheckBoxId::TransferStructure, false},
                                      {CheckBoxId::DirectConnection, true}};
    std::string windowCaption = "Vantorix - Mise \xE0 jour par internet";
    std::string startCaption = "D\xE9marrer";
    bool startEnabled = false;
    std::string clientMaj;
    std::vector<std::string> migrationPercents;
    std::vector<std::string> statusTexts;
    bool countdownRunning = false;
    bool closeTimerStarted = false;
    bool closed = false;
    int repaints = 0;
    int messagePasses = 0;
    std::vector<Dialog> dialogs;
    int messageFormResult = 0;
    // Called on every processMessages(), for tests that act in the middle of a long step.
    std::function<void()> onProcessMessages;
    // Called with each text appended, once it is in the log, for tests that look at the world when
    // a given line is logged.
    std::function<void(const std::string& text)> onLog;
};

} // namespace halvio::test
