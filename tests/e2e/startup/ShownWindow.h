#pragma once
// The real main window, in this process, shown on a prepared program folder: the show handler runs
// from the message loop as it does in the program, unexpected errors are kept instead of shown, and
// the message dialog is answered by the test or, when no answer was arranged, counted and closed.

#include "ftp.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace halvio::test {

class StartupFolder;

class ShownWindow : public ::testing::Test {
protected:
    ShownWindow();
    void TearDown() override;

    // Creates the window on the folder's program file, shows it and waits until the show handler
    // has ended: countdown started, connection given up, window closed or an unexpected error.
    // The countdown is then stopped, so that no exchange starts, and so is the timed close.
    void showWindow(const StartupFolder& folder);

    // The activity log's lines, UTF-8.
    std::vector<std::string> logLines() const;
    std::string clientMajCaption() const;
    bool startEnabled() const;

    std::unique_ptr<TFtpform> form;
    bool countdownStarted = false;
    bool closeTimerStarted = false;
    std::vector<std::string> crashMessages;
    // Answers the next modal dialog; arranged before showWindow.
    std::function<void(QWidget* dialog)> answerDialog;
    std::vector<std::string> unexpectedDialogs;

private:
    bool showEnded() const;
    void watchDialogs();

    QTimer m_dialogWatch;
};

} // namespace halvio::test
