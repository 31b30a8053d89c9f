#include "ftp.h"

#include "ConnectionAtStart.h"
#include "DiagMigration.h"
#include "Exchange.h"
#include "Files.h"
#include "Gauge.h"
#include "KlisoIni.h"
#include "MessageForm.h"
#include "PackageTransfer.h"
#include "ProgramPath.h"
#include "ProxySetting.h"
#include "ProxyText.h"
#include "SpeedButton.h"
#include "StatusPanels.h"
#include "TransferProgress.h"
#include "UiText.h"
#include "Windows1252.h"
#include "WorkstationNotifier.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QShowEvent>

#include <chrono>
#include <cstdlib>

namespace halvio {

TFtpform::TFtpform(const std::string& programFile)
    : model(*this), HTTP(platform::HttpClient::Options{true}), httplocal(notificationClientOptions()),
      layout(*this, model.tmem), runLog(platform::joinPath(platform::folderOf(programFile), "maj_kliso.log")),
      crashReport(platform::joinPath(platform::folderOf(programFile), "maj_kliso.err")),
      context{*this, model, HTTP, httplocal, uz, programFile, platform::folderOf(programFile),
              0,     {},    {},   {}} {
    setObjectName("Ftpform");
    Timer1.setInterval(1000);
    Timer3.setInterval(std::chrono::seconds(kCloseDelaySeconds));
    Timer3.setSingleShot(true);
    connect(&Timer1, &QTimer::timeout, this,
            [this] { crashReport.guard("Timer1Timer", [this] { Timer1Timer(); }); });
    connect(&Timer3, &QTimer::timeout, this,
            [this] { crashReport.guard("Timer3Timer", [this] { Timer3Timer(); }); });
    connect(layout.Button1, &QPushButton::clicked, this,
            [this] { crashReport.guard("Button1Click", [this] { Button1Click(); }); });
    connect(layout.SpeedButton1, &QPushButton::clicked, this, [this] { SpeedButton1Click(); });

    HTTP.setIdle([] { QCoreApplication::processEvents(); });
    httplocal.setIdle([] { QCoreApplication::processEvents(); });
    // A statement over a whole table (the DIAG migration's), a package recorded whole or unpacked keep
    // the window from its messages for seconds: it goes on painting and running its timers meanwhile.
    // Clicks and keys wait for the call to end, as they always have: no step starts in the middle
    // of another.
    const auto paintAndTimers = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
    model.IB.attachment().setIdle(paintAndTimers);
    model.ibfax.attachment().setIdle(paintAndTimers);
    uz.setIdle(paintAndTimers);
    context.paintAndTimers = paintAndTimers;
    HTTP.setEvents(transferProgressEvents(context));

    context.Button3Click = [this] { Button3Click(); };
    context.saveBetaFlag = [this](bool directConnection) {
        rewriteBetaFlag(klisoIniPath(context.programFolder), directConnection);
    };

    runLog.startRun(fr("===== Démarrage de la mise à jour par internet : ") + programFile);
    crashReport.alsoLog = [this](const std::string& text) { runLog.append(text); };

    crashReport.endRun = [this] { endRunAfterError(); };
    crashReport.guard(
        "FormCreate", [this] { FormCreate(); }, CrashReport::Outcome::RunGoesOn);
}

TFtpform::~TFtpform() = default;

void TFtpform::FormCreate() {
    // Every date the run writes or compares uses the fixed formats, whatever the workstation says.
    QLocale::setDefault(QLocale::c());
    const std::string iniFile = klisoIniPath(context.programFolder);
    if (platform::fileExists(iniFile)) {
        const KlisoIniSettings settings = settingsFromKlisoIni(readKlisoIni(iniFile));
        model.IB.setConnectionName(settings.clinicConnection);
        if (settings.ticksDirectConnection)
            layout.CheckBox2->setChecked(true);
        model.ibfax.setConnectionName(settings.faxConnection);
    }
    const std::string proxyText = getproxy();
    // The server is set before the port is read: a port that is no number leaves it set, port 0.
    HTTP.setProxy(platform::proxyServerFromText(proxyText), 0);
    HTTP.setProxy(HTTP.proxyHost(), platform::proxyPortFromText(proxyText));
}

std::string TFtpform::getproxy() {
    return platform::proxyTextFromSetting(platform::queryProxySetting());
}

void TFtpform::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // Runs once the window is on screen, from the message loop.
    QTimer::singleShot(0, this, [this] { crashReport.guard("FormShow", [this] { FormShow(); }); });
}

void TFtpform::FormShow() {
    connectAtStart(context);
}

void TFtpform::Button1Click() {
    runExchange(context);
}

void TFtpform::Button3Click() {
    halvio::Button3Click(context);
}

void TFtpform::diag() {
    halvio::diag(context);
}

void TFtpform::HTTPWorkBegin(std::int64_t expectedCount) {
    halvio::HTTPWorkBegin(context, expectedCount);
}

void TFtpform::HTTPWork(std::int64_t runningCount) {
    halvio::HTTPWork(context, runningCount);
}

