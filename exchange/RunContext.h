#pragma once
// Everything a step of the run works with, owned by the main window for the program's life. It sits
// with the exchange, the first step of a run that needs it; the transfer steps reach it from there.

#include "SignedReply.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace halvio {

class Model;
class RunView;

namespace platform {
class HttpClient;
class ZipReader;
} // namespace platform

struct RunContext {
    RunView& view;
    Model& model;
    platform::HttpClient& http;      // HTTP: the update service, with proxy, events and redirections
    platform::HttpClient& httplocal; // the workstations: no proxy, no events, no redirections
    platform::ZipReader& uz;         // the package extractor, its password set at start
    // The running program file, and its folder ending with the separator.
    std::string programFile;
    std::string programFolder;

    // The sum of the announced sizes of the packages saved so far in this run; the progress
    // handler adds the bytes of the transfer under way to it.
    std::int32_t runningTotal = 0;

    // Window handlers that the steps call back into: the transfer procedure, and saving the beta
    // flag into kliso.ini (errors ignored).
    std::function<void()> Button3Click;
    std::function<void(bool directConnection)> saveBetaFlag;

    // The length and SHA-256 of every package file that the reply of this run offers, as the
    // vendor signed them; nothing when the updater runs unsigned.
    std::optional<std::vector<signedreply::ManifestEntry>> signedPackages = std::nullopt;

    // Lets the window paint and run its timers, leaving clicks and keys for later: what a long
    // call that must not be interrupted (a large file reaching the disk) calls while it lasts.
    std::function<void()> paintAndTimers = nullptr;
};

} // namespace halvio
