#include "CrashReport.h"

#include "CallStack.h"
#include "DateTime.h"
#include "UiText.h"
#include "Windows1252.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace halvio {

namespace {
// Appends the report with CR LF line ends; false when the file cannot be written.
bool appendReport(const std::string& file, const std::string& details) {
    std::ofstream log(file, std::ios::app | std::ios::binary);
    if (!log)
        return false;
    log << "---------------------------------------------------------------\r\n";
    for (char c : details) {
        if (c == '\n')
            log << "\r\n";
        else
            log << c;
    }
    log.flush();
    return static_cast<bool>(log);
}

std::string temporaryLogFile(const std::string& logFile) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error)
        return {};
    return (folder / std::filesystem::path(logFile).filename()).string();
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

QString crashDialogText(CrashReport::Outcome outcome, const std::string& writtenTo) {
    QString text =
        outcome == CrashReport::Outcome::EndsRun
            ? QStringLiteral("Une erreur inattendue est survenue. La mise à jour est interrompue.")
            : QStringLiteral("Une erreur inattendue est survenue au démarrage. La mise à jour continue.");
    text += QStringLiteral("\n\n");
    if (writtenTo.empty())
        text += QStringLiteral("Le rapport n'a pas pu être enregistré.");
    else
        text += QStringLiteral("Le rapport a été enregistré dans ") +
                QDir::toNativeSeparators(QFile::decodeName(writtenTo.c_str())) + QStringLiteral(".");
    return text;
}

CrashReport::CrashReport(std::string logFile) : m_logFile(std::move(logFile)) {
    showDialog = [this](const std::string&, const std::string& details) { showReportDialog(details); };
}

QString CrashReport::dialogText() const {
    return crashDialogText(m_outcome, m_writtenTo);
}

void CrashReport::showReportDialog(const std::string& details) const {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Vantorix - Erreur"), dialogText(),
                    QMessageBox::Ok);
    box.setObjectName("crashreport");
    box.setDetailedText(qtextFromCp1252(details));
    QTimer::singleShot(dialogTimeout, &box, [&box] { box.done(QMessageBox::Ok); });
    box.exec();
}

void CrashReport::guard(const char* handlerName, const std::function<void()>& handler,
                        Outcome outcome) noexcept {
    try {
        handler();
    } catch (...) {
        report(handlerName, messageOf(std::current_exception()), outcome);
    }
}

void CrashReport::report(const char* handlerName, const std::string& message, Outcome outcome) noexcept {
    try {
        const std::string details = "Date: " + DateTimeText(DateTime::now()) + "\nHandler: " + handlerName +
                                    "\nMessage: " + message + "\nCall stack:\n" + platform::callStack();
        m_outcome = outcome;
        m_writtenTo.clear();
        for (const std::string& file : {m_logFile, temporaryLogFile(m_logFile)}) {
            if (!file.empty() && appendReport(file, details)) {
                m_writtenTo = file;
                break;
            }
        }
        if (alsoLog)
            alsoLog(fr("Erreur non traitée dans ") + handlerName + " : " + message);
        if (showDialog)
            showDialog(message, details);
    } catch (...) {
        std::fputs("maj_kliso: an error could not be reported\n", stderr);
    }
    // Even a report that could not be shown ends the run.
    if (outcome == Outcome::EndsRun && endRun) {
        try {
            endRun();
        } catch (...) {
            std::fputs("maj_kliso: the run could not be ended after an error\n", stderr);
        }
    }
}

} // namespace halvio
