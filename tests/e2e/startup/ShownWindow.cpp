#include "ShownWindow.h"

#include "SpeedButton.h"
#include "StartupFolder.h"
#include "Windows1252.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QtTest/QTest>

namespace halvio::test {

namespace {
constexpr int kShowLimitMs = 60000;
}

ShownWindow::ShownWindow() {
    // A window closed by the run must not end the test executable's application.
    QApplication::setQuitOnLastWindowClosed(false);
    m_dialogWatch.setInterval(10);
    QObject::connect(&m_dialogWatch, &QTimer::timeout, [this] { watchDialogs(); });
    m_dialogWatch.start();
}

void ShownWindow::TearDown() {
    m_dialogWatch.stop();
    if (form)
        form->Timer1.stop();
    form.reset();
}

void ShownWindow::watchDialogs() {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible() || !dialog->isActiveWindow())
        return;
    if (answerDialog) {
        const auto answer = std::exchange(answerDialog, nullptr);
        answer(dialog);
        return;
    }
    unexpectedDialogs.push_back(dialog->windowTitle().toStdString());
    if (auto* modal = qobject_cast<QDialog*>(dialog))
        modal->reject();
    else
        dialog->close();
}

void ShownWindow::showWindow(const StartupFolder& folder) {
    form = std::make_unique<TFtpform>(folder.programFile());
    form->crashReport.showDialog = [this](const std::string& message, const std::string&) {
        crashMessages.push_back(message);
    };
    form->show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return showEnded(); }, kShowLimitMs))
        << "the show handler did not end";
    countdownStarted = form->Timer1.isActive();
    form->Timer1.stop();
    // The timed close would end the test executable's application.
    closeTimerStarted = form->Timer3.isActive();
    form->Timer3.stop();
}

bool ShownWindow::showEnded() const {
    if (!crashMessages.empty() || form->Timer1.isActive() || !form->isVisible())
        return true;
    const std::vector<std::string> lines = logLines();
    return !lines.empty() && lines.back() == "Echec lors de la connection à votre serveur";
}

std::vector<std::string> ShownWindow::logLines() const {
    std::vector<std::string> lines;
    const QString text = form->layout.Memo2->toPlainText();
    if (text.isEmpty())
        return lines;
    for (const QString& line : text.split('\n'))
        lines.push_back(line.toStdString());
    return lines;
}

std::string ShownWindow::clientMajCaption() const {
    return form->layout.clientmaj->text().toStdString();
}

bool ShownWindow::startEnabled() const {
    return form->layout.Button1->isEnabled();
}

} // namespace halvio::test
