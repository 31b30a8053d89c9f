// The client layer against the private server: errors carry the server's text, transactions keep
// their isolation, bytes pass unchanged.
#include "FirebirdClient.h"
#include "FirebirdFixtures.h"

#include <gtest/gtest.h>

using namespace halvio;
using namespace halvio::platform;
using halvio::test::FirebirdServer;
using halvio::test::TempFolder;

namespace {
struct Connected {
    FbAttachment attachment;
    FbTransaction transaction;
    FbStatement statement;
    Connected(const std::string& name, const std::string& password, TransactionOptions options)
        : transaction(attachment, options), statement(attachment, transaction) {
        attachment.attach(name, "sysdba", password);
    }
    void run(const std::string& sql) {
        if (!transaction.isActive())
            transaction.start();
        statement.prepare(sql);
        statement.execute();
    }
};

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const DatabaseError& error) {
        return error.what();
    }
    return "<no error>";
}
} // namespace

TEST(FirebirdClient, FailuresCarryTheServersText) {
    TempFolder folder;
    const FirebirdServer server = test::mainServer();
    const std::string name = server.nameOf(folder.file("kliso.ib"));
    test::createClinicDatabase(name, server.password);

    FbAttachment missing;
    EXPECT_NE(errorOf([&] { missing.attach(server.nameOf(folder.file("absent.ib")), "sysdba", server.password); })
                  .find("I/O error"),
              std::string::npos);
    EXPECT_FALSE(missing.isAttached());

    FbAttachment refused;
    EXPECT_NE(errorOf([&] { refused.attach(name, "sysdba", "not-the-password"); }).find("password"),
              std::string::npos);

    Connected c(name, server.password, TransactionOptions::readCommittedRecVersionNoWait());
    EXPECT_NE(errorOf([&] { c.run("select * from nowhere"); }).find("Table unknown"), std::string::npos);
}

TEST(FirebirdClient, NoWaitLockConflictFailsAtOnce) {
    TempFolder folder;
    const FirebirdServer server = test::mainServer();
    const std::string name = server.nameOf(folder.file("kliso.ib"));
    test::createClinicDatabase(name, server.password);
    test::execute(name, server.password, {"insert into setup (client) values ('C1234')"});

    Connected first(name, server.password, TransactionOptions::readCommittedRecVersionNoWait());
    Connected second(name, server.password, TransactionOptions::readCommittedRecVersionNoWait());
    first.run("update setup set nom='A'");
    const std::string error = errorOf([&] { second.run("update setup set nom='B'"); });
    // With "wait" the second update would hang until the first transaction ends; it must fail now.
    EXPECT_NE(error.find("update conflicts with concurrent update"), std::string::npos) << error;
}

TEST(FirebirdClient, ATransactionWritingATableAloneWaitsABoundedTimeForItsWritersAndHoldsOthersOff) {
    TempFolder folder;
    const FirebirdServer server = test::mainServer();
    const std::string name = server.nameOf(folder.file("kliso.ib"));
    test::createClinicDatabase(name, server.password);
    test::execute(name, server.password, {"insert into diag (diag) values ('A')"});

    Connected writer(name, server.password, TransactionOptions::readCommittedRecVersionNoWait());
    writer.run("update diag set code = 'W'");
    Connected alone(name, server.password, TransactionOptions::snapshotWritingAlone("DIAG", 1));
    bool lockConflict = false;
    const std::string error = errorOf([&] {
        try {
            alone.transaction.start();
        } catch (const DatabaseError& e) {
            lockConflict = e.isLockConflict();
            throw;
        }
    });
    EXPECT_NE(error.find("lock time-out"), std::string::npos) << error;
    EXPECT_TRUE(lockConflict);
    EXPECT_FALSE(alone.transaction.isActive());

    // Once the writer has ended, it starts, and sees the writer's change.
    writer.transaction.commit();
    alone.run("update diag set md = 5");
    Connected other(name, server.password, TransactionOptions::readCommittedRecVersionNoWait());
    const std::string refused = errorOf([&] { other.run("insert into diag (diag) values ('B')"); });
    EXPECT_NE(refused.find("lock conflict"), std::string::npos) << refused;
    other.transaction.rollback();
    other.run("select count(*), max(code) from diag");
    ASSERT_TRUE(other.statement.fetch()) << "reading stays open to others";
    EXPECT_EQ(other.statement.asText(0), "1");
    EXPECT_EQ(other.statement.asText(1), "W   ");
    alone.transaction.commit();
    EXPECT_EQ(test::queryValue(name, server.password, "select md from diag"), "5");
}

