#pragma once
// The top-level handler of errors that no step catches: the user sees the error's text with its
// details, the same report goes to a log file beside the program, and the program keeps running
// with its window as it was.

#include <exception>
#include <functional>
#include <string>

class QWidget;

namespace halvio {

class CrashReport {
public:
    // logFile: where reports are appended (the program folder's "maj_kliso.err").
    explicit CrashReport(std::string logFile);

    // Runs a window handler; an error escaping it is reported and the handler ends there.
    void guard(const char* handlerName, const std::function<void()>& handler) noexcept;

    void report(const char* handlerName, const std::string& message) noexcept;

    // Where the handler's name and the error's message also go, as one text (the run-wide log);
    // nothing when empty.
    std::function<void(const std::string& text)> alsoLog;

    // Shows the report dialog; tests replace it to answer it themselves.
    std::function<void(const std::string& message, const std::string& details)> showDialog;

    const std::string& logFile() const { return m_logFile; }

private:
    std::string m_logFile;
};

// The error's message text, whatever was thrown.
std::string messageOf(const std::exception_ptr& error);

} // namespace halvio
