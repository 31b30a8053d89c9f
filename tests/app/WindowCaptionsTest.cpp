// The captions of the real window with the fonts this workstation has: the family the layout was
// drawn for (Arial's metrics) is the one that is used, no caption is cut by its own widget or by a
// widget around it (in the work area, the grid, the DIAG notice and the end panel), and the window
// keeps its size when the end panel appears.
#include "AppTestSupport.h"

#include "FirebirdFixtures.h"
#include "Gauge.h"
#include "PackageTable.h"
#include "SpeedButton.h"
#include "StatusPanels.h"
#include "Windows1252.h"
#include "ftp.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStyleOptionButton>
#include <QTableView>
#include <QtTest/QTest>
#include <gtest/gtest.h>

using namespace halvio;
using namespace halvio::test;

namespace {

// Where a caption's text is drawn, in the coordinates of the widget that draws it.
struct Caption {
    QWidget* widget;
    QString text;
    QRect room; // what the widget gives the text
    int flags;  // alignment
};

std::string describe(const Caption& caption, const QString& problem) {
    return (caption.widget->objectName() + " \"" + caption.text + "\": " + problem).toStdString();
}

std::vector<Caption> captionsOf(QWidget& widget) {
    if (auto* label = qobject_cast<QLabel*>(&widget)) {
        if (label->text().isEmpty())
            return {};
        const int margin = label->margin() + std::max(label->indent(), 0);
        return {{label, label->text(), label->contentsRect().adjusted(margin, margin, -margin, -margin),
                 static_cast<int>(label->alignment())}};
    }
    if (auto* box = qobject_cast<QCheckBox*>(&widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        const QRect room = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        return {{box, box->text(), room, Qt::AlignLeft | Qt::AlignVCenter}};
    }
    if (auto* button = qobject_cast<QPushButton*>(&widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        return {{button, button->text(), room, Qt::AlignCenter}};
    }
    if (auto* gauge = qobject_cast<Gauge*>(&widget))
        return {{gauge, gauge->shownText(), gauge->contentsRect(), Qt::AlignCenter}};
    return {};
}

// What is wrong with the caption: wider or taller than the room its widget gives it, or drawn where
// a widget around it cuts it off. Empty when it shows whole.
std::vector<std::string> clipping(const Caption& caption, QWidget& window) {
    std::vector<std::string> problems;
    const QFontMetrics metrics = caption.widget->fontMetrics();
    const QStringList lines = caption.text.split('\n');
    int widest = 0;
    for (QString line : lines) {
        // A blank at the end of a line shows nothing, and a label gives it no room.
        while (line.endsWith(' '))
            line.chop(1);
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    const int height = static_cast<int>(lines.size()) * metrics.lineSpacing() - metrics.leading();
    if (widest > caption.room.width())
        problems.push_back(
            describe(caption, QString("%1 px wide in %2").arg(widest).arg(caption.room.width())));
    if (height > caption.room.height())
        problems.push_back(
            describe(caption, QString("%1 px high in %2").arg(height).arg(caption.room.height())));

    // Where the text lands, then every widget around it.
    const QRect drawn = QStyle::alignedRect(Qt::LeftToRight, Qt::Alignment(caption.flags),
                                            QSize(widest, height), caption.room);
    for (QWidget* around = caption.widget; around && around != &window; around = around->parentWidget()) {
        QWidget* parent = around->parentWidget();
        const QRect inParent(caption.widget->mapTo(parent, drawn.topLeft()), drawn.size());
        if (!parent->rect().contains(inParent))
            problems.push_back(describe(caption, "cut off by " + parent->objectName()));
    }
    return problems;
}

// Every caption of the widgets that are shown, with what cuts it.
std::vector<std::string> clippedCaptions(QWidget& window) {
    std::vector<std::string> problems;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window))
            continue;
        for (const Caption& caption : captionsOf(*widget)) {
            const std::vector<std::string> found = clipping(caption, window);
            problems.insert(problems.end(), found.begin(), found.end());
        }
    }
    return problems;
}

// The grid's titles and cells against their columns, with the margins the cells draw inside.
std::vector<std::string> clippedCells(QTableView& grid) {
    std::vector<std::string> problems;
    const QFontMetrics metrics = grid.fontMetrics();
    const int cellMargin = grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 1;
    const int headerMargin =
        grid.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, grid.horizontalHeader());
    QAbstractItemModel& model = *grid.model();
    for (int column = 0; column < model.columnCount(); ++column) {
        const int width = grid.columnWidth(column);
        const QString title = model.headerData(column, Qt::Horizontal).toString();
        const QFontMetrics headerMetrics = grid.horizontalHeader()->fontMetrics();
        if (headerMetrics.horizontalAdvance(title) + 2 * headerMargin > width)
            problems.push_back("title \"" + title.toStdString() + "\" in " + std::to_string(width) + " px");
        for (int row = 0; row < model.rowCount(); ++row) {
            const QString text = model.index(row, column).data().toString();
            if (metrics.horizontalAdvance(text) + 2 * cellMargin > width)
                problems.push_back("cell \"" + text.toStdString() + "\" in " + std::to_string(width) + " px");
        }
    }
    return problems;
}

