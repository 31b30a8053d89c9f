// The updater replacing itself from the show handler of the real window: what the show does when
// MAJ holds nothing newer, and how it ends when it does.
#include "ShownWindow.h"
#include "StartupFolder.h"

#include "DateTime.h"
#include "Files.h"
#include "MessageForm.h"
#include "ServiceHosts.h"
#include "Windows1252.h"

#include <QPushButton>
#include <QTextEdit>
#include <QtTest/QTest>

#include <functional>
#include <optional>

using namespace halvio;
using namespace halvio::test;

namespace {

const DateTime kProgramTime{2021, 6, 15, 10, 20, 30};
const std::string kNewUpdater = std::string("\x7f"
                                            "ELF\0\x02\xfe\r\n",
                                            9) +
                                "the newer updater";
// Stands in for the copy tool: notes where and how it was started.
const std::string kCopyTool = "#!/bin/sh\n{ pwd; echo \"$*\"; } > started.tmp; mv started.tmp started\n";

class SelfUpdateAtShow : public ShownWindow {
protected:
    SelfUpdateAtShow() {
        platform::writeWholeFile(folder.programFile(), "the running updater");
        EXPECT_TRUE(platform::setLastWriteTime(folder.programFile(), kProgramTime));
        folder.addMajRow("COPIE", "2021.01.01 00:00:00 ", kCopyTool);
    }

    StartupFolder folder{mainServer()};
};

struct NothingNewerCase {
    const char* name;
    std::optional<const char*> updaterDates; // no MAJ_KLISO row without one
};

class SelfUpdateNothingNewer : public SelfUpdateAtShow,
                               public ::testing::WithParamInterface<NothingNewerCase> {};

} // namespace

TEST_P(SelfUpdateNothingNewer, TheShowGoesOnAsIfNoUpdaterWereStored) {
    if (GetParam().updaterDates)
        folder.addMajRow("MAJ_KLISO", *GetParam().updaterDates, kNewUpdater);
    ASSERT_NO_FATAL_FAILURE(showWindow(folder));

    EXPECT_EQ(logLines(),
              (std::vector<std::string>{"Tentative de connection à votre serveur", folder.databaseName(),
                                        "Connecté.", "Compte:VX1042    ",
                                        "Enregistré à :Clinique du Vieux-Port" + std::string(38, ' ')}));
    EXPECT_TRUE(countdownStarted);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(unexpectedDialogs.empty()) << unexpectedDialogs.front();
    EXPECT_FALSE(platform::fileExists(folder.file("Maj_kliso.new")));
    EXPECT_FALSE(platform::fileExists(folder.file("copie.exe")));
    EXPECT_TRUE(folder.setupHasColumn("ESCOMPTE"));
    EXPECT_TRUE(crashMessages.empty()) << crashMessages.front();
}

