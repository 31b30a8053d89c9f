#pragma once
// Starting another program and leaving it to run on its own (what WinExec does for the system).

#include <string>
#include <string_view>

namespace halvio::platform {

// The started program finds the process id of the program that started it in this environment
// variable, so it can wait for that program to end even if it has already been re-parented.
inline constexpr const char* kStarterPidVariable = "HALVIO_STARTER_PID";

// commandLine is split at blanks; its first word names the program, looked up in currentDirectory
// (or taken as is when absolute), first exactly and then with ".exe" appended, so "copie" finds
// "copie.exe". The other words are its arguments. The program runs in currentDirectory, detached:
// its own session, standard streams on the null device, still running after the caller ends.
// The caller never waits for it. Returns whether it was started; never throws.
bool startProgram(std::string_view commandLine, const std::string& currentDirectory) noexcept;

} // namespace halvio::platform
