#include "StartupFolder.h"

#include "Files.h"
#include "FirebirdClient.h"
#include "Fonction.h"

namespace halvio::test {

StartupFolder::StartupFolder(FirebirdServer server, const ClinicOptions& options)
    : m_database(std::move(server), options) {
    execute({"insert into setup (nom, client, maj) values ('Clinique du Vieux-Port', 'VX1042', "
             "'2004-03-07 15:04:05')"});
    // The server part and the path, as an installer writes them.
    platform::writeWholeFile(file("kliso.ini"), m_database.klisoIni());
}

void StartupFolder::execute(const std::vector<std::string>& statements) const {
    m_database.execute(statements);
}

std::string StartupFolder::queryValue(const std::string& sql) const {
    return m_database.queryValue(sql);
}

bool StartupFolder::setupHasColumn(const std::string& column) const {
    return m_database.hasColumn("SETUP", upperAscii(column));
}

void StartupFolder::addMajRow(const std::string& nom, const std::string& dates,
                              const std::string& fichier) const {
    platform::FbAttachment attachment;
    attachment.attach(m_database.name(), "sysdba", m_database.password());
    platform::FbTransaction transaction(attachment, platform::TransactionOptions::serverDefault());
    platform::FbStatement statement(attachment, transaction);
    transaction.start();
    statement.prepare("insert into maj (nom, dates, fichier) values (?, ?, ?)");
    statement.setTextParameter(0, nom);
    statement.setTextParameter(1, dates);
    statement.setBlobParameter(2, fichier);
    statement.execute();
    transaction.commit();
    attachment.detach();
}

} // namespace halvio::test
