// update-service: the reference update service as a process. Stops on SIGINT or SIGTERM with exit 0.
#include "ToolProcess.h"
#include "UpdateService.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>

namespace {

const char* const kUsage =
    "usage: update-service [--catalog DIR] [--reports DIR] [--listen HOST:PORT]... [--ready-file PATH]\n"
    "                      [--pid-file PATH]\n"
    "  --catalog DIR      catalog folder (default: catalog)\n"
    "  --reports DIR      where received client reports are stored (default: reports)\n"
    "  --listen HOST:PORT address to listen on, repeatable; port 0 takes a free port\n"
    "                     (default: the four service hosts of the build, localhost being 127.0.0.1)\n"
    "  --ready-file PATH  written once every address listens: one HOST:PORT line each\n"
    "  --pid-file PATH    written at start with the process id\n";

struct Options {
    halvio::tools::UpdateServiceConfig config;
    std::string readyFile;
    std::string pidFile;
};

Options parseOptions(int argc, char** argv) {
    Options options;
    options.config.catalog = "catalog";
    options.config.reports = "reports";
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::cout << kUsage;
            std::exit(0);
        }
        if (i + 1 >= argc)
            throw std::invalid_argument("unknown option or missing value: " + option);
        const std::string value = argv[++i];
        if (option == "--catalog")
            options.config.catalog = value;
        else if (option == "--reports")
            options.config.reports = value;
        else if (option == "--listen")
            options.config.listen.push_back(halvio::tools::parseListenAddress(value));
        else if (option == "--ready-file")
            options.readyFile = value;
        else if (option == "--pid-file")
            options.pidFile = value;
        else
            throw std::invalid_argument("unknown option: " + option);
    }
    options.config.listen = halvio::tools::withoutRepeats(options.config.listen);
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
        std::cerr << "update-service: " << error.what() << "\n" << kUsage;
        return 2;
    }
    options.config.log = [](const std::string& line) { std::cout << line << std::endl; };
    try {
        if (!options.pidFile.empty())
            writeFileAtomically(options.pidFile, std::to_string(getpid()) + "\n");
        UpdateService service(options.config);
        service.start();
        for (const ListenAddress& address : service.boundAddresses())
            std::cout << "update-service: listening on " << toText(address) << std::endl;
        std::cout << "update-service: catalog " << options.config.catalog.string() << ", reports "
                  << options.config.reports.string() << std::endl;
        if (!options.readyFile.empty())
            writeFileAtomically(options.readyFile, addressLines(service.boundAddresses()));
        const int signalNumber = waitForStopSignal();
        service.stop();
        std::cout << "update-service: stopped by signal " << signalNumber << std::endl;
    } catch (const std::exception& error) {
        std::cerr << "update-service: " << error.what() << std::endl;
        return 1;
    }
    return 0;
}
