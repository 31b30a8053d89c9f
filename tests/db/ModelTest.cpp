// The model's shared operations against a real clinic database on the private server.
#include "Model.h"
#include "FirebirdClient.h"
#include "RecordingView.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <optional>

using namespace halvio;

namespace {
struct ModelFixture : ::testing::Test {
    std::optional<test::TestDatabase> db;
    test::RecordingView view;
    Model model{view};

    void createAndOpen(const test::ClinicOptions& options = {}) {
        db.emplace(options);
        db->execute({"insert into setup (nom, client, maj) values ('Clinique du Parc', 'C1234', "
                     "'2004-05-11 14:03:22')"});
        db->configure(model.IB);
        model.IB.open();
    }
};
} // namespace

TEST_F(ModelFixture, DatesReadBackWithTheirTrailingBlank) {
    createAndOpen();
    model.EnsureTransaction();
    model.ExecSqlCommit("insert into maj (nom, dates) values ('HALVIO', '2004.05.12 10:22:33')");
    model.EnsureTransaction();
    model.ExecSql("select dates from maj where nom='HALVIO'");
    EXPECT_EQ(model.IBSQL1.rowCount(), 1);
    EXPECT_EQ(model.IBSQL1.text("dates"), "2004.05.12 10:22:33 ");
    EXPECT_EQ(model.IBSQL1.text(size_t{0}), "2004.05.12 10:22:33 ");
    model.ExecSql("select dates from maj where nom='ABSENT'");
    EXPECT_EQ(model.IBSQL1.rowCount(), 0);
    EXPECT_TRUE(model.IBSQL1.eof());
}

TEST_F(ModelFixture, OpenSetupAcceptsEitherWidthOfNom) {
    for (int width : {60, 40}) {
        test::ClinicOptions options;
        options.nomWidth = width;
        const test::TestDatabase other(options);
        test::RecordingView otherView;
        Model m(otherView);
        other.execute({"insert into setup (nom, client) values ('Clinique', 'C1')"});
        other.configure(m.IB);
        m.IB.open();
        m.OpenSetup();
        EXPECT_TRUE(m.TSETUP.isOpen()) << width;
        EXPECT_EQ(m.TSETUP.text("NOM"), "Clinique" + std::string(width - 8, ' '));
        EXPECT_TRUE(m.IBTransaction1.isActive());
        m.OpenSetup(); // opening an open TSETUP does nothing
        EXPECT_EQ(m.TSETUP.text("CLIENT"), "C1        ");
    }
}

TEST_F(ModelFixture, OpenSetupFailsForAnyOtherWidth) {
    test::ClinicOptions options;
    options.nomWidth = 50;
    createAndOpen(options);
    EXPECT_THROW(model.OpenSetup(), platform::DatabaseError);
}

TEST_F(ModelFixture, EnsureTransactionTwiceStartsOneTransaction) {
    createAndOpen();
    model.EnsureTransaction();
    model.ExecSql("insert into md (id) values (1)");
    model.EnsureTransaction(); // must not end or restart the transaction holding the insert
    model.IBTransaction1.commit();
    EXPECT_EQ(db->queryValue("select count(*) from md"), "1");
}

TEST_F(ModelFixture, ExecSqlRightAfterExecSqlCommitFails) {
    createAndOpen();
    model.EnsureTransaction();
    model.ExecSqlCommit("update setup set nom='A'");
    EXPECT_FALSE(model.IBTransaction1.isActive());
    EXPECT_THROW(model.ExecSql("update setup set nom='B'"), platform::DatabaseError);
    EXPECT_EQ(db->queryValue("select nom from setup"), "A" + std::string(59, ' '));
}

TEST_F(ModelFixture, ExecSqlCommitCommitsNothingWhenTheStatementFails) {
    createAndOpen();
    model.EnsureTransaction();
    model.ExecSql("update setup set nom='Pending'");
    EXPECT_THROW(model.ExecSqlCommit("update nowhere set x=1"), platform::DatabaseError);
    EXPECT_TRUE(model.IBTransaction1.isActive());
    model.IBTransaction1.rollback();
    EXPECT_EQ(db->queryValue("select nom from setup"), "Clinique du Parc" + std::string(44, ' '));
}

TEST_F(ModelFixture, TheEndOfATransactionClosesItsDataSets) {
    createAndOpen();
    model.OpenSetup();
    EXPECT_EQ(model.TSETUP.dateTime("MAJ"), (DateTime{2004, 5, 11, 14, 3, 22}));
    model.IBTransaction1.commit();
    EXPECT_FALSE(model.TSETUP.isOpen());
    EXPECT_THROW(model.TSETUP.text("NOM"), platform::DatabaseError);
}

