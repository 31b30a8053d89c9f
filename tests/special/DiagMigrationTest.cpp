// The DIAG renumbering against a real clinic database: its statements, its one transaction as
// another connection sees it, the gauge and Label11, its progress row in tmem, and every way it can
// fail (an object it cannot add, a workstation writing DIAG, a failed copy, a lost connection)
// leaving each row of DIAG exactly once.
#include "DiagMigration.h"
#include "FirebirdClient.h"
#include "RunFixture.h"
#include "Windows1252.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace halvio;

namespace {

std::vector<std::string> firstRunWords() {
    return {"Alter", "Generator", "diag=-1", "trigger", "Installation", "Installer"};
}

class DiagFixture : public test::RunFixture {
protected:
    // Fills DIAG with rows numbered 0..count-1, each with its own MD and texts.
    void fillDiag(int count) {
        execute(
            {"execute block as declare i integer = 0; begin while (i < " + std::to_string(count) +
             ") do begin insert into diag (diag, code, md, dates, desc_ramq, desc_spec) values ('D' || :i, "
             "'C', :i + 1, '2004.03.07', 'Ramq ' || :i, 'Spec ' || :i); i = i + 1; end end"});
    }

    // Every progress word that tmem's rows from `firstRow` on were given, in order.
    void recordWords(size_t firstRow) {
        model.tmem.setChangeListener([this, firstRow] {
            if (model.tmem.eof() || model.tmem.currentIndex() < firstRow)
                return;
            const std::string& etat = model.tmem.current().etat;
            if (!etat.empty() && (words.empty() || words.back() != etat))
                words.push_back(etat);
        });
    }

    std::vector<std::vector<std::string>> contentWithoutMd() const {
        return query("select diag, code, dates, desc_ramq, desc_spec from diag order by diag");
    }

    // Every column, for a table that must be exactly as it was; the ID reads NULL until there is one.
    std::vector<std::vector<std::string>> wholeContent() const {
        const bool hasId = queryValue("select count(*) from rdb$relation_fields where rdb$relation_name = "
                                      "'DIAG' and rdb$field_name = 'ID'") == "1";
        return query(std::string("select diag, code, md, dates, desc_ramq, desc_spec") +
                     (hasId ? ", id" : ", null") + " from diag order by diag");
    }

    // diag's failure, or "<completed>".
    std::string failureOfDiag(std::chrono::seconds lockWait = kDiagLockWait) {
        try {
            diag(context, lockWait);
        } catch (const DiagMigrationError& error) {
            return error.what();
        }
        return "<completed>";
    }

    // After a failure: nothing left active that a later commit (the transfer closes the database
    // after each package, committing what is active) could keep.
    void expectNothingPending() {
        EXPECT_FALSE(model.IBTransaction1.isActive());
        EXPECT_FALSE(model.IBTransaction4.isActive());
        EXPECT_TRUE(view.panels[PanelId::DiagNotice]);
        EXPECT_EQ(model.tmem.currentIndex(), model.tmem.rowCount() - 1);
    }

    std::vector<std::string> words;
};

const std::string kFirstLine =
    fr("Renumérotation des codes de diagnostic non terminée, les lignes de la table DIAG sont restées telles "
       "quelles.\n");

} // namespace

TEST(DiagStatements, InsertQuotesEveryTextAndAlwaysGivesMdZero) {
    const DiagRow row{"A01  ", "X1  ", "", "l'otite", "l''oreille \"moyenne\""};
    EXPECT_EQ(diagCopyStatement(row),
              "Insert into diag (diag,code,md,dates,desc_ramq,Desc_spec) values ('A01  ','X1  "
              "',0,'','l''otite','l''''oreille \"moyenne\"')");
}

TEST(DiagStatements, PercentIsTheWholePartOfProgressOverMaximum) {
    struct Case {
        std::int32_t progress, maximum;
        const char* text;
    };
    for (const Case& c :
         {Case{101, 101, "100%"}, Case{101, 250, "40%"}, Case{202, 250, "80%"}, Case{0, 0, "0%"},
          Case{5, 0, "0%"}, Case{199, 200, "99%"}, Case{2000000000, 2000000000, "100%"}})
        EXPECT_EQ(migrationPercentText(c.progress, c.maximum), c.text) << c.progress << "/" << c.maximum;
}

struct BatchCase {
    int rows;
    std::vector<std::string> percents; // Label11 at each commit inside the loop
};

class DiagBatches : public DiagFixture, public ::testing::WithParamInterface<BatchCase> {};

