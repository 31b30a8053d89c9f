// The DIAG renumbering against a real clinic database: its statements, its batches of commits as
// another connection sees them, the gauge and Label11, and its progress row in tmem.
#include "DiagMigration.h"
#include "RunFixture.h"

#include <gtest/gtest.h>

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

    std::vector<std::string> words;
};

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

TEST_P(DiagBatches, CommitsAfter100ThenEvery101RowsAndRenumbersEveryRow) {
    const BatchCase& c = GetParam();
    fillDiag(c.rows);
    const auto before = contentWithoutMd();
    addPackageRow("UPDATEDIAG");
    recordWords(1);

    struct Pass {
        std::string committedCopies;
        std::string oldRows;
        bool panelShown;
        std::uint64_t generation;
    };
    std::vector<Pass> passes;
    view.onProcessMessages = [&] {
        passes.push_back({queryValue("select count(*) from diag where id <> -1"),
                          queryValue("select count(*) from diag where id = -1"),
                          view.panels[PanelId::DiagNotice], model.IBTransaction1.handle().generation()});
    };
    const std::uint64_t startGeneration = model.IBTransaction1.handle().generation();

    diag(context);

    ASSERT_EQ(passes.size(), c.percents.size());
    for (size_t k = 0; k < passes.size(); ++k) {
        SCOPED_TRACE("commit " + std::to_string(k + 1));
        EXPECT_EQ(passes[k].committedCopies, std::to_string(k == 0 ? 0 : 100 + 101 * (k - 1)));
        EXPECT_EQ(passes[k].oldRows, std::to_string(c.rows));
        EXPECT_TRUE(passes[k].panelShown);
        if (k > 0) {
            EXPECT_EQ(passes[k].generation - passes[k - 1].generation, 1u);
        }
    }
    // Four guarded statements committed, the count rolled back, the commits in the loop, the
    // final commit and the delete: a commit per batch, never per row.
    EXPECT_EQ(model.IBTransaction1.handle().generation() - startGeneration, 7 + c.percents.size());
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
             "update diag set desc_spec = desc_spec || desc_spec", "update diag set desc_spec = desc_spec || desc_spec",
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

TEST_F(DiagFixture, AFailedCopyPropagatesAndKeepsTheOldRows) {
    // Every copy carries MD 0, which this constraint refuses.
    fillDiag(30);
    execute({"alter table diag add constraint diag_md_set check (md <> 0)"});
    addPackageRow("UPDATEDIAG");

    EXPECT_THROW(diag(context), platform::DatabaseError);

    EXPECT_TRUE(view.panels[PanelId::DiagNotice]);
    EXPECT_EQ(model.tmem.current().etat, "Installation");
    EXPECT_EQ(queryValue("select count(*) from diag where id = -1"), "30");
    EXPECT_EQ(queryValue("select count(*) from diag"), "30");
}

TEST_F(DiagFixture, TheCopyReadsTheTableAsMarkedNotAnOlderSnapshot) {
    fillDiag(5);
    model.tdiag.open(); // an earlier read leaves IBTransaction4 on a snapshot of five rows
    model.tdiag.close();
    execute({"insert into diag (diag, code, md) values ('Later', 'L', 3)"});
    addPackageRow("UPDATEDIAG");

    diag(context);

    EXPECT_EQ(query("select count(*), min(id), max(id) from diag"),
              (std::vector<std::vector<std::string>>{{"6", "1", "6"}}));
    EXPECT_EQ(queryValue("select count(*) from diag where diag = 'Later'"), "1");
}
