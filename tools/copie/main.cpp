// copie SOURCE TARGET: replaces the updater's file once the updater has ended, then starts it
// again. COPIE_NO_RESTART=1 skips the restart; COPIE_WAIT_SECONDS changes the 30 s wait limit.
#include "Copie.h"
#include "Files.h"
#include "ProgramStart.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

std::chrono::seconds waitLimit() {
    const char* text = std::getenv("COPIE_WAIT_SECONDS");
    const int seconds = text ? std::atoi(text) : 0;
    return std::chrono::seconds(seconds > 0 ? seconds : 30);
}

bool restartWanted() {
    const char* text = std::getenv("COPIE_NO_RESTART");
    return !(text && std::string(text) == "1");
}

} // namespace

int main(int argc, char** argv) {
    using namespace halvio;
    if (argc != 3) {
        std::fprintf(stderr, "copie: usage: copie SOURCE TARGET\n");
        return 2;
    }
    try {
        const std::string source = copie::resolveName(argv[1]);
        if (!platform::fileExists(source))
            throw std::runtime_error(std::string("source file not found: ") + argv[1]);
        const std::string target = copie::resolveName(argv[2]);
        const std::chrono::seconds limit = waitLimit();
        if (!copie::waitForUpdater(target, limit))
            throw std::runtime_error(target + " is still in use after " + std::to_string(limit.count()) +
                                     " s");
        copie::copyOver(source, target);
        if (restartWanted() && !platform::startProgram(target, std::filesystem::current_path().string()))
            throw std::runtime_error("cannot start " + target + " again");
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "copie: %s\n", error.what());
        return 1;
    }
}
