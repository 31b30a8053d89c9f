#include "FirebirdFixtures.h"

#include "FirebirdClient.h"
#include "Fonction.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace halvio::test {

namespace {
FirebirdServer serverFromEnvironment(const char* hostVariable, const char* passwordVariable) {
    const char* host = std::getenv(hostVariable);
    const char* password = std::getenv(passwordVariable);
    if (host == nullptr || password == nullptr)
        throw std::runtime_error(std::string("The private Firebird servers are not running: ") + hostVariable +
                                 " is not set. Run the tests through scripts/test.");
    return FirebirdServer{host, password};
}

std::vector<std::string> schemaStatements(const std::string& file) {
    std::ifstream in(std::string(HALVIO_SOURCE_DIR) + "/scripts/sql/" + file);
    if (!in)
        throw std::runtime_error("cannot read schema " + file);
    std::vector<std::string> statements;
    std::string line;
    std::string current;
    while (std::getline(in, line)) {
        if (Trimmed(line).rfind("--", 0) == 0)
            continue;
        current += line + "\n";
        if (!Trimmed(line).empty() && Trimmed(line).back() == ';') {
            std::string statement = Trimmed(current);
            statement.pop_back();
            statements.push_back(statement);
            current.clear();
        }
    }
    return statements;
}
} // namespace

FirebirdServer mainServer() {
    return serverFromEnvironment("HALVIO_TEST_FB_MAIN", "HALVIO_TEST_FB_MAIN_PASSWORD");
}
FirebirdServer fallbackServer() {
    return serverFromEnvironment("HALVIO_TEST_FB_FALLBACK", "HALVIO_TEST_FB_FALLBACK_PASSWORD");
}
FirebirdServer refusingServer() {
    return serverFromEnvironment("HALVIO_TEST_FB_REFUSING", "HALVIO_TEST_FB_REFUSING_PASSWORD");
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "halvio-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void createClinicDatabase(const std::string& name, const std::string& password, const ClinicOptions& options) {
    platform::FbAttachment::createDatabase(name, "sysdba", password);
    std::vector<std::string> statements;
    for (std::string statement : schemaStatements("clinic-schema.sql")) {
        if (statement.rfind("CREATE TABLE SETUP", 0) == 0) {
            statement = ReplaceAll(statement, "NOM CHAR(60)", "NOM CHAR(" + std::to_string(options.nomWidth) + ")");
            if (options.withEscompte)
                statement = ReplaceAll(statement, "DSQ_EVENTPREFIX INTEGER", "DSQ_EVENTPREFIX INTEGER,\n    ESCOMPTE NUMERIC(9,2)");
        }
        statements.push_back(statement);
    }
    execute(name, password, statements);
}

void createFaxDatabase(const std::string& name, const std::string& password) {
    platform::FbAttachment::createDatabase(name, "sysdba", password);
    execute(name, password, schemaStatements("fax-schema.sql"));
}

void execute(const std::string& name, const std::string& password, const std::vector<std::string>& statements) {
    platform::FbAttachment attachment;
    attachment.attach(name, "sysdba", password);
    platform::FbTransaction transaction(attachment, platform::TransactionOptions::serverDefault());
    platform::FbStatement statement(attachment, transaction);
    for (const auto& sql : statements) {
        transaction.start();
        try {
            statement.prepare(sql);
            statement.execute();
            transaction.commit();
        } catch (...) {
            transaction.rollback();
            throw;
        }
    }
    attachment.detach();
}

std::vector<std::vector<std::string>> query(const std::string& name, const std::string& password,
                                            const std::string& sql) {
    platform::FbAttachment attachment;
    attachment.attach(name, "sysdba", password);
    platform::FbTransaction transaction(attachment, platform::TransactionOptions::serverDefault());
    platform::FbStatement statement(attachment, transaction);
    transaction.start();
    statement.prepare(sql);
    statement.execute();
    std::vector<std::vector<std::string>> rows;
    while (statement.fetch()) {
        std::vector<std::string> row;
        for (size_t i = 0; i < statement.columnCount(); ++i)
            row.push_back(statement.isNull(i) ? "<null>" : statement.asText(i));
        rows.push_back(std::move(row));
    }
    transaction.commit();
    attachment.detach();
    return rows;
}

std::string queryValue(const std::string& name, const std::string& password, const std::string& sql) {
    const auto rows = query(name, password, sql);
    if (rows.empty() || rows.front().empty())
        return "<none>";
    return rows.front().front();
}

} // namespace halvio::test
