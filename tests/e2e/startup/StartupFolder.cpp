#include "StartupFolder.h"

#include "Files.h"
#include "FirebirdClient.h"
#include "Fonction.h"

namespace halvio::test {

StartupFolder::StartupFolder(FirebirdServer server, const ClinicOptions& options)
    : m_server(std::move(server)), m_databaseName(m_server.nameOf(m_databaseFolder.file("kliso.ib"))) {
    createClinicDatabase(m_databaseName, m_server.password, options);
    execute({"insert into setup (nom, client, maj) values ('Clinique du Vieux-Port', 'VX1042', "
             "'2004-03-07 15:04:05')"});
    // The server part and the path, as an installer writes them.
    platform::writeWholeFile(file("kliso.ini"), "SERVEUR=" + m_server.host + "\r\nDATABASE=" +
                                                    m_databaseFolder.file("kliso.ib") + "\r\n");
}

void StartupFolder::execute(const std::vector<std::string>& statements) const {
    test::execute(m_databaseName, m_server.password, statements);
}

std::string StartupFolder::queryValue(const std::string& sql) const {
    return test::queryValue(m_databaseName, m_server.password, sql);
}

bool StartupFolder::setupHasColumn(const std::string& column) const {
    return queryValue("select count(*) from rdb$relation_fields where rdb$relation_name = 'SETUP' and "
                      "rdb$field_name = " +
                      Quoted(upperAscii(column))) == "1";
}

void StartupFolder::addMajRow(const std::string& nom, const std::string& dates,
                              const std::string& fichier) const {
    platform::FbAttachment attachment;
    attachment.attach(m_databaseName, "sysdba", m_server.password);
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