TEST_F(ModelFixture, BlobParameterByNameRoundTripsEveryByteValue) {
    createAndOpen();
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    model.EnsureTransaction();
    model.IBSQL1.setSql(
        "insert into maj (nom,description,DATES,FICHIER) VALUES ('X:Y','l''image :x','2004',:image)");
    model.IBSQL1.setBlobParameter("image", all);
    model.IBSQL1.execute();
    model.IBTransaction1.commit();
    model.EnsureTransaction();
    model.ExecSql("select * from maj");
    EXPECT_EQ(model.IBSQL1.blob("FICHIER"), all);
    EXPECT_EQ(model.IBSQL1.text("DESCRIPTION"), "l'image :x");
}

TEST_F(ModelFixture, ASingleRowStatementWritesItsTextUnchangedInTheStatementsTransaction) {
    createAndOpen();
    // A colon, doubled quotes and bytes above 0x7F inside the literals reach the server as they are.
    const std::string description = "l''image :x \xE9t\xE9";
    model.EnsureTransaction();
    model.IBSQL1.setSql("insert into maj (nom,description,DATES) VALUES ('X:Y','" + description +
                        "','2004')");
    model.IBSQL1.executeSingleRow();
    EXPECT_TRUE(model.IBSQL1.eof());
    EXPECT_EQ(db->queryValue("select count(*) from maj"), "0") << "seen before its transaction's commit";
    model.ExecSql("select description from maj where nom = 'X:Y'");
    EXPECT_EQ(model.IBSQL1.text("DESCRIPTION"), "l'image :x \xE9t\xE9");
    model.IBTransaction1.rollback();
    EXPECT_EQ(db->queryValue("select count(*) from maj"), "0") << "kept after a roll-back";

    // The statement object goes on with prepared statements afterwards.
    model.EnsureTransaction();
    model.IBSQL1.setSql("insert into maj (nom) values ('A')");
    model.IBSQL1.executeSingleRow();
    model.ExecSql("select count(*) from maj");
    EXPECT_EQ(model.IBSQL1.integer(size_t{0}), 1);
    model.IBTransaction1.commit();
    EXPECT_EQ(db->queryValue("select nom from maj"), "A");
}

TEST_F(ModelFixture, ASingleRowStatementFailsAsAPreparedOneWould) {
    createAndOpen();
    struct Case {
        const char* sql;
        const char* error;
    };
    const Case cases[] = {
        {"insert into nowhere (x) values (1)", "Table unknown"},
        {"insert into maj (nom) values ('A', 'B')",
         "Count of read-write columns does not equal count of values"},
        {"insert into maj (nom) values (:nom)", "Parameter :nom"},
        {"insert into md (id) values ('pas un nombre')", "conversion error"},
    };
    for (const Case& c : cases) {
        model.EnsureTransaction();
        model.IBSQL1.setSql(c.sql);
        try {
            model.IBSQL1.executeSingleRow();
            ADD_FAILURE() << c.sql << ": no error";
        } catch (const platform::DatabaseError& error) {
            EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos)
                << c.sql << ": " << error.what();
            EXPECT_FALSE(error.isLockConflict()) << c.sql;
        }
        EXPECT_TRUE(model.IBTransaction1.isActive()) << c.sql;
        model.IBTransaction1.commit();
    }
    EXPECT_EQ(db->queryValue("select count(*) from maj"), "0");

    // Another connection writing the table alone: the conflict is told as one, with the server's text.
    test::OtherConnection alone(db->name(), db->password(),
                                platform::TransactionOptions::snapshotWritingAlone("DIAG", 1));
    alone.transaction().start();
    model.EnsureTransaction();
    model.IBSQL1.setSql("insert into diag (diag) values ('A')");
    try {
        model.IBSQL1.executeSingleRow();
        ADD_FAILURE() << "no conflict";
    } catch (const platform::DatabaseError& error) {
        EXPECT_TRUE(error.isLockConflict()) << error.what();
        EXPECT_NE(std::string(error.what()).find("lock conflict"), std::string::npos) << error.what();
    }
    model.IBTransaction1.rollback();
    model.IBSQL1.setSql("insert into diag (diag) values ('A')");
    EXPECT_THROW(model.IBSQL1.executeSingleRow(), platform::DatabaseError) << "no transaction";
}

TEST_F(ModelFixture, SetPackageStateNeedsARowInEditingAndRepaints) {
    model.tmem.open();
    model.tmem.append();
    model.SetPackageState("Transfer.");
    EXPECT_EQ(model.tmem.current().etat, "Transfer.");
    EXPECT_FALSE(model.tmem.isEditing());
    EXPECT_EQ(view.repaints, 1);
    EXPECT_THROW(model.SetPackageState("Transmis"), std::runtime_error);
}
