// update-service: the reference update service as a process. Stops on SIGINT or SIGTERM with exit 0.
// With --check it only checks a catalog and ends.
#include "Catalog.h"
#include "CatalogCheck.h"
#include "OptionParser.h"
#include "SigningKey.h"
#include "ToolProcess.h"
#include "UpdateService.h"
#include "VendorConsole.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

const char* const kUsage =
    "usage: update-service [--catalog DIR] [--reports DIR] [--listen HOST:PORT]... [--ready-file PATH]\n"
    "                      [--pid-file PATH] [--signing-key FILE]\n"
    "                      [--console HOST:PORT [--console-password-file FILE]]\n"
    "       update-service --check DIR\n"
    "       update-service keygen --private FILE\n"
    "       update-service public-key --private FILE\n"
    "  --catalog DIR      catalog folder (default: catalog)\n"
    "  --reports DIR      where received client reports are stored (default: reports)\n"
    "  --listen HOST:PORT address to listen on, repeatable; port 0 takes a free port\n"
    "                     (default: the four service hosts of the build, localhost being 127.0.0.1)\n"
    "  --ready-file PATH  written once every address listens: one HOST:PORT line each\n"
    "  --pid-file PATH    written at start with the process id\n"
    "  --signing-key FILE the vendor's private key: replies to updaters that send a nonce are signed\n"
    "  --console HOST:PORT serve the vendor's console there (web pages over the received reports)\n"
    "  --console-password-file FILE  one line user:password asked by the console (basic\n"
    "                     authentication); required for an address other than loopback\n"
    "  --check DIR        check the catalog folder as the service reads it, print one line per fault\n"
    "                     (FILE:LINE: REASON) and end: exit code 0 when it has none, 1 otherwise\n"
    "  keygen             makes a key pair: the private key goes to FILE (never over an existing\n"
    "                     file, readable by its owner only), the public key is printed in base64,\n"
    "                     the value of HALVIO_VENDOR_PUBLIC_KEY\n"
    "  public-key         prints the public key of the private key in FILE\n";

struct Options {
    halvio::tools::UpdateServiceConfig config;
    std::string readyFile;
    std::string pidFile;
    std::string check;
    std::string signingKey;
    std::string console;
    std::string consolePasswordFile;
};

Options parseOptions(int argc, char** argv) {
    using halvio::tools::parseListenAddress;
    Options options;
    options.config.catalog = "catalog";
    options.config.reports = "reports";
    halvio::tools::OptionParser(kUsage)
        .value("--catalog", [&](const std::string& value) { options.config.catalog = value; })
        .value("--reports", [&](const std::string& value) { options.config.reports = value; })
        .value("--listen",
               [&](const std::string& value) { options.config.listen.push_back(parseListenAddress(value)); })
        .value("--ready-file", options.readyFile)
        .value("--pid-file", options.pidFile)
        .value("--check", options.check)
        .value("--signing-key", options.signingKey)
        .value("--console", options.console)
        .value("--console-password-file", options.consolePasswordFile)
        .parse(argc, argv);
    options.config.listen = halvio::tools::withoutRepeats(options.config.listen);
    return options;
}

// Prints every fault, prefixed when they come with a running service's start.
size_t printCatalogFaults(const std::filesystem::path& catalog, const char* prefix) {
    const auto faults = halvio::tools::checkCatalog(halvio::tools::Catalog(catalog));
    for (const auto& fault : faults)
        std::cout << prefix << faultLine(fault) << "\n";
    std::cout << std::flush;
    return faults.size();
}

int checkOnly(const std::filesystem::path& catalog) {
    try {
        if (!std::filesystem::is_directory(catalog))
            throw std::runtime_error("no catalog folder at " + catalog.string());
        const size_t faults = printCatalogFaults(catalog, "");
        std::cerr << "update-service: " << catalog.string() << ": "
                  << (faults == 0 ? std::string("no fault") : std::to_string(faults) + " fault(s)")
                  << std::endl;
        return faults == 0 ? 0 : 1;
    } catch (const std::exception& error) {
        std::cerr << "update-service: " << error.what() << std::endl;
        return 1;
    }
}