TEST_P(DiagBatches, ProcessesMessagesAfter100ThenEvery101RowsAndCommitsOnceAtTheEnd) {
    const BatchCase& c = GetParam();
    fillDiag(c.rows);
    const auto before = contentWithoutMd();
    addPackageRow("UPDATEDIAG");
    recordWords(1);

    struct Pass {
        std::vector<std::vector<std::string>> seenOutside;
        bool panelShown;
        std::int32_t progress;
    };
    std::vector<Pass> passes;
    view.onProcessMessages = [&] {
        passes.push_back({query("select diag, code, dates, desc_ramq, desc_spec, id from diag order by diag"),
                          view.panels[PanelId::DiagNotice], view.gauges[GaugeId::CurrentFile].progress});
    };
    const std::uint64_t firstGeneration = model.IBTransaction1.handle().generation();
    const std::uint64_t renumberGeneration = model.IBTransaction4.handle().generation();

    diag(context);

    ASSERT_EQ(passes.size(), c.percents.size());
    for (size_t k = 0; k < passes.size(); ++k) {
        SCOPED_TRACE("pass " + std::to_string(k + 1));
        // Nothing of the renumbering shows outside before its commit: no mark, no copy.
        EXPECT_EQ(passes[k].seenOutside.size(), static_cast<size_t>(c.rows));
        for (const auto& row : passes[k].seenOutside)
            EXPECT_EQ(row.back(), "<null>");
        EXPECT_TRUE(passes[k].panelShown);
        EXPECT_EQ(passes[k].progress, 101 + 101 * static_cast<std::int32_t>(k));
    }
    // The three objects added, each committed; the rows marked, copied and deleted in one commit.
    EXPECT_EQ(model.IBTransaction1.handle().generation() - firstGeneration, 3u);
    EXPECT_EQ(model.IBTransaction4.handle().generation() - renumberGeneration, 1u);
    EXPECT_EQ(view.migrationPercents, c.percents);
    EXPECT_EQ(view.gauges[GaugeId::CurrentFile].maximum, c.rows);
    EXPECT_EQ(view.gauges[GaugeId::CurrentFile].progress, c.rows);

    EXPECT_EQ(contentWithoutMd(), before);
    const std::string n = std::to_string(c.rows);
    const auto numbers =
        query("select count(*), count(distinct id), min(id), max(id) from diag where md = 0");
    EXPECT_EQ(numbers, (std::vector<std::vector<std::string>>{
                           {n, n, c.rows ? "1" : "<null>", c.rows ? n : "<null>"}}));
    EXPECT_EQ(queryValue("select count(*) from diag where id = -1 or id is null"), "0");

    EXPECT_EQ(words, firstRunWords());
    ASSERT_EQ(model.tmem.rowCount(), 2u);
    EXPECT_EQ(model.tmem.currentIndex(), 1u);
    EXPECT_FALSE(model.tmem.isEditing());
    EXPECT_EQ(model.tmem.current().NOM, "");
    EXPECT_EQ(model.tmem.current().DESCRIPTION, "");
    EXPECT_EQ(model.tmem.current().etat, "Installer");
    EXPECT_EQ(model.tmem.row(0).etat, "Transmis");

    EXPECT_FALSE(view.panels[PanelId::DiagNotice]);
    EXPECT_TRUE(model.IB.isOpen());
    EXPECT_FALSE(model.IBTransaction1.isActive());
    EXPECT_FALSE(model.IBTransaction4.isActive());
    EXPECT_TRUE(view.log.empty());
    EXPECT_TRUE(view.dialogs.empty());
}

INSTANTIATE_TEST_SUITE_P(RowCounts, DiagBatches,
                         ::testing::Values(BatchCase{0, {}}, BatchCase{100, {}}, BatchCase{101, {"100%"}},
                                           BatchCase{250, {"40%", "80%"}}),
                         [](const auto& info) { return std::to_string(info.param.rows) + "Rows"; });

TEST_F(DiagFixture, QuotesAndNullsAreCopiedAsTextAndMdBecomesZero) {
    execute(
        {"insert into diag (diag, code, md, dates, desc_ramq, desc_spec) values ('A', 'X1', 7, '2004.01.02', "
         "'d''abord', 'l''oreille moyenne')",
         "insert into diag (diag, code, md, dates, desc_ramq, desc_spec) values ('B', null, null, null, "
         "null, "
         "null)"});
    addPackageRow("UPDATEDIAG");

    diag(context);

    const auto rows = query("select diag, code, md, dates, desc_ramq, desc_spec from diag order by diag");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"A" + std::string(29, ' '), "X1  ", "0", "2004.01.02",
                                                 "d'abord" + std::string(93, ' '), "l'oreille moyenne"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"B" + std::string(29, ' '), "    ", "0",
                                                 std::string(10, ' '), std::string(100, ' '), ""}));
}

