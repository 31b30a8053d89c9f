// The client layer against the private server: errors carry the server's text, transactions keep
// their isolation, bytes pass unchanged.
#include "FirebirdClient.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace halvio;
using namespace halvio::platform;
using halvio::test::OtherConnection;
using halvio::test::TempFolder;
using halvio::test::TestDatabase;

namespace {

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
    const TestDatabase db;

    FbAttachment missing;
    const std::string absent = db.server().nameOf(db.path() + ".absent");
    EXPECT_NE(errorOf([&] { missing.attach(absent, "sysdba", db.password()); }).find("I/O error"),
              std::string::npos);
    EXPECT_FALSE(missing.isAttached());

    FbAttachment refused;
    EXPECT_NE(errorOf([&] { refused.attach(db.name(), "sysdba", "not-the-password"); }).find("password"),
              std::string::npos);

    OtherConnection c(db.name(), db.password());
    EXPECT_NE(errorOf([&] { c.execute("select * from nowhere"); }).find("Table unknown"), std::string::npos);
}

TEST(FirebirdClient, NoWaitLockConflictFailsAtOnce) {
    const TestDatabase db;
    db.execute({"insert into setup (client) values ('C1234')"});

    OtherConnection first(db.name(), db.password());
    OtherConnection second(db.name(), db.password());
    first.execute("update setup set nom='A'");
    const std::string error = errorOf([&] { second.execute("update setup set nom='B'"); });
    // With "wait" the second update would hang until the first transaction ends; it must fail now.
    EXPECT_NE(error.find("update conflicts with concurrent update"), std::string::npos) << error;
}

TEST(FirebirdClient, ATransactionWritingATableAloneWaitsABoundedTimeForItsWritersAndHoldsOthersOff) {
    const TestDatabase db;
    db.execute({"insert into diag (diag) values ('A')"});

    OtherConnection writer(db.name(), db.password());
    writer.execute("update diag set code = 'W'");
    OtherConnection alone(db.name(), db.password(), TransactionOptions::snapshotWritingAlone("DIAG", 1));
    bool lockConflict = false;
    const std::string error = errorOf([&] {
        try {
            alone.transaction().start();
        } catch (const DatabaseError& e) {
            lockConflict = e.isLockConflict();
            throw;
        }
    });
    EXPECT_NE(error.find("lock time-out"), std::string::npos) << error;
    EXPECT_TRUE(lockConflict);
    EXPECT_FALSE(alone.transaction().isActive());

    // Once the writer has ended, it starts, and sees the writer's change.
    writer.commit();
    alone.execute("update diag set md = 5");
    OtherConnection other(db.name(), db.password());
    const std::string refused = errorOf([&] { other.execute("insert into diag (diag) values ('B')"); });
    EXPECT_NE(refused.find("lock conflict"), std::string::npos) << refused;
    other.rollback();
    other.execute("select count(*), max(code) from diag");
    ASSERT_TRUE(other.statement().fetch()) << "reading stays open to others";
    EXPECT_EQ(other.statement().asText(0), "1");
    EXPECT_EQ(other.statement().asText(1), "W   ");
    alone.commit();
    EXPECT_EQ(db.queryValue("select md from diag"), "5");
}

TEST(FirebirdClient, OnlyLockConflictsAreToldAsSuch) {
    const TestDatabase db;
    db.execute({"insert into diag (diag) values ('A')"});
    OtherConnection first(db.name(), db.password());
    OtherConnection second(db.name(), db.password());
    first.execute("update diag set code = '1'");
    try {
        second.execute("update diag set code = '2'");
        ADD_FAILURE() << "no conflict";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.isLockConflict()) << error.what();
    }
    try {
        second.execute("select * from nowhere");
        ADD_FAILURE() << "no error";
    } catch (const DatabaseError& error) {
        EXPECT_FALSE(error.isLockConflict()) << error.what();
    }
}

TEST(FirebirdClient, ReadCommittedReaderSeesARowOnlyAfterItsCommit) {
    const TestDatabase db;

    OtherConnection writer(db.name(), db.password());
    OtherConnection reader(db.name(), db.password());
    auto count = [&] {
        reader.execute("select count(*) from md");
        EXPECT_TRUE(reader.statement().fetch());
        const auto n = reader.statement().asInteger(0);
        reader.statement().closeCursor();
        return n;
    };
    writer.execute("insert into md (id, recherche) values (1, 'MEDECIN UN')");
    EXPECT_EQ(count(), 0);
    writer.commit();
    EXPECT_EQ(count(), 1);
}

TEST(FirebirdClient, BytesPassUnchanged) {
    const TestDatabase db;

    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    const std::string accents = "\xE9\xE0\x9C\x80 Qu\xE9"
                                "bec";

    OtherConnection c(db.name(), db.password());
    c.transaction().start();
    c.statement().prepare("insert into maj (nom, dates, fichier) values ('" + accents +
                          "', '2004.05.12 10:22:33', ?)");
    c.statement().setBlobParameter(0, all);
    c.statement().execute();
    c.commit();

    c.execute("select nom, dates, fichier from maj where fichier is not null");
    ASSERT_TRUE(c.statement().fetch());
    EXPECT_EQ(c.statement().asText(0), accents);
    EXPECT_EQ(c.statement().asText(1), "2004.05.12 10:22:33 "); // CHAR(20) keeps its padding
    EXPECT_EQ(c.statement().asBlob(2), all);
}

// A blob is written and read in segments of at most 32 KiB: values on either side of a segment's
// edge, and one of several segments, come back whole, in one transaction as in the next.
TEST(FirebirdClient, BlobsOfAnySizeComeBackWhole) {
    const TestDatabase db;
    const size_t sizes[] = {0, 1, 32767, 32768, 32769, 3 * 32768 + 17};
    std::vector<std::string> values;
    for (const size_t size : sizes) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>((i * 7 + size) % 251);
        values.push_back(std::move(bytes));
    }

    OtherConnection c(db.name(), db.password());
    c.transaction().start();
    for (size_t i = 0; i < values.size(); ++i) {
        c.statement().prepare("insert into maj (nom, fichier) values ('" + std::to_string(i) + "', ?)");
        c.statement().setBlobParameter(0, values[i]);
        c.statement().execute();
    }
    c.commit();

    c.execute("select fichier from maj order by nom");
    for (size_t i = 0; i < values.size(); ++i) {
        ASSERT_TRUE(c.statement().fetch()) << sizes[i];
        EXPECT_FALSE(c.statement().isNull(0)) << sizes[i];
        EXPECT_EQ(c.statement().asBlob(0), values[i]) << sizes[i];
    }
    EXPECT_FALSE(c.statement().fetch());
}

TEST(FirebirdClient, ClosingTheConnectionCommitsItsTransactions) {
    const TestDatabase db;
    {
        OtherConnection c(db.name(), db.password());
        c.execute("insert into md (id) values (7)");
        c.attachment().detach();
        EXPECT_FALSE(c.transaction().isActive());
    }
    EXPECT_EQ(db.queryValue("select count(*) from md"), "1");
}

TEST(FirebirdClient, EmbeddedEngineOpensAPlainPath) {
    TempFolder folder;
    const std::string path = folder.file("embedded.ib");
    test::createClinicDatabase(path, "any");
    test::execute(path, "any", {"insert into setup (client, maj) values ('C1', '2004-05-11 00:00:00')"});
    EXPECT_EQ(test::queryValue(path, "any", "select maj from setup"), "2004.05.11");
}
