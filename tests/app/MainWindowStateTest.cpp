// The real window right after its creation, and the operations that the steps of a run use on it
// reaching the right widgets, with the texts converted from Windows-1252.
#include "AppTestSupport.h"

#include "FirebirdFixtures.h"
#include "Gauge.h"
#include "ModalAnswer.h"
#include "SpeedButton.h"
#include "StatusPanels.h"
#include "Windows1252.h"
#include "ftp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <gtest/gtest.h>

using namespace halvio;
using namespace halvio::test;

namespace {

class MainWindowState : public ::testing::Test {
protected:
    ProxyVariables noProxy;
    TempFolder folder;
    // Never shown here: showing runs the connection of the show handler.
    TFtpform form{folder.file("maj_kliso.exe")};
};

TEST_F(MainWindowState, IsCreatedReadyButNotShown) {
    EXPECT_EQ(form.windowTitle(), "Vantorix - Mise à jour par internet");
    EXPECT_EQ(form.caption(), "Vantorix - Mise \xE0 jour par internet");
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(logLines(form).empty()) << "the show handler runs only once the window is shown";

    EXPECT_FALSE(form.layout.Button1->isEnabled());
    EXPECT_EQ(form.layout.Button1->tag(), 5);
    EXPECT_TRUE(form.layout.SpeedButton1->isEnabled());
    EXPECT_EQ(form.Timer1.interval(), 1000);
    EXPECT_FALSE(form.Timer1.isActive());
    EXPECT_EQ(form.Timer3.interval(), 10000);
    EXPECT_TRUE(form.Timer3.isSingleShot());
    EXPECT_FALSE(form.Timer3.isActive());

    EXPECT_EQ(form.context.programFile, folder.file("maj_kliso.exe"));
    EXPECT_EQ(form.context.programFolder, folder.path() + "/");
    EXPECT_EQ(form.crashReport.logFile(), folder.file("maj_kliso.err"));
}

TEST_F(MainWindowState, GaugeOperationsReachTheirGaugeAndHoldProgressInRange) {
    form.setGaugeMaximum(GaugeId::CurrentFile, 200);
    form.setGaugeProgress(GaugeId::CurrentFile, 250);
    EXPECT_EQ(form.layout.p1->progress(), 200);
    EXPECT_EQ(form.layout.p1->shownText(), "100%");
    EXPECT_EQ(form.layout.p2->progress(), 0) << "p2 is the other gauge";
    form.setGaugeProgress(GaugeId::CurrentFile, -7);
    EXPECT_EQ(form.gaugeProgress(GaugeId::CurrentFile), 0);

    form.setGaugeMinimum(GaugeId::AllFiles, 10);
    EXPECT_EQ(form.gaugeProgress(GaugeId::AllFiles), 10)
        << "a minimum moved past the progress brings it along";
    form.setGaugeProgress(GaugeId::AllFiles, 55);
    EXPECT_EQ(form.layout.p2->shownText(), "50%");
    EXPECT_EQ(form.gaugeMinimum(GaugeId::AllFiles), 10);
    EXPECT_EQ(form.gaugeMaximum(GaugeId::AllFiles), 100);
    EXPECT_EQ(form.gaugeMaximum(GaugeId::CurrentFile), 200);
}

TEST_F(MainWindowState, PanelsCheckBoxesCaptionsAndTimersAnswerToTheirOperations) {
    form.setPanelVisible(PanelId::EndPanel, true);
    EXPECT_TRUE(form.layout.Panel1->isVisibleTo(&form));
    EXPECT_FALSE(form.layout.Panel5->isVisibleTo(&form));
    form.setPanelVisible(PanelId::DiagNotice, true);
    form.setPanelVisible(PanelId::EndPanel, false);
    EXPECT_FALSE(form.layout.Panel1->isVisibleTo(&form));
    EXPECT_TRUE(form.layout.Panel5->isVisibleTo(&form));

    const std::pair<CheckBoxId, QCheckBox*> boxes[] = {{CheckBoxId::NoProxy, form.layout.CheckBox3},
                                                       {CheckBoxId::TransferStructure, form.layout.CheckBox1},
                                                       {CheckBoxId::DirectConnection, form.layout.CheckBox2}};
    for (const auto& [id, box] : boxes) {
        const bool before = box->isChecked();
        form.setChecked(id, !before);
        EXPECT_EQ(box->isChecked(), !before) << box->objectName().toStdString();
        EXPECT_EQ(form.isChecked(id), !before) << box->objectName().toStdString();
        for (const auto& [otherId, other] : boxes) {
            if (other != box) {
                EXPECT_EQ(form.isChecked(otherId), other->isChecked());
            }
        }
        form.setChecked(id, before);
    }

    form.setStartCaption(fr("Démarrer (3 sec.)"));
    form.setStartEnabled(true);
    form.setClientMajCaption("2004.03.07");
    form.setMigrationPercentCaption("42%");
    form.setStatusText(fr("Connecté à l'hôte"));
    form.setCaption(form.caption() + "  proxy:proxy.local:8080");
    EXPECT_EQ(form.layout.Button1->text(), "Démarrer (3 sec.)");
    EXPECT_TRUE(form.layout.Button1->isEnabled());
    EXPECT_EQ(form.layout.clientmaj->text(), "2004.03.07");
    EXPECT_EQ(form.layout.Label11->text(), "42%");
    EXPECT_EQ(form.layout.s1->panelText(0), "Connecté à l'hôte");
    EXPECT_EQ(form.layout.s1->panelText(1), "");
    EXPECT_EQ(form.layout.s1->panelText(2), "Vantorix 2004");
    EXPECT_EQ(form.windowTitle(), "Vantorix - Mise à jour par internet  proxy:proxy.local:8080");

    form.startCountdown();
    EXPECT_TRUE(form.Timer1.isActive());
    form.stopCountdown();
    EXPECT_FALSE(form.Timer1.isActive());
    form.startCloseTimer();
    EXPECT_TRUE(form.Timer3.isActive());
    form.Timer3.stop();
}

TEST_F(MainWindowState, AppendLogGivesOneLineForEachLineOfTheText) {
    form.appendLog(fr("Connecté."));
    form.appendLog("a\r\nb");
    form.appendLog("c\rd");
    form.appendLog("e\nf");
    form.appendLog("");
    form.appendLog("g");
    const std::vector<QString> expected{"Connecté.", "a", "b", "c", "d", "e", "f", "", "g"};
    EXPECT_EQ(logLines(form), expected);
}

TEST_F(MainWindowState, ShowsTheToolkitsMessageBoxesWithOneOkButton) {
    struct Shown {
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QWidget* parent = nullptr;
    };
    auto answer = [](Shown& shown) {
        whenModalShown([&shown](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) {
                ADD_FAILURE() << "not a message box: " << modal->objectName().toStdString();
                modal->close();
                return;
            }
            shown = {box->windowTitle(), box->text(), box->standardButtons(), box->icon(),
                     box->parentWidget()};
            box->button(QMessageBox::Ok)->click();
        });
    };
    Shown information;
    answer(information);
    form.showInformation(fr("Impossible de communiquer avec Vantorix !"));
    EXPECT_EQ(information.title, "Information");
    EXPECT_EQ(information.text, "Impossible de communiquer avec Vantorix !");
    EXPECT_EQ(information.buttons, QMessageBox::Ok);
    EXPECT_EQ(information.icon, QMessageBox::Information);
    EXPECT_EQ(information.parent, &form);

    Shown plain;
    answer(plain);
    form.showPlainMessage(fr("Erreur lors du téléchargement"));
    EXPECT_EQ(plain.title, QApplication::applicationName());
    EXPECT_EQ(plain.text, "Erreur lors du téléchargement");
    EXPECT_EQ(plain.buttons, QMessageBox::Ok);
}

} // namespace