TEST_F(DiagFixture, ADescriptionTooLongToComeWithTheRowIsCopiedWhole) {
    // Past the length that can travel inline with the row, the copy reads the blobs one by one.
    const std::string piece(4125, 'y');
    execute({"insert into diag (diag, desc_spec) values ('L', '" + piece + "')",
             "update diag set desc_spec = desc_spec || desc_spec",
             "update diag set desc_spec = desc_spec || desc_spec",
             "update diag set desc_spec = desc_spec || desc_spec",
             "insert into diag (diag, desc_spec) values ('S', 'court')"});
    addPackageRow("UPDATEDIAG");

    diag(context);

    const auto rows = query("select diag, desc_spec from diag order by diag");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], std::string(33000, 'y'));
    EXPECT_EQ(rows[1][1], "court");
}

TEST_F(DiagFixture, ASecondRunRenumbersAgainWithoutAWord) {
    fillDiag(120);
    addPackageRow("UPDATEDIAG");
    diag(context);
    const auto afterFirst = contentWithoutMd();
    model.IB.close(); // the transfer closes the database after each package

    addPackageRow("UPDATEDIAG");
    recordWords(model.tmem.rowCount());
    diag(context);

    EXPECT_EQ(words, (std::vector<std::string>{"Alter", "trigger", "Installation", "Installer"}));
    EXPECT_EQ(contentWithoutMd(), afterFirst);
    EXPECT_EQ(query("select count(*), min(id), max(id) from diag"),
              (std::vector<std::vector<std::string>>{{"120", "121", "240"}}));
    EXPECT_EQ(model.tmem.currentIndex(), model.tmem.rowCount() - 1);
    EXPECT_EQ(model.tmem.current().etat, "Installer");
    EXPECT_EQ(view.migrationPercents, (std::vector<std::string>{"84%", "84%"}));
    EXPECT_FALSE(view.panels[PanelId::DiagNotice]);
    EXPECT_TRUE(view.log.empty());
    EXPECT_TRUE(view.dialogs.empty());
}

TEST_F(DiagFixture, AFailedCopyLeavesEveryRowAsItWasAndALaterRunCompletes) {
    // Every copy carries MD 0, which this constraint refuses.
    fillDiag(230);
    execute({"alter table diag add constraint diag_md_set check (md <> 0)"});
    const auto before = wholeContent();
    addPackageRow("UPDATEDIAG");

    const std::string failure = failureOfDiag();

    EXPECT_EQ(failure.rfind(kFirstLine, 0), 0u) << failure;
    EXPECT_NE(failure.find("DIAG_MD_SET"), std::string::npos) << "the server's words are kept: " << failure;
    expectNothingPending();
    EXPECT_EQ(model.tmem.current().etat, "Installation");
    EXPECT_EQ(wholeContent(), before);

    execute({"alter table diag drop constraint diag_md_set"});
    model.IB.close();
    addPackageRow("UPDATEDIAG");
    EXPECT_EQ(failureOfDiag(), "<completed>");
    // The refused copy used a number of the generator, which no transaction takes back.
    EXPECT_EQ(query("select count(*), count(distinct id), min(id), max(id) from diag"),
              (std::vector<std::vector<std::string>>{{"230", "230", "2", "231"}}));
}

TEST_F(DiagFixture, ALostConnectionInTheMiddleOfTheCopyLeavesEveryRowAsItWas) {
    fillDiag(350);
    const auto before = wholeContent();
    addPackageRow("UPDATEDIAG");
    int passes = 0;
    view.onProcessMessages = [&] {
        // The server cuts the updater's connection, as when the network goes.
        if (++passes == 2)
            execute({"delete from mon$attachments where mon$attachment_id <> current_connection"});
    };

    const std::string failure = failureOfDiag();

    EXPECT_EQ(failure.rfind(kFirstLine, 0), 0u) << failure;
    EXPECT_EQ(passes, 2);
    EXPECT_FALSE(model.IBTransaction1.isActive());
    EXPECT_FALSE(model.IBTransaction4.isActive());
    EXPECT_EQ(wholeContent(), before);
}

struct RefusedObject {
    const char* name;
    const char* ddlTrigger; // refuses the statement that adds the object
    const char* missing;    // the object named in the message (UTF-8)
    std::vector<std::string> words;
};

class DiagRefusedObjects : public DiagFixture, public ::testing::WithParamInterface<RefusedObject> {};

