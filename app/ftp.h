#pragma once
// The main window: it owns every component of a run for the program's life, and its handlers are
// the steps of the run. Each handler stays thin and calls the code of its subsystem.

#include "CrashReport.h"
#include "FtpformLayout.h"
#include "HttpClient.h"
#include "Model.h"
#include "RunContext.h"
#include "RunLogFile.h"
#include "RunView.h"
#include "ZipReader.h"

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <string>

namespace halvio {

class TFtpform : public QWidget, public RunView {
    Q_OBJECT

public:
    // programFile: the running program file; its folder holds kliso.ini and the update folder.
    explicit TFtpform(const std::string& programFile);
    ~TFtpform() override;

    // Handlers, named as the run knows them.
    void FormCreate();
    void FormShow();
    void Button1Click();
    void Button3Click();
    void Timer1Timer();
    void Timer3Timer();
    void SpeedButton1Click();
    // After an unexpected error: the run ends with the timed close.
    void endRunAfterError();
    void HTTPWorkBegin(std::int64_t expectedCount);
    void HTTPWork(std::int64_t runningCount);
    void HTTPStatus(const std::string& statusText);
    std::string getproxy();
    void diag();

    // RunView
    void appendLog(std::string_view text) override;
    void repaintNow() override;
    void processMessages() override;
    void setGaugeMinimum(GaugeId gauge, std::int32_t value) override;
    void setGaugeMaximum(GaugeId gauge, std::int32_t value) override;
    void setGaugeProgress(GaugeId gauge, std::int32_t value) override;
    std::int32_t gaugeMinimum(GaugeId gauge) const override;
    std::int32_t gaugeMaximum(GaugeId gauge) const override;
    std::int32_t gaugeProgress(GaugeId gauge) const override;
    void setPanelVisible(PanelId panel, bool visible) override;
    bool isChecked(CheckBoxId box) const override;
    void setChecked(CheckBoxId box, bool checked) override;
    std::string caption() const override;
    void setCaption(std::string_view caption) override;
    void setStartCaption(std::string_view caption) override;
    void setStartEnabled(bool enabled) override;
    void setClientMajCaption(std::string_view caption) override;
    void setMigrationPercentCaption(std::string_view caption) override;
    void setStatusText(std::string_view text) override;
    void startCountdown() override;
    void stopCountdown() override;
    void startCloseTimer() override;
    int showMessageForm(std::string_view text, int mode) override;
    void showInformation(std::string_view text, std::string_view details = {}) override;
    void showPlainMessage(std::string_view text, std::string_view details = {}) override;
    void closeWindow() override;

    Model model;
    platform::HttpClient HTTP;
    platform::HttpClient httplocal;
    platform::ZipReader uz;
    QTimer Timer1;
    QTimer Timer3;
    FtpformLayout layout;
    // The program folder's maj_kliso.log: the activity log and the crash reports' errors of every run.
    platform::RunLogFile runLog;
    CrashReport crashReport;
    RunContext context;

protected:
    void showEvent(QShowEvent* event) override;

private:
    class Gauge& gauge(GaugeId id) const;
    QCheckBox* checkBox(CheckBoxId id) const;

    bool m_shown = false;
};

} // namespace halvio
