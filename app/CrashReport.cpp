#include "CrashReport.h"

#include "DateTime.h"
#include "UiText.h"
#include "Windows1252.h"

#include <QMessageBox>

#include <execinfo.h>

#include <cstdio>
#include <fstream>

namespace halvio {

namespace {
std::string callStack() {
    void* frames[48];
    const int count = backtrace(frames, 48);
    char** symbols = backtrace_symbols(frames, count);
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "  ";
        text += symbols != nullptr ? symbols[i] : "?";
        text += "\n";
    }
    std::free(symbols);
    return text;
}

void showReportDialog(const std::string& message, const std::string& details) {
    QMessageBox box(QMessageBox::Critical, qtextFromCp1252("Vantorix - Erreur"),
                    QString::fromUtf8("Une erreur inattendue est survenue :\n\n") + qtextFromCp1252(message),
                    QMessageBox::Ok);
    box.setObjectName("crashreport");
    box.setDetailedText(qtextFromCp1252(details));
    box.exec();
}
} // namespace

std::string messageOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

CrashReport::CrashReport(std::string logFile) : showDialog(showReportDialog), m_logFile(std::move(logFile)) {}

void CrashReport::guard(const char* handlerName, const std::function<void()>& handler) noexcept {
    try {
        handler();
    } catch (...) {
        report(handlerName, messageOf(std::current_exception()));
    }
}

void CrashReport::report(const char* handlerName, const std::string& message) noexcept {
    try {
        const std::string details = "Date: " + DateTimeText(DateTime::now()) + "\nHandler: " + handlerName +
                                    "\nMessage: " + message + "\nCall stack:\n" + callStack();
        std::ofstream log(m_logFile, std::ios::app | std::ios::binary);
        if (log) {
            log << "---------------------------------------------------------------\r\n";
            for (char c : details) {
                if (c == '\n')
                    log << "\r\n";
                else
                    log << c;
            }
        }
        if (alsoLog)
            alsoLog(fr("Erreur non traitée dans ") + handlerName + " : " + message);
        if (showDialog)
            showDialog(message, details);
    } catch (...) {
        std::fputs("maj_kliso: an error could not be reported\n", stderr);
    }
}

} // namespace halvio
