#pragma once
// A temporary folder for the system tests, with the few file helpers they share.

#include <QTemporaryDir>
#include <string>
#include <vector>

namespace halvio::test {

class TempFolder {
public:
    TempFolder();
    // The folder, without a trailing separator.
    const std::string& path() const { return m_path; }
    std::string path(const std::string& name) const { return m_path + "/" + name; }
    void write(const std::string& name, const std::string& bytes) const;
    // A shell script, executable.
    void writeScript(const std::string& name, const std::string& body) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;
    // The names in the folder, sorted.
    std::vector<std::string> entries() const;

private:
    QTemporaryDir m_dir;
    std::string m_path;
};

// Waits, processing events, until the file exists and ends with a line break (written whole).
bool waitForCompleteFile(const std::string& path, int timeoutMs = 20000);

} // namespace halvio::test
