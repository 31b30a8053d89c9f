// A program around the real window, started by the lifecycle tests for what ends the process. It
// starts as maj_kliso.exe does (main window, message dialog, message loop) on the program folder
// named by its second argument, then does what its first argument names:
//   abandon      a handler processes messages in a loop and "Abandonner" is clicked from inside it
//   timed-close  the closing timer is started, with a short interval
//   close-box    a handler closes the window, then goes on processing messages for a while
// It leaves empty marker files in the program folder: "entered" and "left" around the handler,
// "closed" when the main window receives its close event, "report" for an unexpected error.
#include "MessageForm.h"
#include "SpeedButton.h"
#include "ftp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QtTest/QTest>

#include <fstream>
#include <string>

namespace {

std::string g_folder;

void mark(const char* name) {
    std::ofstream(g_folder + "/" + name);
}

class CloseWatch : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close)
            mark("closed");
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3)
        return 2;
    const std::string mode = argv[1];
    g_folder = argv[2];

    halvio::TFtpform form(g_folder + "/maj_kliso.exe");
    auto* messageform = new halvio::Tmessageform();
    QObject::connect(&application, &QApplication::aboutToQuit, messageform, &QObject::deleteLater);
    form.crashReport.showDialog = [](const std::string&, const std::string&) { mark("report"); };
    CloseWatch closeWatch;
    form.installEventFilter(&closeWatch);
    form.show();

    if (mode == "abandon") {
        QTimer::singleShot(0, &form, [&form] {
            form.crashReport.guard("handler", [&form] {
                mark("entered");
                QTimer::singleShot(0, &form,
                                   [&form] { QTest::mouseClick(form.layout.SpeedButton1, Qt::LeftButton); });
                // Bounded, so that a button that does nothing fails the test instead of hanging it.
                QElapsedTimer waited;
                waited.start();
                while (waited.elapsed() < 30000)
                    form.processMessages();
                mark("left");
                QApplication::exit(3); // only "Abandonner" may end this run, and with 0
            });
        });
        return application.exec();
    }
    if (mode == "timed-close") {
        // Only the closing timer's own quit may end the message loop.
        QApplication::setQuitOnLastWindowClosed(false);
        form.Timer3.setInterval(10);
        QTimer::singleShot(0, &form, [&form] { form.startCloseTimer(); });
        return application.exec();
    }
    if (mode == "close-box") {
        QTimer::singleShot(0, &form, [&form] {
            mark("entered");
            form.close();
            for (int pass = 0; pass < 100; ++pass)
                form.processMessages();
            mark("left");
        });
        return application.exec();
    }
    return 2;
}
