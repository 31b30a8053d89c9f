#include "SystemTestSupport.h"

#include "Files.h"

#include <QTest>
#include <algorithm>
#include <filesystem>

namespace halvio::test {

TempFolder::TempFolder() : m_path(std::filesystem::canonical(m_dir.path().toStdString()).string()) {}

void TempFolder::write(const std::string& name, const std::string& bytes) const {
    platform::writeWholeFile(path(name), bytes);
}

void TempFolder::writeScript(const std::string& name, const std::string& body) const {
    write(name, "#!/bin/sh\n" + body);
    platform::makeExecutable(path(name));
}

std::string TempFolder::read(const std::string& name) const {
    return platform::readWholeFile(path(name));
}

bool TempFolder::exists(const std::string& name) const {
    return std::filesystem::exists(path(name));
}

std::vector<std::string> TempFolder::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool waitForCompleteFile(const std::string& path, int timeoutMs) {
    return QTest::qWaitFor(
        [&] {
            if (!platform::fileExists(path))
                return false;
            const std::string text = platform::readWholeFile(path);
            return !text.empty() && text.back() == '\n';
        },
        timeoutMs);
}

} // namespace halvio::test
