#include "FtpformLayout.h"

#include "Gauge.h"
#include "PackageTable.h"
#include "ServiceHosts.h"
#include "SpeedButton.h"
#include "StatusPanels.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTableView>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

using halvio::FtpformLayout;

QString vendor() {
    return QString::fromUtf8(halvio::hosts::kVendorShortName);
}

class MainWindowLayout : public ::testing::Test {
protected:
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QWidget* element(const char* name) {
        auto* found = window.findChild<QWidget*>(QString::fromLatin1(name));
        if (!found)
            ADD_FAILURE() << "no element " << name;
        return found;
    }

    QString textOf(const char* name) {
        QWidget* w = element(name);
        if (auto* l = qobject_cast<QLabel*>(w))
            return l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            return b->text();
        ADD_FAILURE() << name << " shows no text";
        return {};
    }

    halvio::PackageTable tmem;
    QWidget window;
    FtpformLayout layout{window, tmem};
};

TEST_F(MainWindowLayout, ShowsItsTextsInTheInitialState) {
    EXPECT_EQ(window.objectName(), "Ftpform");
    EXPECT_EQ(window.windowTitle(), vendor() + " - Mise à jour par internet");
    const std::pair<const char*, QString> texts[] = {
        {"Label7", vendor()},
        {"Label10", "Vérification et transfert des mises à jour"},
        {"Button1", "Démarrer"},
        {"SpeedButton1", "Abandonner"},
        {"Label1", "Fichier en cours"},
        {"Label2", "Tous les fichiers"},
        {"clientmaj", ""},
        {"CheckBox3", "Ne pas utiliser le proxy"},
        {"CheckBox1", "Transferer la structure de votre base de données"},
        {"CheckBox2", "Connection directe à " + vendor() + " (version Beta)!"},
        {"Label8", "Ne pas arrêter cette mise à jour "},
        {"Label9",
         "Cette mise à jour est longue et \nne doit pas être interrrompue!\n\nVeuillez patienter SVP."},
        {"Label11", "0%"},
        {"Label3", "Vous pouvez visonner la liste des modifications qui ont été effectuées\n"
                   "dans le menu principal / Internet / Détails des mises à jour effectuées.\n"
                   "Merci de faire confiance à " +
                       vendor() + " et bonne fin de journée!"},
    };
    for (const auto& [name, text] : texts)
        EXPECT_EQ(textOf(name), text) << name;
    EXPECT_EQ(layout.CheckBox2->toolTip(),
              "Attention, cette méthode peut vous procurer une version Beta du logiciel");
    EXPECT_EQ(layout.s1->panelCount(), 3);
    EXPECT_EQ(layout.s1->panelText(0), "");
    EXPECT_EQ(layout.s1->panelText(1), "");
    EXPECT_EQ(layout.s1->panelText(2), vendor() + " 2004");
    EXPECT_TRUE(layout.Memo2->toPlainText().isEmpty());
}