// "keygen --private FILE" and "public-key --private FILE"; the public key goes alone to standard
// output so that a script can take it as it is.
int keyCommand(int argc, char** argv) {
    const std::string command = argv[1];
    if (argc != 4 || std::string(argv[2]) != "--private") {
        std::cerr << "update-service: usage: update-service " << command << " --private FILE\n";
        return 2;
    }
    try {
        if (command == "keygen") {
            std::cout << halvio::tools::createSigningKey(argv[3]) << std::endl;
            std::cerr << "update-service: private key written to " << argv[3]
                      << " (readable by its owner only); build the updater with"
                         " -DHALVIO_VENDOR_PUBLIC_KEY=<the line above>"
                      << std::endl;
        } else {
            std::cout << halvio::tools::publicKeyText(halvio::tools::loadSigningKey(argv[3])) << std::endl;
        }
    } catch (const std::exception& error) {
        std::cerr << "update-service: " << error.what() << std::endl;
        return 1;
    }
    return 0;
}

// What the service's operator reads once it listens: its addresses, the console's, the folders, and
// what in the catalog or the keys deserves a look.
void announce(const Options& options, const halvio::tools::UpdateService& service,
              const halvio::tools::console::VendorConsole* vendorConsole) {
    using namespace halvio::tools;
    for (const ListenAddress& address : service.boundAddresses())
        std::cout << "update-service: listening on " << toText(address) << std::endl;
    if (vendorConsole)
        std::cout << "update-service: console on " << vendorConsole->address() << std::endl;
    std::cout << "update-service: catalog " << options.config.catalog.string() << ", reports "
              << options.config.reports.string() << std::endl;
    if (!std::filesystem::exists(options.config.catalog / "clients" / "default.txt"))
        std::cout << "update-service: no clients/default.txt: a client without an entry of its own gets "
                     "the built-in one (nom and escompte empty, ID=0)"
                  << std::endl;
    // The faults as of the start; each request is checked again, as the catalog may change.
    try {
        printCatalogFaults(options.config.catalog, "update-service: catalog fault: ");
    } catch (const halvio::tools::CatalogError& error) {
        std::cout << "update-service: catalog fault: " << error.what() << std::endl;
    }
    if (options.config.signingKey)
        std::cout << "update-service: signing replies with the key of public key "
                  << publicKeyText(*options.config.signingKey) << std::endl;
}

} // namespace

int main(int argc, char** argv) {
    using namespace halvio::tools;
    if (argc >= 2 && (std::string(argv[1]) == "keygen" || std::string(argv[1]) == "public-key"))
        return keyCommand(argc, argv);
    blockStopSignals();
    Options options;
    try {
        options = parseOptions(argc, argv);
    } catch (const std::exception& error) {
        return usageError("update-service", error.what(), kUsage);
    }
    if (!options.check.empty())
        return checkOnly(options.check);
    std::optional<console::ConsoleSettings> consoleSettings;
    try {
        if (!options.consolePasswordFile.empty() && options.console.empty())
            throw std::invalid_argument("--console-password-file goes with --console");
        if (!options.console.empty())
            consoleSettings = console::consoleSettings(options.console, options.consolePasswordFile);
    } catch (const std::exception& error) {
        std::cerr << "update-service: " << error.what() << std::endl;
        return 2;
    }
    options.config.log = [](const std::string& line) { std::cout << line << std::endl; };
    try {
        if (!options.signingKey.empty())
            options.config.signingKey = loadSigningKey(options.signingKey);
        if (!options.pidFile.empty())
            writeFileAtomically(options.pidFile, std::to_string(getpid()) + "\n");
        // Made before the service, whose reports it indexes as they are stored, and ended after it.
        std::unique_ptr<console::VendorConsole> vendorConsole;
        if (consoleSettings)
            vendorConsole = std::make_unique<console::VendorConsole>(*consoleSettings, options.config,
                                                                     options.config.log);
        UpdateService service(options.config);
        service.start();
        if (vendorConsole)
            vendorConsole->start();
        announce(options, service, vendorConsole.get());
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