class WindowCaptions : public ::testing::Test {
protected:
    void SetUp() override {
        // No kliso.ini: the show handler gives up on the built-in name, nothing else happens.
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return !logLines(form).empty() &&
                       logLines(form).back().startsWith("Echec lors de la connection");
            },
            60000));
    }

    // Captions as a run writes them, at their longest.
    void fillAsARunWould() {
        form.setClientMajCaption("2004.03.07");
        form.setStartCaption(fr("Démarrer (5 sec.)"));
        form.setMigrationPercentCaption("100%");
        form.setGaugeProgress(GaugeId::CurrentFile, 100);
        form.setGaugeProgress(GaugeId::AllFiles, 100);
        PackageTable& tmem = form.model.tmem;
        const char* words[] = {"Transfer.", "Transmis", "Installation", "Generator", "Installer", "Alter"};
        for (const char* word : words) {
            tmem.append();
            tmem.setNom("HALVIO");
            tmem.setDescription("Nouvelle version du programme Halvio");
            tmem.setDates("2024.12.31 23:59:59");
            tmem.setTaille(2147483647);
            tmem.setEtat(word);
            tmem.setPc(100);
            tmem.post();
        }
        QCoreApplication::processEvents();
    }

    ProxyVariables noProxy;
    TempFolder folder;
    TFtpform form{folder.file("maj_kliso.exe")};
};

TEST_F(WindowCaptions, AreDrawnWithAFamilyOfArialsMetrics) {
    // Liberation Sans stands in for Arial where Arial is missing; any other family is wider or
    // narrower, and the layout's captions no longer fit.
    const std::vector<QWidget*> arialWidgets{&form,
                                             form.layout.Memo2,
                                             form.layout.Label10,
                                             form.layout.Label8,
                                             form.layout.Label3,
                                             form.layout.DBGrid2,
                                             form.layout.CheckBox1};
    for (QWidget* widget : arialWidgets) {
        const QString used = QFontInfo(widget->font()).family();
        EXPECT_TRUE(used == "Arial" || used == "Liberation Sans")
            << widget->objectName().toStdString() << " is drawn with " << used.toStdString()
            << " (is fonts-liberation installed?)";
    }
}

TEST_F(WindowCaptions, NoCaptionIsCutInTheWorkAreaTheGridOrTheStatusBar) {
    fillAsARunWould();
    EXPECT_EQ(clippedCaptions(form), std::vector<std::string>{});
    EXPECT_EQ(clippedCells(*form.layout.DBGrid2), std::vector<std::string>{});
}

TEST_F(WindowCaptions, NoCaptionIsCutInTheDiagNotice) {
    fillAsARunWould();
    form.setPanelVisible(PanelId::DiagNotice, true);
    ASSERT_TRUE(form.layout.Label8->isVisibleTo(&form));
    EXPECT_EQ(clippedCaptions(form), std::vector<std::string>{});
}

TEST_F(WindowCaptions, NoCaptionIsCutInTheEndPanelAndTheWindowKeepsItsSize) {
    fillAsARunWould();
    QCoreApplication::processEvents();
    const QSize before = form.size();
    ASSERT_EQ(before, FtpformLayout::kClientSize);

    form.setPanelVisible(PanelId::EndPanel, true);
    ASSERT_TRUE(form.layout.Label3->isVisibleTo(&form));
    QTest::qWait(100); // layout requests are posted events
    EXPECT_EQ(form.size(), before);
    EXPECT_LE(form.minimumSizeHint().width(), before.width());
    EXPECT_EQ(form.layout.Panel1->geometry(), form.layout.DBGrid2->geometry());
    EXPECT_EQ(clippedCaptions(form), std::vector<std::string>{});
}

} // namespace
