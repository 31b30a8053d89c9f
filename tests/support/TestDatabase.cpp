#include "TestDatabase.h"

#include "Fonction.h"

namespace halvio::test {

TestDatabase::TestDatabase(FirebirdServer server, const ClinicOptions& options, const std::string& fileName)
    : m_server(std::move(server)), m_path(m_folder.file(fileName)), m_name(m_server.nameOf(m_path)) {
    createClinicDatabase(m_name, m_server.password, options);
}

std::string TestDatabase::klisoIni() const {
    return "SERVEUR=" + m_server.host + "\r\nDATABASE=" + m_path + "\r\n";
}

void TestDatabase::execute(const std::vector<std::string>& statements) const {
    test::execute(m_name, m_server.password, statements);
}

std::vector<std::vector<std::string>> TestDatabase::query(const std::string& sql) const {
    return test::query(m_name, m_server.password, sql);
}

std::string TestDatabase::queryValue(const std::string& sql) const {
    return test::queryValue(m_name, m_server.password, sql);
}

bool TestDatabase::hasColumn(const std::string& table, const std::string& column) const {
    return queryValue("select count(*) from rdb$relation_fields where rdb$relation_name = " + Quoted(table) +
                      " and rdb$field_name = " + Quoted(column)) == "1";
}

} // namespace halvio::test
