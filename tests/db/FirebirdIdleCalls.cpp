// The idle function of an attachment: a long statement, a commit or a detach runs while the calling
// thread goes on with its idle work, and what the call does or how it fails is what it would be
// without one; calls made on another thread never call it.
#include "FirebirdClient.h"
#include "FirebirdFixtures.h"

#include <gtest/gtest.h>

#include <thread>

using namespace halvio;
using namespace halvio::platform;
using halvio::test::FirebirdServer;
using halvio::test::TempFolder;

namespace {

// A statement that takes a good part of a second on the private server.
const char* const kManyRows = "execute block as declare i integer = 0; begin while (i < 300000) do begin "
                              "insert into filler (id) values (:i); i = i + 1; end end";

struct IdleWatch {
    int calls = 0;
    bool otherThread = false;
    std::thread::id caller = std::this_thread::get_id();
    std::function<void()> function() {
        return [this] {
            ++calls;
            otherThread = otherThread || std::this_thread::get_id() != caller;
        };
    }
};

// Triggers of the database itself that make a commit and a detach last a good part of a second, as
// a busy disk does.
const char* const kSlowCommit = "create trigger slow_commit on transaction commit as declare i integer = 0; "
                                "begin while (i < 1500000) do i = i + 1; end";
const char* const kSlowDetach = "create trigger slow_detach on disconnect as declare i integer = 0; "
                                "begin while (i < 1500000) do i = i + 1; end";

// A database of its own on the private server, made by the test's statements, and an attachment to
// it whose idle function is watched (set on the test's thread, as a window sets it).
struct IdleDatabase : ::testing::Test {
    TempFolder folder;
    const FirebirdServer server = test::mainServer();
    const std::string name = server.nameOf(folder.file("idle.fdb"));
    IdleWatch idle;
    FbAttachment attachment;

    void attachTo(const std::vector<std::string>& statements) {
        FbAttachment::createDatabase(name, "sysdba", server.password);
        test::execute(name, server.password, statements);
        attachment.setIdle(idle.function());
        attachment.attach(name, "sysdba", server.password);
    }
};

} // namespace

TEST_F(IdleDatabase, ALongStatementRunsWhileTheCallerDoesItsIdleWork) {
    attachTo({"create table filler (id integer)"});
    FbTransaction transaction(attachment, TransactionOptions::serverDefault());
    FbStatement statement(attachment, transaction);
    transaction.start();
    statement.prepare(kManyRows);
    statement.execute();
    transaction.commit();

    EXPECT_GT(idle.calls, 0);
    EXPECT_FALSE(idle.otherThread) << "the idle function ran on another thread than the caller's";
    transaction.start();
    statement.prepare("select count(*), max(id) from filler");
    statement.execute();
    ASSERT_TRUE(statement.fetch());
    EXPECT_EQ(statement.asInteger(0), 300000);
    EXPECT_EQ(statement.asInteger(1), 299999);
    EXPECT_FALSE(statement.fetch());

    // A failure on the worker thread reaches the caller with the server's text, and the
    // transaction is still there to roll back.
    statement.prepare("update filler set id = 1 / (id - 299999)");
    try {
        statement.execute();
        ADD_FAILURE() << "the division by zero passed";
    } catch (const DatabaseError& error) {
        EXPECT_NE(std::string(error.what()).find("Integer divide by zero"), std::string::npos)
            << error.what();
    }
    EXPECT_TRUE(transaction.isActive());
    transaction.rollback();
    EXPECT_FALSE(idle.otherThread);
}

TEST_F(IdleDatabase, SingleRowStatementsLeaveTheCallerItsIdleWorkBetweenThem) {
    attachTo({"create table filler (id integer)"});
    FbTransaction transaction(attachment, TransactionOptions::serverDefault());
    FbStatement statement(attachment, transaction);
    transaction.start();
    statement.prepare("select count(*) from filler");
    // A copy of rows: each one is short, the idle work comes whenever its interval has passed.
    constexpr int kRows = 3000;
    for (int i = 0; i < kRows; ++i)
        statement.executeSingleRowImmediate("insert into filler (id) values (" + std::to_string(i) + ")");
    EXPECT_GT(idle.calls, 0) << "no idle work during " << kRows << " rows";
    EXPECT_FALSE(idle.otherThread);
    EXPECT_THROW(statement.execute(), DatabaseError) << "the last prepared statement was not released";
    transaction.commit();

    transaction.start();
    statement.prepare("select count(*), sum(id) from filler");
    statement.execute();
    ASSERT_TRUE(statement.fetch());
    EXPECT_EQ(statement.asInteger(0), kRows);
    EXPECT_EQ(statement.asInteger(1), std::int64_t{kRows} * (kRows - 1) / 2);
    transaction.commit();
}

TEST_F(IdleDatabase, ACommitAndADetachLetTheCallerDoItsIdleWork) {
    attachTo({kSlowCommit, kSlowDetach});
    FbTransaction transaction(attachment, TransactionOptions::serverDefault());
    FbStatement statement(attachment, transaction);
    transaction.start();
    statement.prepare("select count(*) from rdb$database"); // a transaction that changed nothing
    statement.execute();
    const int beforeCommit = idle.calls;
    // A call made where it is may be followed by one idle run; only a call on a worker gives several.
    transaction.commit();
    EXPECT_GE(idle.calls - beforeCommit, 2) << "the commit kept the caller waiting";

    const int beforeDetach = idle.calls;
    attachment.detach();
    EXPECT_GE(idle.calls - beforeDetach, 2) << "the detach kept the caller waiting";
    EXPECT_FALSE(attachment.isAttached());
    EXPECT_FALSE(idle.otherThread);
}

TEST_F(IdleDatabase, CallsMadeOnAnotherThreadNeverCallTheIdleFunction) {
    attachTo({kSlowCommit, kSlowDetach});
    const int before = idle.calls;

    // A lock's keeper renews its lease on a thread of its own.
    std::thread keeper([&] {
        FbTransaction transaction(attachment, TransactionOptions::serverDefault());
        FbStatement statement(attachment, transaction);
        transaction.start();
        statement.prepare("select count(*) from rdb$relations");
        statement.execute();
        transaction.commit();
        attachment.detach();
    });
    keeper.join();

    EXPECT_EQ(idle.calls, before);
    EXPECT_FALSE(attachment.isAttached());
}
