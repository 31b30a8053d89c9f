#pragma once
// The built tools run as processes: one that ends (make-package, update-service --check), or a server
// started with --ready-file.

#include <QProcess>
#include <QStringList>

#include <filesystem>
#include <string>

namespace halvio::test {

// build/bin/ with its slash.
QString toolFolder();
QString q(const std::filesystem::path& path);

struct Finished {
    int exitCode = -1; // -1: did not start or end normally
    std::string out;
    std::string err;
};

Finished runTool(const QString& tool, const QStringList& arguments, const std::string& input = {});

// A server tool started with --ready-file; port() is the first address it reports.
class ServerProcess {
public:
    ServerProcess(const QString& tool, QStringList arguments, const std::filesystem::path& readyFile);
    // A command line run by /bin/sh in `folder`, which is to start a server that writes readyFile.
    ServerProcess(const QString& shellCommand, const std::filesystem::path& folder,
                  const std::filesystem::path& readyFile);
    ~ServerProcess();

    bool waitReady();
    int port() const;
    // Sends the signal and returns the exit code of a normal exit, -1 otherwise.
    int stopWith(int signalNumber);
    std::string output();

private:
    QProcess m_process;
    std::filesystem::path m_readyFile;
};

} // namespace halvio::test
