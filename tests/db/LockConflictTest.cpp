// Records held by another connection, on the private server: how the client library's errors tell
// a lock conflict, the bounded wait of the installation's statements, and adding a column that
// another workstation is adding at the same moment.
#include "LockConflictWait.h"
#include "Model.h"
#include "RecordingView.h"
#include "SchemaAddition.h"
#include "TestDatabase.h"
#include "Windows1252.h"

#include <gtest/gtest.h>

using namespace halvio;
using namespace std::chrono_literals;
using test::OtherConnection;

namespace {

const char* const kWaitLine = "Données verrouillées par un autre poste : attente de leur libération...";
const char* const kEscomptePresence = "select count(*) from rdb$relation_fields "
                                      "where rdb$relation_name = 'SETUP' and rdb$field_name = 'ESCOMPTE'";
const char* const kAddEscompte = "alter table setup add escompte numeric(9,2)";

struct LockConflict : ::testing::Test {
    const test::TestDatabase db;
    test::RecordingView view;
    Model model{view};
    int attempts = 0;

    LockConflict() {
        db.execute({"insert into md (id, actif) values (1, 0)", "create table codes (id integer primary key)",
                    "insert into codes (id) values (1)"});
        db.configure(model.IB);
        model.IB.open();
    }
    ~LockConflict() override {
        if (model.IBTransaction1.isActive())
            model.IBTransaction1.rollback();
        model.IB.close();
    }
    std::string value(const std::string& sql) const { return db.queryValue(sql); }

    // One try of a statement committed by itself, as a script line runs.
    std::function<void()> statement(const std::string& sql) {
        return [this, sql] {
            ++attempts;
            model.EnsureTransaction();
            model.ExecSqlCommit(sql);
        };
    }
};

} // namespace

TEST_F(LockConflict, TheServersErrorsTellALockConflictFromOtherFailures) {
    OtherConnection other(db.name(), db.password());
    other.execute("update md set actif = 5 where id = 1");
    other.execute("insert into codes (id) values (2)");
    struct Case {
        const char* sql;
        bool lockConflict;
        bool duplicateKey;
    };
    const Case cases[] = {
        {"update md set actif = 6 where id = 1", true, false},
        {"delete from md where id = 1", true, false},
        // The key another transaction is inserting: told at once, as a duplicate, not as a lock.
        {"insert into codes (id) values (2)", false, true},
        {"insert into codes (id) values (1)", false, true},
        {"update nosuchtable set x = 1", false, false},
        {"insert into md (id) values ('un')", false, false},
    };
    for (const Case& c : cases) {
        model.EnsureTransaction();
        try {
            model.ExecSql(c.sql);
            ADD_FAILURE() << c.sql << " did not fail";
        } catch (const platform::DatabaseError& error) {
            EXPECT_EQ(error.isLockConflict(), c.lockConflict) << c.sql << "\n" << error.what();
            EXPECT_EQ(error.isDuplicateKey(), c.duplicateKey) << c.sql << "\n" << error.what();
        }
        model.IBTransaction1.rollback();
    }

    // A transaction that waits gives the conflict back once its lock time-out has passed (the
    // server counts it in whole seconds: 2 waits between 1 and 2). The key being inserted is
    // waited for too, but is then told as a duplicate.
    model.IBTransaction1.setOptions(platform::TransactionOptions::readCommittedRecVersionWait(2));
    const Case waited[] = {{"update md set actif = 6 where id = 1", true, false},
                           {"insert into codes (id) values (2)", false, true}};
    for (const Case& c : waited) {
        const auto started = std::chrono::steady_clock::now();
        model.EnsureTransaction();
        try {
            model.ExecSql(c.sql);
            ADD_FAILURE() << c.sql << " did not wait and fail";
        } catch (const platform::DatabaseError& error) {
            EXPECT_EQ(error.isLockConflict(), c.lockConflict) << c.sql << "\n" << error.what();
            EXPECT_EQ(error.isDuplicateKey(), c.duplicateKey) << c.sql << "\n" << error.what();
        }
        EXPECT_GE(std::chrono::steady_clock::now() - started, 900ms) << c.sql << " did not wait";
        model.IBTransaction1.rollback();
    }
}

TEST_F(LockConflict, AStatementWaitsForTheRecordAndRunsOnceWhenItIsFree) {
    OtherConnection other(db.name(), db.password());
    other.execute("update md set actif = 5 where id = 1");
    view.onProcessMessages = [&] {
        if (other.inTransaction())
            other.commit();
    };

    retryOnLockConflict(model.IBTransaction1, view, 30s,
                        statement("update md set actif = actif + 1 where id = 1"));

    EXPECT_EQ(value("select actif from md where id = 1"), "6"); // after the other's change, once
    EXPECT_EQ(attempts, 2);
    EXPECT_EQ(view.logUtf8(), std::vector<std::string>{kWaitLine});
    EXPECT_FALSE(model.IBTransaction1.isActive());
    EXPECT_TRUE(model.IBTransaction1.options().noWait)
        << "the model's transaction keeps failing at once elsewhere";
}

TEST_F(LockConflict, ARecordStillLockedAtTheEndOfTheWaitStopsTheWork) {
    OtherConnection other(db.name(), db.password());
    other.execute("update md set actif = 5 where id = 1");

    try {
        retryOnLockConflict(model.IBTransaction1, view, 3s,
                            statement("update md set actif = actif + 1 where id = 1"));
        ADD_FAILURE() << "the wait did not end";
    } catch (const LockConflictTimeout& error) {
        const std::string text = utf8FromCp1252(error.what());
        EXPECT_EQ(text.rfind("Données toujours verrouillées par un autre poste après 3 secondes.\n", 0), 0u)
            << text;
        EXPECT_NE(text.find("lock"), std::string::npos) << "the server's message follows: " << text;
    }
    EXPECT_GE(attempts, 2);
    EXPECT_FALSE(model.IBTransaction1.isActive());
    other.rollback();
    EXPECT_EQ(value("select actif from md where id = 1"), "0");
}

TEST_F(LockConflict, OtherFailuresPassAtOnceWithoutAWord) {
    EXPECT_THROW(
        retryOnLockConflict(model.IBTransaction1, view, 30s, statement("update nosuchtable set x = 1")),
        platform::DatabaseError);
    EXPECT_EQ(attempts, 1);
    EXPECT_TRUE(view.log.empty());
}

TEST_F(LockConflict, AColumnThatAnotherWorkstationIsAddingIsWaitedForAndCountsAsAdded) {
    OtherConnection other(db.name(), db.password());
    other.execute(kAddEscompte);
    view.onProcessMessages = [&] {
        if (other.inTransaction())
            other.commit();
    };

    model.EnsureTransaction();
    addUnlessPresent(model.IBSQL1, view, 30s, kEscomptePresence, kAddEscompte);

    EXPECT_EQ(value(kEscomptePresence), "1");
    EXPECT_FALSE(model.IBTransaction1.isActive());
    // There now: nothing to do, whatever SETUP holds.
    addUnlessPresent(model.IBSQL1, view, 30s, kEscomptePresence, kAddEscompte);
    EXPECT_EQ(value(kEscomptePresence), "1");
}

TEST_F(LockConflict, AColumnThatCannotBeAddedIsAnError) {
    EXPECT_THROW(addUnlessPresent(model.IBSQL1, view, 30s, kEscomptePresence,
                                  "alter table nosuchtable add escompte numeric(9,2)"),
                 platform::DatabaseError);
    EXPECT_EQ(value(kEscomptePresence), "0");
    EXPECT_FALSE(model.IBTransaction1.isActive());
}
