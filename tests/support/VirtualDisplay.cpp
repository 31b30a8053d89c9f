#include "VirtualDisplay.h"

#include "ChildProcesses.h"

#include <QTest>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace halvio::test {

namespace {

using namespace std::chrono_literals;

// Xvfb writes the display number it chose, then a line break, once it accepts clients.
std::string readDisplayNumber(int descriptor, std::chrono::milliseconds limit) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (text.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{descriptor, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0)
            throw std::runtime_error("Xvfb did not come up");
        char chunk[32];
        const ssize_t count = ::read(descriptor, chunk, sizeof chunk);
        if (count <= 0)
            throw std::runtime_error("Xvfb ended before it came up");
        text.append(chunk, static_cast<size_t>(count));
    }
    return text.substr(0, text.find('\n'));
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty())
            result.push_back(line);
    }
    return result;
}

std::string exactTitlePattern(const std::string& title) {
    std::string pattern = "^";
    for (char c : title) {
        if (std::strchr(".[]()*+?{}|^$\\", c) != nullptr)
            pattern += '\\';
        pattern += c;
    }
    return pattern + "$";
}

} // namespace

VirtualDisplay::VirtualDisplay(ChildProcesses& processes) : m_processes(processes) {
    // Servers that pick their own display (-displayfd alone, as other suites start them) try every
    // display from :0 upwards on their way, and a client of ours once lost :0 in the middle of a
    // run. This one keeps out of their way, far above, from a number drawn from the process id.
    const int start = static_cast<int>(::getpid() % 800);
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (!startServer(100 + (start + attempt * 97) % 800))
            continue;
        const CommandResult geometry =
            m_processes.run({"/usr/bin/xdotool", "getdisplaygeometry"}, environmentFor({}), 10s);
        if (geometry.finished && geometry.exitCode == 0)
            return;
        stopServer();
    }
    throw std::runtime_error("Xvfb could not serve any display a client could reach");
}

bool VirtualDisplay::startServer(int display) {
    Pipe ready;
    const int passedAs = ready.writeEnd() == 3 ? 4 : 3;
    SpawnOptions options;
    options.arguments = {"/usr/bin/Xvfb", ":" + std::to_string(display), "-displayfd",
                         std::to_string(passedAs), "-nolisten", "tcp",
                         // Without it the server resets when its last client leaves (our check
                         // with xdotool), and refuses connections for that moment.
                         "-noreset", "-screen", "0", "1024x768x24"};
    options.environment = cleanEnvironment({});
    options.outputFile = m_folder.file("xvfb.txt");
    options.passedDescriptors = {{ready.writeEnd(), passedAs}};
    m_server = m_processes.start(options);
    // The server's copy alone remains: its end, or its failure, closes the pipe.
    ready.closeWriteEnd();
    try {
        m_name = ":" + readDisplayNumber(ready.readEnd(), 20s);
        return true;
    } catch (const std::exception&) {
        // Taken by another server: this one has ended, or is made to.
        m_processes.kill(m_server);
        return false;
    }
}

void VirtualDisplay::stopServer() {
    // SIGTERM lets the server remove its socket and lock file.
    ::kill(m_server, SIGTERM);
    if (!m_processes.waitEnded(m_server, 5s))
        m_processes.kill(m_server);
}

VirtualDisplay::~VirtualDisplay() {
    stopServer();
}

std::vector<std::string> VirtualDisplay::environmentFor(const std::vector<std::string>& extra) const {
    std::vector<std::string> variables = extra;
    variables.push_back("DISPLAY=" + m_name);
    return cleanEnvironment(variables);
}

std::vector<std::string> VirtualDisplay::windowsTitled(const std::string& title) {
    return shownWindows(exactTitlePattern(title));
}

std::vector<std::string> VirtualDisplay::shownWindows(const std::string& titlePattern) {
    const CommandResult found = m_processes.run(
        {"/usr/bin/xdotool", "search", "--onlyvisible", "--name", titlePattern}, environmentFor({}), 5s);
    return lines(found.output);
}

std::string VirtualDisplay::state() {
    std::string text = "display " + m_name + ", Xvfb ";
    if (const auto exitCode = m_processes.exitCode(m_server))
        text += "ended with " + std::to_string(*exitCode);
    else
        text += "running";
    text += ", windows shown:";
    for (const std::string& window : shownWindows(".")) {
        const CommandResult name =
            m_processes.run({"/usr/bin/xdotool", "getwindowname", window}, environmentFor({}), 5s);
        text += " \"" + (lines(name.output).empty() ? std::string() : lines(name.output).front()) + "\"";
    }
    std::ifstream log(m_folder.file("xvfb.txt"));
    const std::string said((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    return text + "\n--- Xvfb ---\n" + said;
}

bool VirtualDisplay::pressReturnIn(const std::string& title, const std::function<bool()>& keepWaiting,
                                   std::chrono::milliseconds limit) {
    const std::string pattern = exactTitlePattern(title);
    std::string window;
    (void)QTest::qWaitFor(
        [&] {
            const std::vector<std::string> found = shownWindows(pattern);
            if (!found.empty())
                window = found.front();
            return !window.empty() || !keepWaiting();
        },
        static_cast<int>(limit.count()));
    if (window.empty())
        return false;

    auto gone = [&] {
        const std::vector<std::string> still = shownWindows(pattern);
        return std::find(still.begin(), still.end(), window) == still.end();
    };
    // A window just mapped may not take the key yet: the focus and the key are given again while
    // that very window is still there.
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_processes.run({"/usr/bin/xdotool", "windowfocus", window, "key", "Return"}, environmentFor({}), 5s);
        if (QTest::qWaitFor(gone, 3000))
            return true;
    }
    return false;
}

} // namespace halvio::test
