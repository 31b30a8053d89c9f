#pragma once
// A database connection of the model (IB, ibfax): its connection name, its user and password, and
// the transactions that run on it.

#include "FirebirdClient.h"

#include <string>

namespace halvio {

class Database {
public:
    Database() = default;

    void setConnectionName(std::string name) { m_name = std::move(name); }
    const std::string& connectionName() const { return m_name; }
    void setPassword(std::string password) { m_password = std::move(password); }
    // The password of the last open (the one the server accepted, once open).
    const std::string& password() const { return m_password; }

    // Opens with user sysdba; nothing happens when already open. Errors carry the server's text.
    void open();
    // Commits every active transaction on it (closing their data sets), then disconnects.
    void close();
    bool isOpen() const { return m_attachment.isAttached(); }

    platform::FbAttachment& attachment() { return m_attachment; }

private:
    std::string m_name;
    std::string m_password;
    platform::FbAttachment m_attachment;
};

} // namespace halvio
