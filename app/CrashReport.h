#pragma once
// The top-level handler of errors that no step catches. The user reads in French that the update
// stopped and where the report was saved; the error's own text and the call stack are the dialog's
// details. The same report is appended to a log file beside the program. Then the run ends as a
// failed run does, by the window's timed close, so that a workstation with no one at it is never
// left with an updater that waits for ever.

#include <QString>

#include <chrono>
#include <exception>
#include <functional>
#include <string>

namespace halvio {

class CrashReport {
public:
    // The report dialog closes by itself after this long: clinics often run the updater with no one
    // at the keyboard, and the report is in the log file anyway.
    static constexpr std::chrono::milliseconds kDialogTimeout{60000};

    // What follows the report. Only an error of the window's creation lets the run go on: the
    // window is then still built and shown, and the run can do its work (with no proxy port, say).
    enum class Outcome { EndsRun, RunGoesOn };

    // logFile: where reports are appended (the program folder's "maj_kliso.err").
    explicit CrashReport(std::string logFile);

    // Runs a window handler; an error escaping it is reported and the handler ends there.
    void guard(const char* handlerName, const std::function<void()>& handler,
               Outcome outcome = Outcome::EndsRun) noexcept;

    void report(const char* handlerName, const std::string& message,
                Outcome outcome = Outcome::EndsRun) noexcept;

    // Where the handler's name and the error's message also go, as one text (the run-wide log);
    // nothing when empty.
    std::function<void(const std::string& text)> alsoLog;

    // Shows the report dialog; message is the error's own text, details what the log file holds.
    // Tests replace it to answer it themselves.
    std::function<void(const std::string& message, const std::string& details)> showDialog;
    // Called after the dialog of a report whose outcome ends the run: the window's timed close.
    std::function<void()> endRun;
    std::chrono::milliseconds dialogTimeout = kDialogTimeout;

    const std::string& logFile() const { return m_logFile; }
    // Where the last report was written: the log file, else the same name in the temporary folder
    // (a program folder that cannot be written is one of the errors reported), else empty.
    const std::string& writtenTo() const { return m_writtenTo; }
    // The dialog's French text for the last report.
    QString dialogText() const;

private:
    void showReportDialog(const std::string& details) const;

    std::string m_logFile;
    std::string m_writtenTo;
    Outcome m_outcome = Outcome::EndsRun;
};

// The error's message text, whatever was thrown.
std::string messageOf(const std::exception_ptr& error);

// The French text of the report dialog. writtenTo: where the report was saved, empty when it could
// not be.
QString crashDialogText(CrashReport::Outcome outcome, const std::string& writtenTo);

} // namespace halvio
