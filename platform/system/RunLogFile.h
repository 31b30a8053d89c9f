#pragma once
// The run-wide log file beside the program: every line of the activity log and every error of the
// runs, each after its date and time, kept for support staff once the window has closed.

#include <cstdint>
#include <string>
#include <string_view>

namespace halvio::platform {

class RunLogFile {
public:
    // A run starts a new file when the current one has reached this size: the current one is
    // renamed to previousPath(), replacing the one there. A run writes a few kilobytes, so the two
    // files hold the last few hundred runs, each run whole in one of them.
    static constexpr std::uintmax_t kSizeLimit = 1024 * 1024;
    // Within a run, a file that reaches this size is renamed the same way before the next line: a
    // run that logs without end (an error repeated in a loop) cannot fill the disk.
    static constexpr std::uintmax_t kRunawayLimit = 8 * kSizeLimit;

    explicit RunLogFile(std::string path) : m_path(std::move(path)) {}

    const std::string& path() const { return m_path; }
    std::string previousPath() const { return m_path + ".1"; }

    // The first line of a run, after the file was renamed if it had reached kSizeLimit.
    void startRun(std::string_view line) noexcept;

    // Appends every line of the text (split at CR LF, CR or LF; an empty text gives an empty line)
    // as "yyyy.mm.dd hh:nn:ss", a blank, the line and CR LF. The bytes go as given (Windows-1252).
    // Like startRun, it drops its own failures: the log never stops a run.
    void append(std::string_view text) noexcept;

private:
    void write(std::string_view text, std::uintmax_t renameFrom) noexcept;

    std::string m_path;
};

} // namespace halvio::platform