TEST_P(DiagRefusedObjects, AnObjectThatCannotBeAddedStopsTheMigrationBeforeAnyRowIsTouched) {
    const RefusedObject& c = GetParam();
    fillDiag(120);
    const auto before = wholeContent();
    execute({"create exception diag_in_use 'objet en cours d''utilisation'",
             std::string("create trigger refuse_diag_object before ") + c.ddlTrigger});
    model.IB.close(); // a connection knows the DDL triggers that were there when it was made
    addPackageRow("UPDATEDIAG");
    recordWords(1);

    const std::string failure = failureOfDiag();

    EXPECT_EQ(failure.rfind(kFirstLine + fr("Impossible de créer ") + fr(c.missing) + " :\n", 0), 0u)
        << failure;
    EXPECT_NE(failure.find("objet en cours d'utilisation"), std::string::npos) << failure;
    EXPECT_EQ(words, c.words);
    expectNothingPending();
    EXPECT_EQ(wholeContent(), before);
    EXPECT_TRUE(view.log.empty());

    // Once the object can be added, the next run adds it and renumbers every row once.
    execute({"drop trigger refuse_diag_object"});
    model.IB.close();
    addPackageRow("UPDATEDIAG");
    EXPECT_EQ(failureOfDiag(), "<completed>");
    EXPECT_EQ(query("select count(*), count(distinct id), min(id) from diag where id > 0"),
              (std::vector<std::vector<std::string>>{{"120", "120", "1"}}));
    EXPECT_EQ(queryValue("select count(*) from diag"), "120");
}