TEST(FirebirdClient, OnlyLockConflictsAreToldAsSuch) {
    TempFolder folder;
    const FirebirdServer server = test::mainServer();
    const std::string name = server.nameOf(folder.file("kliso.ib"));
    test::createClinicDatabase(name, server.password);
    test::execute(name, server.password, {"insert into diag (diag) values ('A')"});
    Connected first(name, server.password, TransactionOptions::readCommittedRecVersionNoWait());
    Connected second(name, server.password, TransactionOptions::readCommittedRecVersionNoWait());
    first.run("update diag set code = '1'");
    try {
        second.run("update diag set code = '2'");
        ADD_FAILURE() << "no conflict";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.isLockConflict()) << error.what();
    }
    try {
        second.run("select * from nowhere");
        ADD_FAILURE() << "no error";
    } catch (const DatabaseError& error) {
        EXPECT_FALSE(error.isLockConflict()) << error.what();
    }
}

TEST(FirebirdClient, ReadCommittedReaderSeesARowOnlyAfterItsCommit) {
    TempFolder folder;
    const FirebirdServer server = test::mainServer();
    const std::string name = server.nameOf(folder.file("kliso.ib"));
    test::createClinicDatabase(name, server.password);

    Connected writer(name, server.password, TransactionOptions::readCommittedRecVersionNoWait());
    Connected reader(name, server.password, TransactionOptions::readCommittedRecVersionNoWait());
    auto count = [&] {
        reader.run("select count(*) from md");
        EXPECT_TRUE(reader.statement.fetch());
        const auto n = reader.statement.asInteger(0);
        reader.statement.closeCursor();
        return n;
    };
    writer.run("insert into md (id, recherche) values (1, 'MEDECIN UN')");
    EXPECT_EQ(count(), 0);
    writer.transaction.commit();
    EXPECT_EQ(count(), 1);
}

TEST(FirebirdClient, BytesPassUnchanged) {
    TempFolder folder;
    const FirebirdServer server = test::mainServer();
    const std::string name = server.nameOf(folder.file("kliso.ib"));
    test::createClinicDatabase(name, server.password);

    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    const std::string accents = "\xE9\xE0\x9C\x80 Qu\xE9" "bec";

    Connected c(name, server.password, TransactionOptions::readCommittedRecVersionNoWait());
    c.transaction.start();
    c.statement.prepare("insert into maj (nom, dates, fichier) values ('" + accents + "', '2004.05.12 10:22:33', ?)");
    c.statement.setBlobParameter(0, all);
    c.statement.execute();
    c.transaction.commit();

    c.run("select nom, dates, fichier from maj where fichier is not null");
    ASSERT_TRUE(c.statement.fetch());
    EXPECT_EQ(c.statement.asText(0), accents);
    EXPECT_EQ(c.statement.asText(1), "2004.05.12 10:22:33 "); // CHAR(20) keeps its padding
    EXPECT_EQ(c.statement.asBlob(2), all);
}

TEST(FirebirdClient, ClosingTheConnectionCommitsItsTransactions) {
    TempFolder folder;
    const FirebirdServer server = test::mainServer();
    const std::string name = server.nameOf(folder.file("kliso.ib"));
    test::createClinicDatabase(name, server.password);
    {
        Connected c(name, server.password, TransactionOptions::readCommittedRecVersionNoWait());
        c.run("insert into md (id) values (7)");
        c.attachment.detach();
        EXPECT_FALSE(c.transaction.isActive());
    }
    EXPECT_EQ(test::queryValue(name, server.password, "select count(*) from md"), "1");
}

TEST(FirebirdClient, EmbeddedEngineOpensAPlainPath) {
    TempFolder folder;
    const std::string path = folder.file("embedded.ib");
    test::createClinicDatabase(path, "any");
    test::execute(path, "any", {"insert into setup (client, maj) values ('C1', '2004-05-11 00:00:00')"});
    EXPECT_EQ(test::queryValue(path, "any", "select maj from setup"), "2004.05.11");
}
