#pragma once
// What the end-to-end runs share: their time limits and small readings of the results.

#include "ServiceOnLoopback.h"

#include <QDateTime>

#include <chrono>
#include <string>
#include <vector>

namespace halvio::test {

using namespace std::chrono_literals;

// A whole run takes about 6 s of countdown, its work and 10 s before it closes; the machine may be
// busy building.
inline constexpr std::chrono::milliseconds kRunLimit = 180s;
inline constexpr std::chrono::milliseconds kDialogLimit = 120s;

// Bytes standing for a program file: every byte value, and the name, so that two differ.
std::string programBytes(const std::string& name);

// "METHOD PATH STATUS at ROLE" per request, to compare a run's traffic in one assertion. ROLE names
// the service host of the build that took it: "office", "internal", "second public" or "public web".
// A service host of the build ("localhost:18080") as an address to listen on.
tools::ListenAddress serviceAddress(const char* host);
std::vector<std::string> traffic(const std::vector<ServiceRequest>& requests);

// The names of the files in a folder, sorted; empty when it does not exist.
std::vector<std::string> fileNames(const std::string& folder);

// Whether a server accepts connections at a loopback address. A test server binding a fixed port
// must ask first: cpp-httplib sets SO_REUSEPORT, so its bind succeeds beside another listener and
// the two then share the connections.
bool someoneListensOn(const std::string& address, int port);

// Seconds from `from` to `to`.
double secondsBetween(const QDateTime& from, const QDateTime& to);

} // namespace halvio::test
