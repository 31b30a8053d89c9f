#include "FtpformLayout.h"
#include "PackageGridModel.h"
#include "PackageTable.h"
#include "Windows1252.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

using halvio::fr;
using halvio::FtpformLayout;
using halvio::PackageGridModel;
using halvio::PackageTable;

class PackageGrid : public ::testing::Test {
protected:
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        tmem.open();
    }

    void addPackage(const std::string& nom, const std::string& description, const std::string& dates,
                    std::int32_t taille) {
        tmem.append();
        tmem.setNom(nom);
        tmem.setDescription(description);
        tmem.setDates(dates);
        tmem.setTaille(taille);
        tmem.post();
    }

    QString cell(int row, int column) const { return grid()->model()->index(row, column).data().toString(); }

    QTableView* grid() const { return layout.DBGrid2; }

    QList<int> highlightedRows() const {
        QList<int> rows;
        for (const QModelIndex& index : grid()->selectionModel()->selectedRows())
            rows.append(index.row());
        return rows;
    }

    // The colour the grid paints in the middle of the Statut cell of a row.
    QColor paintedStatusColour(int row) const {
        const QImage image = grid()->viewport()->grab().toImage();
        const int x = grid()->columnViewportPosition(PackageGridModel::Etat) + 95;
        const int y = grid()->rowViewportPosition(row) + grid()->rowHeight(row) / 2;
        return image.pixelColor(x, y);
    }

    PackageTable tmem;
    QWidget window;
    FtpformLayout layout{window, tmem};
    // Checks every signal of the model against its contract as the tests drive tmem.
    QAbstractItemModelTester contract{layout.gridModel,
                                      QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(PackageGrid, HasTheDesignedColumns) {
    const QString titles[] = {"Description", "Mise à jour le", "Taille", "Statut", "%"};
    ASSERT_EQ(grid()->model()->columnCount(), 5);
    for (int column = 0; column < 5; ++column)
        EXPECT_EQ(grid()->model()->headerData(column, Qt::Horizontal).toString(), titles[column]);
    EXPECT_EQ(grid()->columnWidth(PackageGridModel::Description), 258);
    // The designed 106, widened where the font needs it for a whole date and time with the cell's
    // margins (the window's caption test checks that nothing is cut).
    EXPECT_GE(grid()->columnWidth(PackageGridModel::Dates), 106);
    EXPECT_LE(grid()->columnWidth(PackageGridModel::Dates), 130);
    EXPECT_EQ(grid()->columnWidth(PackageGridModel::Etat), 102);
    EXPECT_EQ(grid()->columnWidth(PackageGridModel::Pc), 44);
    EXPECT_TRUE(grid()->horizontalHeader()->isVisible());
    EXPECT_TRUE(grid()->verticalHeader()->isVisible()); // the indicator column
    EXPECT_TRUE(grid()->showGrid());
    EXPECT_FALSE(grid()->isEnabled());
    EXPECT_EQ(grid()->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid()->model()->rowCount(), 0);
}

TEST_F(PackageGrid, ShowsRowsAsTheyAreAppended) {
    addPackage("base", fr("Mise à jour générale"), "2004.03.07 14:05:09", 100000);
    ASSERT_EQ(grid()->model()->rowCount(), 1);
    EXPECT_EQ(cell(0, PackageGridModel::Description), "Mise à jour générale");
    EXPECT_EQ(cell(0, PackageGridModel::Dates), "2004.03.07 14:05:09");
    EXPECT_EQ(cell(0, PackageGridModel::Taille), "100000");
    EXPECT_EQ(cell(0, PackageGridModel::Etat), "");
    EXPECT_EQ(cell(0, PackageGridModel::Pc), ""); // no percentage yet: blank, not 0

    addPackage("rapport", "Rapports", "2004.04.01 08:00:00", 150000);
    ASSERT_EQ(grid()->model()->rowCount(), 2);
    EXPECT_EQ(cell(1, PackageGridModel::Description), "Rapports");

    tmem.first();
    tmem.edit();
    tmem.setEtat(fr("Transfer."));
    tmem.setPc(67);
    EXPECT_EQ(cell(0, PackageGridModel::Etat), "Transfer.");
    EXPECT_EQ(cell(0, PackageGridModel::Pc), "67");
    tmem.setEtat("Transmis");
    tmem.setPc(100);
    tmem.post();
    EXPECT_EQ(cell(0, PackageGridModel::Etat), "Transmis");
    EXPECT_EQ(cell(0, PackageGridModel::Pc), "100");
    EXPECT_EQ(cell(1, PackageGridModel::Etat), "");

    // Sorting by name reorders what the grid shows.
    addPackage("abc", "Avant tout", "2004.05.01 08:00:00", 1);
    tmem.sortByNom();
    EXPECT_EQ(cell(0, PackageGridModel::Description), "Avant tout");
    EXPECT_EQ(cell(1, PackageGridModel::Description), "Mise à jour générale");
}

TEST_F(PackageGrid, ShowsTextsCutToTheirFields) {
    const std::string description(120, 'd');
    addPackage("long", description, "2004.03.07 14:05:09 and more", 5);
    tmem.edit();
    tmem.setEtat(fr("Installé mais trop long"));
    tmem.post();
    EXPECT_EQ(cell(0, PackageGridModel::Description), QString(100, 'd'));
    EXPECT_EQ(cell(0, PackageGridModel::Dates), "2004.03.07 14:05:09 ");
    EXPECT_EQ(cell(0, PackageGridModel::Etat), "Installé mais trop l");
}

TEST_F(PackageGrid, HighlightsTheWholeCurrentRowWithoutFocus) {
    addPackage("a", "Un", "2004.01.01 00:00:00", 1);
    addPackage("b", "Deux", "2004.01.02 00:00:00", 2);
    tmem.first();
    EXPECT_EQ(highlightedRows(), QList<int>{0});
    EXPECT_FALSE(grid()->hasFocus());
    const QColor highlight = grid()->palette().color(QPalette::Active, QPalette::Highlight);
    const QColor base = grid()->palette().color(QPalette::Active, QPalette::Base);
    ASSERT_NE(highlight, base);
    EXPECT_EQ(paintedStatusColour(0), highlight);
    EXPECT_EQ(paintedStatusColour(1), base);

    const QAbstractItemModel* model = grid()->model();
    EXPECT_FALSE(model->headerData(0, Qt::Vertical, Qt::DecorationRole).isNull());
    EXPECT_TRUE(model->headerData(1, Qt::Vertical, Qt::DecorationRole).isNull());

    tmem.next();
    EXPECT_EQ(highlightedRows(), QList<int>{1});
    EXPECT_EQ(paintedStatusColour(0), base);
    EXPECT_EQ(paintedStatusColour(1), highlight);
    EXPECT_TRUE(model->headerData(0, Qt::Vertical, Qt::DecorationRole).isNull());
    EXPECT_FALSE(model->headerData(1, Qt::Vertical, Qt::DecorationRole).isNull());

    tmem.next(); // past the last row: nothing is current
    EXPECT_TRUE(highlightedRows().isEmpty());
}

TEST_F(PackageGrid, SignalsOnlyRowsWhoseShownValuesChanged) {
    addPackage("a", "Un", "2004.01.01 00:00:00", 1);
    addPackage("b", "Deux", "2004.01.02 00:00:00", 2);
    tmem.first();
    tmem.edit();
    QSignalSpy changed(layout.gridModel, &QAbstractItemModel::dataChanged);
    tmem.setPc(40);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toModelIndex().row(), 0);
    tmem.setPc(40); // a download reports the same percentage many times
    tmem.setPc(40);
    EXPECT_EQ(changed.count(), 1);
    tmem.setPc(41);
    EXPECT_EQ(changed.count(), 2);
}

} // namespace