INSTANTIATE_TEST_SUITE_P(
    Objects, DiagRefusedObjects,
    ::testing::Values(
        RefusedObject{"Column",
                      "alter table as begin if (rdb$get_context('DDL_TRIGGER', 'OBJECT_NAME') = 'DIAG') then "
                      "exception diag_in_use; end",
                      "la colonne ID de la table DIAG",
                      {"Alter"}},
        RefusedObject{"Generator",
                      "create sequence as begin exception diag_in_use; end",
                      "le générateur GEN_DIAG_ID",
                      {"Alter", "Generator"}},
        RefusedObject{"Trigger",
                      "create trigger as begin if (rdb$get_context('DDL_TRIGGER', 'OBJECT_NAME') = "
                      "'DIAG_BI') then exception diag_in_use; end",
                      "le déclencheur DIAG_BI",
                      {"Alter", "Generator", "diag=-1"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DiagFixture, AWorkstationWritingDiagIsWaitedForThenTheMigrationGivesUp) {
    fillDiag(40);
    test::OtherConnection workstation(database.name(), database.password());
    workstation.execute("update diag set desc_ramq = 'en cours' where diag = 'D7'");
    const auto before = wholeContent();
    addPackageRow("UPDATEDIAG");
    recordWords(1);

    const auto start = std::chrono::steady_clock::now();
    const std::string failure = failureOfDiag(std::chrono::seconds(2));
    const auto waited = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(
        failure.rfind(kFirstLine + "Un autre poste modifie la table DIAG depuis plus de 2 secondes :\n", 0),
        0u)
        << failure;
    EXPECT_GE(waited, std::chrono::seconds(2));
    EXPECT_GE(view.messagePasses, 1) << "the window is kept alive while it waits";
    EXPECT_EQ(words, (std::vector<std::string>{"Alter", "Generator", "diag=-1"}));
    expectNothingPending();
    EXPECT_EQ(wholeContent(), before);

    // The workstation's own change is not lost, and the table holds every row once.
    workstation.commit();
    EXPECT_EQ(queryValue("select count(*) from diag where desc_ramq starting with 'en cours'"), "1");
    EXPECT_EQ(queryValue("select count(*) from diag"), "40");
}

TEST_F(DiagFixture, AWorkstationThatEndsItsChangeWhileWaitedForIsRenumberedWithIt) {
    fillDiag(40);
    test::OtherConnection workstation(database.name(), database.password());
    workstation.execute("update diag set desc_ramq = 'en cours' where diag = 'D7'");
    addPackageRow("UPDATEDIAG");
    view.onProcessMessages = [&] {
        if (workstation.inTransaction())
            workstation.commit();
    };

    EXPECT_EQ(failureOfDiag(std::chrono::seconds(20)), "<completed>");

    EXPECT_EQ(query("select count(*), count(distinct id), min(id), max(id) from diag"),
              (std::vector<std::vector<std::string>>{{"40", "40", "1", "40"}}));
    EXPECT_EQ(queryValue("select trim(desc_ramq) from diag where diag = 'D7'"), "en cours");
    EXPECT_EQ(model.tmem.current().etat, "Installer");
}

TEST_F(DiagFixture, ARowAWorkstationInsertsDuringTheCopyIsKeptOnceWithANumberOfItsOwn) {
    fillDiag(250);
    addPackageRow("UPDATEDIAG");
    std::thread insert;
    std::string refusedAtOnce;
    view.onProcessMessages = [&] {
        if (insert.joinable())
            return;
        // A workstation that does not wait is told at once that DIAG is being written.
        try {
            test::OtherConnection hurried(database.name(), database.password());
            hurried.execute("insert into diag (diag, code) values ('Presse', 'P')");
            hurried.commit();
        } catch (const platform::DatabaseError& error) {
            refusedAtOnce = error.what();
        }
        // One that waits gets its row in as soon as the renumbering has committed.
        insert = std::thread(
            [this] { execute({"insert into diag (diag, code, md) values ('Nouveau', 'N', 9)"}); });
    };

    EXPECT_EQ(failureOfDiag(), "<completed>");
    ASSERT_TRUE(insert.joinable());
    insert.join();

    EXPECT_NE(refusedAtOnce.find("lock"), std::string::npos) << refusedAtOnce;
    EXPECT_EQ(queryValue("select count(*) from diag where diag = 'Presse'"), "0");
    EXPECT_EQ(query("select count(*), min(id), max(id) from diag where diag <> 'Nouveau'"),
              (std::vector<std::vector<std::string>>{{"250", "1", "250"}}));
    EXPECT_EQ(query("select md, id from diag where diag = 'Nouveau'"),
              (std::vector<std::vector<std::string>>{{"9", "251"}}));
}

TEST_F(DiagFixture, TheCopyReadsTheTableAsMarkedNotAnOlderSnapshot) {
    fillDiag(5);
    // Every row inserted into DIAG notes the generator's value just after: one inserter at a time
    // writes DIAG, so that is the number the row was given, and a number drawn for nothing leaves a gap.
    execute(
        {"create table diag_drawn (diag char(30), drawn bigint)",
         "create trigger diag_note_drawn for diag active after insert position 0 as declare drawn bigint; "
         "begin begin execute statement 'select gen_id(gen_diag_id, 0) from rdb$database' into :drawn; "
         "when any do drawn = null; end insert into diag_drawn values (new.diag, :drawn); end"});
    DataSet earlier(model.IBTransaction4, "select * from diag");
    earlier.open(); // an earlier read leaves IBTransaction4 on a snapshot of five rows
    earlier.close();
    // A workstation's row waits for that transaction, which alone may write DIAG, to end.
    std::thread later([this] { execute({"insert into diag (diag, code, md) values ('Later', 'L', 3)"}); });
    addPackageRow("UPDATEDIAG");

    diag(context);
    later.join();

    // Every row is there once, with a number of its own, and the six numbers are the last six the
    // generator gave. Every number it gave went to a row that was committed.
    using Rows = std::vector<std::vector<std::string>>;
    EXPECT_EQ(queryValue("select count(*) from diag where diag = 'Later'"), "1");
    const std::string last = queryValue("select gen_id(gen_diag_id, 0) from rdb$database");
    EXPECT_EQ(
        query("select count(distinct drawn), min(drawn), cast(max(drawn) as varchar(12)) from diag_drawn "
              "where drawn > 0"),
        (Rows{{last, "1", last}}));
    EXPECT_EQ(
        query("select count(*), count(distinct id), max(id) - min(id) + 1, cast(max(id) as varchar(12)) "
              "from diag"),
        (Rows{{"6", "6", "6", last}}));

    const Rows laterRow = query("select md, id from diag where diag = 'Later'");
    ASSERT_EQ(laterRow.size(), 1u);
    if (laterRow[0][0] == "3") {
        // Its insert waited for the renumbering's commit, then the trigger numbered it after the others.
        EXPECT_EQ(laterRow[0][1], "6");
        EXPECT_EQ(query("select count(*), min(id), max(id) from diag where diag <> 'Later'"),
                  (Rows{{"5", "1", "5"}}));
    } else {
        // Its insert got in between the earlier snapshot's end and the renumbering's start, so the
        // renumbering copied it with the others (MD 0). When the trigger was there by then, that insert
        // took number 1 for its row, which the renumbering then gave up with the row: the copies start
        // at 2. No other number may come before them.
        EXPECT_EQ(laterRow[0][0], "0");
        EXPECT_TRUE(last == "6" || last == "7") << last;
        EXPECT_EQ(queryValue("select count(*) from diag_drawn where diag = 'Later' and drawn = 1"),
                  last == "7" ? "1" : "0");
    }
}