INSTANTIATE_TEST_SUITE_P(Rows, SelfUpdateNothingNewer,
                         ::testing::Values(NothingNewerCase{"DatedAsTheProgramFile", "2021.06.15 10:20:30 "},
                                           NothingNewerCase{"OneSecondOlder", "2021.06.15 10:20:29 "},
                                           NothingNewerCase{"NoUpdaterRow", std::nullopt}),
                         [](const ::testing::TestParamInfo<NothingNewerCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(SelfUpdateAtShow, AnUpdaterOneSecondNewerReplacesThisOneEvenWhenTheUserCancels) {
    folder.addMajRow("MAJ_KLISO", "2021.06.15 10:20:31 ", kNewUpdater);
    QString title;
    QString message;
    bool okFocused = false;
    answerDialog = [&](QWidget* dialog) {
        auto* notice = qobject_cast<Tmessageform*>(dialog);
        ASSERT_NE(notice, nullptr) << dialog->objectName().toStdString();
        title = notice->windowTitle();
        message = notice->Memo1->toPlainText();
        okFocused = notice->ok->hasFocus();
        EXPECT_FALSE(platform::fileExists(folder.file("Maj_kliso.new")))
            << "written before the user answered";
        QTest::keyClick(notice->focusWidget(), Qt::Key_Escape);
    };
    ASSERT_NO_FATAL_FAILURE(showWindow(folder));

    EXPECT_EQ(title.toStdString(), std::string(hosts::kVendorShortName) + "  Information!");
    EXPECT_TRUE(message.contains(
        "Il existe une version plus récente du programme de mise à jour!\nIl sera rechargé!."))
        << message.toStdString();
    EXPECT_TRUE(okFocused);
    ASSERT_NE(findMessageForm(), nullptr);
    EXPECT_EQ(findMessageForm()->modeResult(), 3) << "Escape did not answer Esc-Annuler";

    // The show ended at the check: no column check, no summary, no countdown, and the window closed.
    EXPECT_EQ(logLines(), (std::vector<std::string>{"Tentative de connection à votre serveur",
                                                    folder.databaseName(), "Connecté."}));
    EXPECT_FALSE(countdownStarted);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(folder.setupHasColumn("ESCOMPTE"));
    EXPECT_EQ(clientMajCaption(), "");
    EXPECT_FALSE(form->model.IB.isOpen());

    EXPECT_EQ(platform::readWholeFile(folder.file("Maj_kliso.new")), kNewUpdater);
    EXPECT_EQ(DateTimeText(platform::lastWriteTime(folder.file("Maj_kliso.new"))), "2021.06.15 10:20:31");
    EXPECT_EQ(platform::readWholeFile(folder.file("copie.exe")), kCopyTool);
    ASSERT_TRUE(QTest::qWaitFor([&] { return platform::fileExists(folder.file("started")); }, 20000))
        << "the copy tool was not started";
    EXPECT_EQ(platform::readWholeFile(folder.file("started")),
              folder.path() + "\nmaj_kliso.new maj_kliso.exe\n");
    EXPECT_EQ(platform::readWholeFile(folder.programFile()), "the running updater");
    EXPECT_TRUE(crashMessages.empty()) << crashMessages.front();
}

TEST_F(SelfUpdateAtShow, AnUnreadableDateIsReportedAfterTheNewFileWithoutTheCopyTool) {
    // Greater than the program file's text, but there is no 31 June.
    folder.addMajRow("MAJ_KLISO", "2021.06.31 10:20:31 ", kNewUpdater);
    bool noticeShown = false;
    answerDialog = [&](QWidget* dialog) {
        noticeShown = qobject_cast<Tmessageform*>(dialog) != nullptr;
        QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, Qt::Key_Return);
    };
    ASSERT_NO_FATAL_FAILURE(showWindow(folder));

    EXPECT_TRUE(noticeShown);
    ASSERT_EQ(crashMessages.size(), 1u);
    EXPECT_NE(crashMessages[0].find("2021.06.31 10:20:31"), std::string::npos) << crashMessages[0];
    EXPECT_EQ(platform::readWholeFile(folder.file("Maj_kliso.new")), kNewUpdater);
    EXPECT_FALSE(platform::fileExists(folder.file("copie.exe")));

    // The run ends as a failed run does: nothing more can start, and the window closes by itself.
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(startEnabled());
    EXPECT_FALSE(countdownStarted);
    EXPECT_TRUE(closeTimerStarted);
    EXPECT_EQ(logLines(),
              (std::vector<std::string>{
                  "Tentative de connection à votre serveur", folder.databaseName(), "Connecté.",
                  "Mise à jour interrompue par une erreur inattendue. Fermeture dans 10 secondes."}));
    EXPECT_FALSE(folder.setupHasColumn("ESCOMPTE"));
    EXPECT_EQ(clientMajCaption(), "");
}

TEST_F(SelfUpdateAtShow, ACopyToolThatCannotStartLeavesThisUpdaterRunningToTheCountdown) {
    folder.execute({"delete from maj where nom = 'COPIE'"});
    folder.addMajRow("COPIE", "2021.01.01 00:00:00 ", "neither a program nor a script");
    folder.addMajRow("MAJ_KLISO", "2021.06.15 10:20:31 ", kNewUpdater);
    std::vector<std::string> titles;
    std::vector<QString> messages;
    std::function<void(QWidget*)> answer = [&](QWidget* dialog) {
        auto* notice = qobject_cast<Tmessageform*>(dialog);
        ASSERT_NE(notice, nullptr) << dialog->objectName().toStdString();
        titles.push_back(notice->windowTitle().toStdString());
        messages.push_back(notice->Memo1->toPlainText());
        answerDialog = answer;
        QTest::keyClick(notice->focusWidget() ? notice->focusWidget() : notice, Qt::Key_Return);
    };
    answerDialog = answer;
    ASSERT_NO_FATAL_FAILURE(showWindow(folder));

    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[0].contains("Il sera rechargé")) << messages[0].toStdString();
    EXPECT_EQ(titles[1], std::string(hosts::kVendorShortName) + "  Attention!");
    EXPECT_TRUE(
        messages[1].contains("Le programme de mise à jour n'a pas pu être remplacé : l'outil de copie "
                             "ne démarre pas.\nLa mise à jour continue avec la version actuelle."))
        << messages[1].toStdString();

    // The show went on past the check, as with no newer updater, and the run counts down.
    EXPECT_EQ(logLines(),
              (std::vector<std::string>{
                  "Tentative de connection à votre serveur", folder.databaseName(), "Connecté.",
                  "Remplacement du programme de mise à jour impossible : copie.exe n'a pas pu être démarré.",
                  "Compte:VX1042    ", "Enregistré à :Clinique du Vieux-Port" + std::string(38, ' ')}));
    EXPECT_TRUE(countdownStarted);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->model.IB.isOpen());
    EXPECT_TRUE(folder.setupHasColumn("ESCOMPTE"));
    EXPECT_FALSE(platform::fileExists(folder.file("Maj_kliso.new")));
    EXPECT_EQ(folder.queryValue("select count(*) from maj where nom = 'MAJ_KLISO'"), "0")
        << "the next start would try again";
    EXPECT_EQ(platform::readWholeFile(folder.programFile()), "the running updater");
    EXPECT_TRUE(unexpectedDialogs.empty()) << unexpectedDialogs.front();
    EXPECT_TRUE(crashMessages.empty()) << crashMessages.front();
}
