#pragma once
// A package step that failed after the package file arrived, on which the run ends cleanly: the
// package is left unrecorded in MAJ (the next run fetches it again), SETUP is not stamped, and the
// clinic is told in French what could not be done. A failed download ends the run otherwise, with
// texts of its own.

#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace halvio {

class PackageFailure : public std::runtime_error {
public:
    // what() is the cause's own text (the system's, libzip's or the server's reason); the notice
    // is the Windows-1252 text shown to the clinic and logged.
    PackageFailure(const std::exception& cause, std::string notice)
        : std::runtime_error(cause.what()), m_notice(std::move(notice)) {}

    const std::string& notice() const { return m_notice; }

private:
    std::string m_notice;
};

// A file that could not be saved (the package file or a program file), naming where.
std::string fileNotSavedNotice(std::string_view path);
// A package whose archive cannot be unpacked: unreadable, wrong password, damaged entry, or a
// first entry that is no file.
std::string damagedPackageNotice(std::string_view packageName);
// The DIAG migration did not complete; the migration leaves DIAG as it was and runs again.
std::string diagNotCompletedNotice();

} // namespace halvio