TEST_F(MainWindowLayout, StartsWithStartDisabledAndNoticesHidden) {
    EXPECT_FALSE(layout.Button1->isEnabled());
    EXPECT_EQ(layout.Button1->tag(), 5);
    EXPECT_TRUE(layout.SpeedButton1->isEnabled());
    EXPECT_EQ(layout.Button1->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(layout.SpeedButton1->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(layout.CheckBox3->isChecked());
    EXPECT_FALSE(layout.CheckBox1->isChecked());
    EXPECT_TRUE(layout.CheckBox2->isChecked());
    EXPECT_FALSE(layout.Panel5->isVisible());
    EXPECT_FALSE(layout.Panel1->isVisible());
    EXPECT_TRUE(layout.DBGrid2->isVisible());
    for (halvio::Gauge* gauge : {layout.p1, layout.p2}) {
        EXPECT_EQ(gauge->minimum(), 0);
        EXPECT_EQ(gauge->maximum(), 100);
        EXPECT_EQ(gauge->progress(), 0);
        EXPECT_EQ(gauge->shownText(), "0%");
    }
    EXPECT_FALSE(layout.Memo2->isReadOnly()); // the user may type into the log
    EXPECT_EQ(layout.Memo2->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST_F(MainWindowLayout, PlacesEveryElementAtItsDesignedPlace) {
    ASSERT_EQ(window.size(), FtpformLayout::kClientSize);
    struct Place {
        const char* name;
        QRect geometry; // a zero width or height is not checked
    };
    const Place places[] = {
        {"Panel3", {0, 0, 645, 40}},         {"Image1", {5, 3, 32, 32}},
        {"Label7", {41, 16, 0, 0}},          {"Panel4", {0, 40, 645, 174}},
        {"Memo2", {0, 0, 357, 174}},         {"Button1", {369, 6, 139, 31}},
        {"SpeedButton1", {508, 6, 113, 31}}, {"Label1", {368, 41, 0, 0}},
        {"p1", {368, 56, 176, 19}},          {"Label2", {416, 78, 0, 0}},
        {"p2", {369, 92, 176, 19}},          {"clientmaj", {570, 70, 0, 0}},
        {"CheckBox3", {370, 120, 0, 0}},     {"CheckBox1", {370, 138, 0, 0}},
        {"CheckBox2", {369, 154, 0, 0}},     {"Panel5", {24, 16, 283, 133}},
        {"Shape2", {4, 6, 275, 23}},         {"Label8", {27, 9, 0, 0}},
        {"Label9", {12, 36, 0, 0}},          {"Label11", {228, 109, 0, 0}},
        {"packageArea", {0, 214, 645, 140}}, {"DBGrid2", {0, 0, 645, 140}},
        {"s1", {0, 354, 645, 19}},
    };
    for (const auto& [name, expected] : places) {
        QWidget* w = element(name);
        ASSERT_TRUE(w);
        EXPECT_EQ(w->pos(), expected.topLeft()) << name;
        if (expected.width() > 0) {
            EXPECT_EQ(w->size(), expected.size()) << name;
        }
    }
    EXPECT_EQ(layout.Label10->geometry().right() + 1, 595);
    EXPECT_EQ(layout.Label10->y(), 15);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(layout.s1->panel(i)->width(), 200);
}

TEST_F(MainWindowLayout, LeavesRoomForTheCaptionsWrittenLater) {
    const std::pair<QLabel*, QString> later[] = {{layout.clientmaj, "2004.03.07"}, {layout.Label11, "100%"}};
    for (const auto& [label, text] : later) {
        label->setText(text);
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(text)) << text.toStdString();
    }
    layout.Button1->setText("Démarrer (5 sec.)");
    EXPECT_GE(layout.Button1->width(), layout.Button1->sizeHint().width());
}

TEST_F(MainWindowLayout, OpensCentredOnTheScreen) {
    QWidget fresh;
    halvio::PackageTable table;
    FtpformLayout freshLayout(fresh, table);
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    const QPoint centre =
        fresh.pos() + QPoint(FtpformLayout::kOuterSize.width() / 2, FtpformLayout::kOuterSize.height() / 2);
    EXPECT_LE((centre - screenCentre).manhattanLength(), 2);
}

TEST_F(MainWindowLayout, GivesExtraHeightToThePackageArea) {
    window.resize(745, 573);
    QTRY_COMPARE(layout.packageArea->geometry(), QRect(0, 214, 745, 340));
    EXPECT_EQ(layout.Panel3->geometry(), QRect(0, 0, 745, 40));
    EXPECT_EQ(layout.Panel4->geometry(), QRect(0, 40, 745, 174));
    EXPECT_EQ(layout.s1->geometry(), QRect(0, 554, 745, 19));
    EXPECT_EQ(layout.DBGrid2->geometry(), QRect(0, 0, 745, 340));
    EXPECT_EQ(layout.Button1->pos(), QPoint(369, 6));
    EXPECT_EQ(layout.p2->pos(), QPoint(369, 92));

    layout.Panel1->show();
    QTRY_COMPARE(layout.Panel1->geometry(), layout.DBGrid2->geometry());
}

TEST_F(MainWindowLayout, UsesTheDesignedFontsAndColours) {
    struct FontCase {
        const char* name;
        const char* family;
        int pixels;
        bool bold;
    };
    const FontCase fonts[] = {
        {"Ftpform", "Arial", 11, false}, {"Label7", "Tahoma", 16, true}, {"Label10", "Arial", 16, false},
        {"Memo2", "Arial", 11, false},   {"Label8", "Arial", 16, false}, {"Label9", "Arial", 16, false},
        {"Label11", "Arial", 16, false}, {"Label3", "Arial", 16, true},  {"DBGrid2", "Arial", 11, false},
    };
    for (const auto& f : fonts) {
        QWidget* w = f.name == std::string("Ftpform") ? &window : element(f.name);
        ASSERT_TRUE(w);
        EXPECT_EQ(w->font().family(), f.family) << f.name;
        EXPECT_EQ(w->font().pixelSize(), f.pixels) << f.name;
        EXPECT_EQ(w->font().bold(), f.bold) << f.name;
    }

    EXPECT_EQ(window.palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
    EXPECT_EQ(layout.Memo2->palette().color(QPalette::Base), QColor(192, 220, 192));
    EXPECT_EQ(layout.Panel3->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(layout.Shape2->palette().color(QPalette::Window), QColor(255, 255, 0));
    EXPECT_EQ(layout.Label3->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_TRUE(layout.Label3->alignment() & Qt::AlignHCenter);

    // What the screen shows: the log's green and the header's white.
    const QImage shot = window.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(200, 40 + 160)), QColor(192, 220, 192));
    EXPECT_EQ(QColor(shot.pixel(300, 30)), QColor(Qt::white));
}

TEST_F(MainWindowLayout, ShowsTheNoticeOverTheLog) {
    layout.Panel5->show();
    layout.Memo2->appendPlainText("ligne");
    const QImage shot = window.grab().toImage();
    // Panel5 at (24, 16) of the work area, its stripe at (4, 6) inside it.
    EXPECT_EQ(QColor(shot.pixel(24 + 200, 40 + 16 + 8)), QColor(255, 255, 0)); // above Label8
}

} // namespace
