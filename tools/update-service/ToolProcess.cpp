#include "ToolProcess.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace halvio::tools {

namespace {

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

void blockStopSignals() {
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

int waitForStopSignal() {
    const sigset_t set = stopSignals();
    int signalNumber = 0;
    while (sigwait(&set, &signalNumber) != 0) {
    }
    return signalNumber;
}

void writeFileAtomically(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out)
            throw std::runtime_error("cannot write " + temporary);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw std::runtime_error("cannot write " + path);
    }
}

std::string addressLines(const std::vector<ListenAddress>& addresses) {
    std::string lines;
    for (const ListenAddress& address : addresses)
        lines += toText(address) + "\n";
    return lines;
}

} // namespace halvio::tools
