// workstation-listener: answers GET /MAJ as a clinic workstation's listener and records every call.
// Stops on SIGINT or SIGTERM with exit 0.
#include "OptionParser.h"
#include "ToolProcess.h"
#include "WorkstationListener.h"

#include <unistd.h>

#include <iostream>
#include <stdexcept>
#include <string>

namespace {

const char* const kUsage =
    "usage: workstation-listener --listen HOST:PORT [--listen HOST:PORT]... [--record FILE]\n"
    "                            [--ready-file PATH] [--pid-file PATH]\n"
    "  --listen HOST:PORT address to answer GET /MAJ on, repeatable; port 0 takes a free port\n"
    "  --record FILE      every call appended as one line (also printed)\n"
    "  --ready-file PATH  written once every address listens: one HOST:PORT line each\n"
    "  --pid-file PATH    written at start with the process id\n";

struct Options {
    std::vector<halvio::tools::ListenAddress> listen;
    std::string record;
    std::string readyFile;
    std::string pidFile;
};

Options parseOptions(int argc, char** argv) {
    Options options;
    halvio::tools::OptionParser(kUsage)
        .value("--listen",
               [&](const std::string& value) {
                   options.listen.push_back(halvio::tools::parseListenAddress(value));
               })
        .value("--record", options.record)
        .value("--ready-file", options.readyFile)
        .value("--pid-file", options.pidFile)
        .parse(argc, argv);
    if (options.listen.empty())
        throw std::invalid_argument("--listen is required");
    options.listen = halvio::tools::withoutRepeats(options.listen);
    return options;
}

} // namespace

int main(int argc, char** argv) {
    using namespace halvio::tools;
    blockStopSignals();
    Options options;
    try {
        options = parseOptions(argc, argv);
    } catch (const std::exception& error) {
        return usageError("workstation-listener", error.what(), kUsage);
    }
    try {
        if (!options.pidFile.empty())
            writeFileAtomically(options.pidFile, std::to_string(getpid()) + "\n");
        WorkstationListener listener(options.listen, options.record,
                                     [](const std::string& line) { std::cout << line << std::endl; });
        listener.start();
        for (const ListenAddress& address : listener.boundAddresses())
            std::cout << "workstation-listener: listening on " << toText(address) << std::endl;
        if (!options.readyFile.empty())
            writeFileAtomically(options.readyFile, addressLines(listener.boundAddresses()));
        const int signalNumber = waitForStopSignal();
        listener.stop();
        std::cout << "workstation-listener: stopped by signal " << signalNumber << std::endl;
    } catch (const std::exception& error) {
        std::cerr << "workstation-listener: " << error.what() << std::endl;
        return 1;
    }
    return 0;
}