void TFtpform::HTTPStatus(const std::string& statusText) {
    halvio::HTTPStatus(context, statusText);
}

void TFtpform::Timer1Timer() {
    layout.Button1->setText(
        qtextFromCp1252(fr("Démarrer (") + std::to_string(layout.Button1->tag()) + " sec.)"));
    layout.Button1->setTag(layout.Button1->tag() - 1);
    if (layout.Button1->tag() < 0)
        Button1Click();
}

void TFtpform::Timer3Timer() {
    Timer3.stop();
    close();
    QApplication::quit();
}

void TFtpform::endRunAfterError() {
    // As a failed run ends: nothing more is started, SETUP is not stamped, and the window closes by
    // itself.
    Timer1.stop();
    layout.Button1->setEnabled(false);
    model.log(fr("Mise à jour interrompue par une erreur inattendue. Fermeture dans ") + closeDelayText() +
              ".");
    Timer3.start();
}

void TFtpform::SpeedButton1Click() {
    // "Abandonner": the process ends here, in whatever step it is.
    std::_Exit(0);
}

// ---- RunView -------------------------------------------------------------------------------

void TFtpform::appendLog(std::string_view text) {
    layout.Memo2->appendPlainText(qtextFromCp1252(text));
    runLog.append(text);
}

void TFtpform::repaintNow() {
    repaint();
}

void TFtpform::processMessages() {
    QCoreApplication::processEvents();
}

Gauge& TFtpform::gauge(GaugeId id) const {
    return *(id == GaugeId::CurrentFile ? layout.p1 : layout.p2);
}

void TFtpform::setGaugeMinimum(GaugeId id, std::int32_t value) {
    gauge(id).setMinimum(value);
}

void TFtpform::setGaugeMaximum(GaugeId id, std::int32_t value) {
    gauge(id).setMaximum(value);
}

void TFtpform::setGaugeProgress(GaugeId id, std::int32_t value) {
    gauge(id).setProgress(value);
}

std::int32_t TFtpform::gaugeMinimum(GaugeId id) const {
    return gauge(id).minimum();
}

std::int32_t TFtpform::gaugeMaximum(GaugeId id) const {
    return gauge(id).maximum();
}

std::int32_t TFtpform::gaugeProgress(GaugeId id) const {
    return gauge(id).progress();
}

void TFtpform::setPanelVisible(PanelId panel, bool visible) {
    QWidget* shown = panel == PanelId::EndPanel ? layout.Panel1 : layout.Panel5;
    shown->setVisible(visible);
    // The steps that show a notice go on without processing messages for a while: draw it now.
    if (visible)
        shown->repaint();
}

QCheckBox* TFtpform::checkBox(CheckBoxId id) const {
    switch (id) {
    case CheckBoxId::NoProxy:
        return layout.CheckBox3;
    case CheckBoxId::TransferStructure:
        return layout.CheckBox1;
    case CheckBoxId::DirectConnection:
        break;
    }
    return layout.CheckBox2;
}

bool TFtpform::isChecked(CheckBoxId id) const {
    return checkBox(id)->isChecked();
}

void TFtpform::setChecked(CheckBoxId id, bool checked) {
    checkBox(id)->setChecked(checked);
}

std::string TFtpform::caption() const {
    return cp1252FromQtext(windowTitle());
}

void TFtpform::setCaption(std::string_view text) {
    setWindowTitle(qtextFromCp1252(text));
}

void TFtpform::setStartCaption(std::string_view text) {
    layout.Button1->setText(qtextFromCp1252(text));
}

void TFtpform::setStartEnabled(bool enabled) {
    layout.Button1->setEnabled(enabled);
}

void TFtpform::setClientMajCaption(std::string_view text) {
    layout.clientmaj->setText(qtextFromCp1252(text));
}

void TFtpform::setMigrationPercentCaption(std::string_view text) {
    layout.Label11->setText(qtextFromCp1252(text));
}

void TFtpform::setStatusText(std::string_view text) {
    layout.s1->setPanelText(0, qtextFromCp1252(text));
}

void TFtpform::startCountdown() {
    Timer1.start();
}

void TFtpform::stopCountdown() {
    Timer1.stop();
}

void TFtpform::startCloseTimer() {
    Timer3.start();
}

int TFtpform::showMessageForm(std::string_view text, int mode) {
    return ShowMessageForm(text, mode);
}

void TFtpform::showInformation(std::string_view text, std::string_view details) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), qtextFromCp1252(text),
                    QMessageBox::Ok, this);
    box.setObjectName("information");
    if (!details.empty())
        box.setDetailedText(qtextFromCp1252(details));
    box.exec();
}

void TFtpform::showPlainMessage(std::string_view text, std::string_view details) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), qtextFromCp1252(text),
                    QMessageBox::Ok, this);
    box.setObjectName("plainmessage");
    if (!details.empty())
        box.setDetailedText(qtextFromCp1252(details));
    box.exec();
}

void TFtpform::closeWindow() {
    close();
}

} // namespace halvio
