// Program start: the main window first (closing it ends the program), then the message dialog,
// then the message loop.
#include "FrenchToolkit.h"
#include "MessageForm.h"
#include "ProgramPath.h"
#include "ftp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("maj_kliso");
    halvio::useFrenchToolkitTexts(application);
    halvio::TFtpform Ftpform(halvio::platform::programPath());
    auto* messageform = new halvio::Tmessageform();
    QObject::connect(&application, &QApplication::aboutToQuit, messageform, &QObject::deleteLater);
    Ftpform.show();
    return application.exec();
}
