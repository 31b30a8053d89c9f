#include "ToolRuns.h"

#include "CatalogFixture.h"

#include <QTest>

#include <csignal>

namespace halvio::test {

namespace fs = std::filesystem;

QString toolFolder() {
    return QStringLiteral(HALVIO_BINARY_DIR "/bin/");
}

QString q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

Finished runTool(const QString& tool, const QStringList& arguments, const std::string& input) {
    QProcess process;
    process.start(toolFolder() + tool, arguments);
    if (!process.waitForStarted(30000))
        return {};
    process.write(input.data(), static_cast<qint64>(input.size()));
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

ServerProcess::ServerProcess(const QString& tool, QStringList arguments, const fs::path& readyFile)
    : m_readyFile(readyFile) {
    m_process.start(toolFolder() + tool, arguments << "--ready-file" << q(readyFile));
}

ServerProcess::ServerProcess(const QString& shellCommand, const fs::path& folder, const fs::path& readyFile)
    : m_readyFile(readyFile) {
    m_process.setWorkingDirectory(q(folder));
    // exec: the signals of stopWith reach the server, not the shell.
    m_process.start("/bin/sh", {"-c", "exec " + shellCommand});
}

ServerProcess::~ServerProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool ServerProcess::waitReady() {
    return QTest::qWaitFor(
               [&] { return fs::exists(m_readyFile) || m_process.state() == QProcess::NotRunning; }, 30000) &&
           fs::exists(m_readyFile);
}

int ServerProcess::port() const {
    const std::string first = readBytes(m_readyFile);
    return std::stoi(first.substr(first.find(':') + 1));
}

int ServerProcess::stopWith(int signalNumber) {
    ::kill(static_cast<pid_t>(m_process.processId()), signalNumber);
    if (!m_process.waitForFinished(30000) || m_process.exitStatus() != QProcess::NormalExit)
        return -1;
    return m_process.exitCode();
}

std::string ServerProcess::output() {
    return m_process.readAllStandardOutput().toStdString() + m_process.readAllStandardError().toStdString();
}

} // namespace halvio::test
