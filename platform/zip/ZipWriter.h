#pragma once
// Builds a ZIP archive from byte strings, each entry deflated and, when a password is given,
// encrypted with traditional PKWARE encryption: the form in which packages are published.

#include <string>
#include <vector>

namespace halvio::platform {

class ZipWriter {
public:
    // An empty password stores the entries unencrypted.
    explicit ZipWriter(std::string password = {});

    // Entries are written in the order added; the first one added is the archive's index 0.
    void addEntry(std::string name, std::string content);
    // A folder entry, named with a trailing slash as archive tools write one; it holds no bytes.
    void addFolder(std::string name);

    // Creates or replaces the archive file. Throws ZipError.
    void writeTo(const std::string& path) const;

private:
    struct Entry {
        std::string name;
        std::string content;
        bool folder = false;
    };

    std::vector<Entry> m_entries;
    std::string m_password;
};

} // namespace halvio::platform
