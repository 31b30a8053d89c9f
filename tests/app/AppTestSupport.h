#pragma once
// What the tests of the main window share: the workstation's proxy variables set for one test,
// files of the program folder, the log as lines, and the crash report dialogs that the window
// shows while it is being created (before a test can replace its showDialog).

#include "TestFiles.h"

#include <QString>
#include <QTimer>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace halvio {
class TFtpform;
}

namespace halvio::test {

// Sets the proxy variables that the workstation's proxy query reads (every one not named is
// unset) and puts all of them back as they were when it goes.
class ProxyVariables {
public:
    explicit ProxyVariables(const std::map<std::string, std::string>& values = {});
    ~ProxyVariables();
    ProxyVariables(const ProxyVariables&) = delete;
    ProxyVariables& operator=(const ProxyVariables&) = delete;

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

// Memo2's lines, as the user sees them.
std::vector<QString> logLines(const TFtpform& form);

// While it lives, answers (with OK) every modal crash report dialog and keeps what it showed.
class ReportDialogCatcher {
public:
    struct Report {
        QString text;
        QString details;
    };
    ReportDialogCatcher();
    std::vector<Report> reports;
    // Modal windows that were not a crash report; closed too, so that nothing hangs.
    std::vector<QString> otherDialogs;

private:
    QTimer m_poll;
};

} // namespace halvio::test
