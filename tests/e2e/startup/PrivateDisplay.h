#pragma once
// An X server of the test's own (Xvfb, no window manager) on which a started program shows its
// windows, and xdotool to find them by title and type into them as a user would.

#include <QProcess>
#include <QProcessEnvironment>

#include <string>
#include <vector>

namespace halvio::test {

class PrivateDisplay {
public:
    // Starts Xvfb on a free display number; throws when it does not come up.
    PrivateDisplay();
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    // ":N"
    const std::string& name() const { return m_name; }

    // The environment for a program that shows its windows here.
    QProcessEnvironment environmentFor(QProcessEnvironment environment) const;

    // Ids of the windows whose title is exactly title.
    std::vector<std::string> windowsTitled(const std::string& title) const;

    // Gives the window the keyboard focus and types the key (an xdotool key name: "Return", "Escape").
    bool typeKey(const std::string& windowId, const std::string& key) const;

private:
    std::string xdotool(const std::vector<std::string>& arguments, bool* succeeded = nullptr) const;

    QProcess m_server;
    std::string m_name;
};

} // namespace halvio::test
