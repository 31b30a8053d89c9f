#include "PrivateDisplay.h"

#include <QStringList>

#include <stdexcept>
#include <string_view>

namespace halvio::test {

namespace {
constexpr int kCommandLimitMs = 20000;

// xdotool reads a POSIX extended regular expression.
std::string anchoredPattern(const std::string& text) {
    std::string pattern = "^";
    for (char c : text) {
        if (std::string_view(".[]{}()\\*+?^$|").find(c) != std::string_view::npos)
            pattern += '\\';
        pattern += c;
    }
    return pattern + "$";
}

QStringList qtextList(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& text : texts)
        list << QString::fromStdString(text);
    return list;
}
} // namespace

PrivateDisplay::PrivateDisplay() {
    // Xvfb picks the first free display and writes its number to the descriptor named by -displayfd.
    m_server.setProgram("Xvfb");
    // -noreset: otherwise the server resets whenever its last client leaves and refuses
    // connections for that moment.
    m_server.setArguments({"-displayfd", "1", "-nolisten", "tcp", "-noreset", "-screen", "0", "1024x768x24"});
    m_server.setProcessChannelMode(QProcess::SeparateChannels);
    m_server.start();
    if (!m_server.waitForStarted(kCommandLimitMs))
        throw std::runtime_error("Xvfb cannot be started: " + m_server.errorString().toStdString());
    QByteArray number;
    while (!number.contains('\n') && m_server.waitForReadyRead(kCommandLimitMs))
        number += m_server.readAllStandardOutput();
    number = number.trimmed();
    if (number.isEmpty())
        throw std::runtime_error("Xvfb did not name its display: " +
                                 m_server.readAllStandardError().toStdString());
    m_name = ":" + number.toStdString();
}

PrivateDisplay::~PrivateDisplay() {
    // SIGTERM lets Xvfb remove its lock file and socket, so the display number is free again.
    m_server.terminate();
    if (!m_server.waitForFinished(kCommandLimitMs)) {
        m_server.kill();
        m_server.waitForFinished(kCommandLimitMs);
    }
}

QProcessEnvironment PrivateDisplay::environmentFor(QProcessEnvironment environment) const {
    environment.insert("DISPLAY", QString::fromStdString(m_name));
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.remove("WAYLAND_DISPLAY");
    return environment;
}

std::string PrivateDisplay::xdotool(const std::vector<std::string>& arguments, bool* succeeded) const {
    QProcess process;
    process.setProcessEnvironment(environmentFor(QProcessEnvironment::systemEnvironment()));
    process.start("xdotool", qtextList(arguments));
    const bool finished = process.waitForFinished(kCommandLimitMs);
    if (succeeded)
        *succeeded = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAllStandardOutput().toStdString();
}

std::vector<std::string> PrivateDisplay::windowsTitled(const std::string& title) const {
    // Without --onlyvisible a window that Qt created but never mapped would count too.
    const std::string found = xdotool({"search", "--onlyvisible", "--name", anchoredPattern(title)});
    std::vector<std::string> ids;
    for (const QString& id : QString::fromStdString(found).split('\n', Qt::SkipEmptyParts))
        ids.push_back(id.trimmed().toStdString());
    return ids;
}

bool PrivateDisplay::typeKey(const std::string& windowId, const std::string& key) const {
    bool succeeded = false;
    xdotool({"windowfocus", "--sync", windowId, "key", key}, &succeeded);
    return succeeded;
}

} // namespace halvio::test
