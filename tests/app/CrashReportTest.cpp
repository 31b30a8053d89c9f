// Errors that no step catches: the report (a French dialog, the log file beside the program), the
// handler ending where it failed, and the run ending as a failed run does: the timed close.
#include "AppTestSupport.h"

#include "CrashReport.h"
#include "FirebirdFixtures.h"
#include "FrenchToolkit.h"
#include "SpeedButton.h"
#include "TestDatabase.h"
#include "ftp.h"

#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include <cstdlib>
#include <optional>
#include <stdexcept>

using namespace halvio;
using namespace halvio::test;

namespace {

struct ShownReport {
    std::string message;
    std::string details;
};

size_t reportsInLog(const std::string& log) {
    size_t count = 0;
    for (size_t at = log.find("-----\r\n"); at != std::string::npos; at = log.find("-----\r\n", at + 1))
        ++count;
    return count;
}

TEST(CrashReport, ReportsWhateverWasThrownAndGoesOn) {
    TempFolder folder;
    CrashReport crashReport(folder.file("maj_kliso.err"));
    std::vector<ShownReport> shown;
    crashReport.showDialog = [&](const std::string& message, const std::string& details) {
        shown.push_back({message, details});
    };

    bool after = false;
    crashReport.guard("Button1Click", [&] {
        throw std::runtime_error("Table unknown\nSETUP");
        after = true;
    });
    crashReport.guard("Timer1Timer", [] { throw 42; });
    crashReport.guard("Timer3Timer", [] {});

    EXPECT_FALSE(after);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].message, "Table unknown\nSETUP");
    EXPECT_NE(shown[0].details.find("Handler: Button1Click\n"), std::string::npos);
    EXPECT_NE(shown[0].details.find("Call stack:\n"), std::string::npos);
    EXPECT_FALSE(shown[1].message.empty());
    EXPECT_NE(shown[1].details.find("Handler: Timer1Timer\n"), std::string::npos);

    const std::optional<std::string> log = readBytesIfAny(crashReport.logFile());
    ASSERT_TRUE(log);
    EXPECT_EQ(reportsInLog(*log), 2u);
    EXPECT_NE(log->find("Message: Table unknown\r\nSETUP\r\n"), std::string::npos) << "lines end with CR LF";
    for (size_t at = log->find('\n'); at != std::string::npos; at = log->find('\n', at + 1))
        EXPECT_TRUE(at > 0 && (*log)[at - 1] == '\r') << "a bare line feed at " << at;
}

// Sets TMPDIR for one test, where the report goes when the program folder cannot be written.
class TemporaryFolderVariable {
public:
    explicit TemporaryFolderVariable(const std::string& value) {
        if (const char* old = std::getenv("TMPDIR"))
            m_old = old;
        ::setenv("TMPDIR", value.c_str(), 1);
    }
    ~TemporaryFolderVariable() {
        if (m_old)
            ::setenv("TMPDIR", m_old->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }

private:
    std::optional<std::string> m_old;
};

TEST(CrashReport, StillShowsTheReportWhenTheLogCannotBeWritten) {
    TempFolder folder;
    TempFolder temporary;
    CrashReport crashReport(folder.file("missing-folder/maj_kliso.err"));
    std::vector<std::string> shown;
    crashReport.showDialog = [&](const std::string& message, const std::string&) {
        shown.push_back(message);
    };
    {
        // The program folder cannot be written: the report goes to the temporary folder, and the
        // dialog says so.
        const TemporaryFolderVariable tmpdir(temporary.path());
        crashReport.guard("FormShow", [] { throw std::runtime_error("refused"); });
        EXPECT_EQ(crashReport.writtenTo(), temporary.file("maj_kliso.err"));
        EXPECT_EQ(
            crashReport.dialogText(),
            QString::fromStdString("Une erreur inattendue est survenue. La mise à jour est interrompue.\n\n"
                                   "Le rapport a été enregistré dans " +
                                   temporary.file("maj_kliso.err") + "."));
        const std::optional<std::string> log = readBytesIfAny(temporary.file("maj_kliso.err"));
        ASSERT_TRUE(log);
        EXPECT_NE(log->find("Message: refused\r\n"), std::string::npos);
    }
    {
        const TemporaryFolderVariable tmpdir(folder.file("missing-too"));
        crashReport.guard("FormShow", [] { throw std::runtime_error("refused again"); });
        EXPECT_EQ(crashReport.writtenTo(), "");
        EXPECT_EQ(crashReport.dialogText(),
                  "Une erreur inattendue est survenue. La mise à jour est interrompue.\n\n"
                  "Le rapport n'a pas pu être enregistré.");
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"refused", "refused again"}));
}

TEST(CrashReport, TheDialogIsFrenchKeepsTheErrorInItsDetailsAndClosesByItself) {
    ASSERT_TRUE(useFrenchToolkitTexts(*QCoreApplication::instance()))
        << "is qt6-translations-l10n installed?";
    TempFolder folder;
    CrashReport crashReport(folder.file("maj_kliso.err"));
    crashReport.dialogTimeout = std::chrono::milliseconds(500);
    int ended = 0;
    crashReport.endRun = [&] { ++ended; };

    // What the dialog shows, read while it is up; nobody answers it.
    QString title, text, details;
    QStringList buttons;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !text.isEmpty())
            return;
        title = box->windowTitle();
        text = box->text();
        details = box->detailedText();
        for (QAbstractButton* button : box->buttons())
            buttons << button->text();
    });
    watch.start();
    QElapsedTimer shown;
    shown.start();
    crashReport.guard("Button1Click", [] { throw std::runtime_error("Wrong password provided"); });
    watch.stop();

    EXPECT_GE(shown.elapsed(), 500) << "the dialog closed before its time-out";
    EXPECT_LT(shown.elapsed(), 10000) << "the dialog waited for an answer";
    EXPECT_EQ(title, "Vantorix - Erreur");
    EXPECT_EQ(text,
              QString::fromStdString("Une erreur inattendue est survenue. La mise à jour est interrompue.\n\n"
                                     "Le rapport a été enregistré dans " +
                                     folder.file("maj_kliso.err") + "."));
    EXPECT_TRUE(details.contains("Message: Wrong password provided\n")) << details.toStdString();
    EXPECT_TRUE(details.contains("Call stack:\n")) << details.toStdString();
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"Montrer les détails...", "OK"}));
    EXPECT_EQ(ended, 1) << "the run ends once the report is gone";

    // An error of the window's creation lets the run go on, and the dialog says so.
    crashReport.dialogTimeout = std::chrono::milliseconds(1);
    crashReport.guard(
        "FormCreate", [] { throw std::runtime_error("x"); }, CrashReport::Outcome::RunGoesOn);
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(crashReport.dialogText().startsWith("Une erreur inattendue est survenue au démarrage. La "
                                                    "mise à jour continue.\n\nLe rapport a été enregistré"));
}

TEST(CrashReport, AnErrorInAHandlerOfTheWindowLeavesTheWindowAnswering) {
    ProxyVariables noProxy;
    TempFolder folder;
    writeBytes(folder.file("kliso.ini"), "beta=N\r\n");
    TFtpform form(folder.file("maj_kliso.exe"));
    std::vector<ShownReport> shown;
    form.crashReport.showDialog = [&](const std::string& message, const std::string& details) {
        shown.push_back({message, details});
    };
    form.show();
    // No database behind the built-in name: the window ends up unconnected.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return logLines(form).size() >= 3 && !form.layout.Button1->isEnabled(); }, 60000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return logLines(form).back() == "Echec lors de la connection à votre serveur"; }, 60000));
    ASSERT_TRUE(shown.empty());

    // "Démarrer" pressed anyway: the exchange saves the beta flag, then fails on the closed database.
    form.setStartEnabled(true);
    QTest::mouseClick(form.layout.Button1, Qt::LeftButton);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_FALSE(shown[0].message.empty());
    EXPECT_NE(shown[0].details.find("Handler: Button1Click\n"), std::string::npos);
    EXPECT_EQ(readBytesIfAny(folder.file("kliso.ini")), "beta=O\r\n")
        << "the steps before the error were taken";
    EXPECT_FALSE(form.layout.Button1->isEnabled());
    EXPECT_EQ(form.caption(), "Vantorix - Mise \xE0 jour par internet")
        << "no step after the error was taken";
    // The run ends as a failed run does: its end line, then the timed close.
    EXPECT_EQ(logLines(form).back(),
              "Mise à jour interrompue par une erreur inattendue. Fermeture dans 10 secondes.");
    EXPECT_TRUE(form.Timer3.isActive());
    EXPECT_FALSE(form.Timer1.isActive());
    const std::optional<std::string> log = readBytesIfAny(folder.file("maj_kliso.err"));
    ASSERT_TRUE(log);
    EXPECT_NE(log->find("Handler: Button1Click\r\nMessage: " + shown[0].message.substr(0, 20)),
              std::string::npos);

    // The timers still tick...
    EXPECT_TRUE(form.isVisible());
    form.layout.Button1->setTag(100);
    form.Timer1.setInterval(1);
    form.startCountdown();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.layout.Button1->tag() < 100; }, 10000));
    form.stopCountdown();
    EXPECT_TRUE(form.layout.Button1->text().startsWith("Démarrer ("));

    // ...and the button is pressed again, failing the same way.
    form.setStartEnabled(true);
    QTest::mouseClick(form.layout.Button1, Qt::LeftButton);
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_EQ(reportsInLog(readBytesIfAny(folder.file("maj_kliso.err")).value_or("")), 2u);
    // The timed close would end this test's application too.
    form.Timer3.stop();
}

TEST(CrashReport, AnErrorWhileTheWindowIsShownEndsTheRunWithTheTimedClose) {
    // The show handler fails after the connection (no MAJ table to read): "Démarrer" was enabled,
    // yet nothing more is started and the window is set to close by itself.
    ProxyVariables noProxy;
    TempFolder folder;
    const TestDatabase database;
    database.execute({"drop table maj"});
    writeBytes(folder.file("kliso.ini"), database.klisoIni());
    TFtpform form(folder.file("maj_kliso.exe"));
    std::vector<std::string> shown;
    form.crashReport.showDialog = [&](const std::string& message, const std::string&) {
        shown.push_back(message);
    };
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.empty(); }, 60000)) << "no report";

    EXPECT_TRUE(logLines(form).at(logLines(form).size() - 2) == "Connecté.");
    EXPECT_EQ(logLines(form).back(),
              "Mise à jour interrompue par une erreur inattendue. Fermeture dans 10 secondes.");
    EXPECT_FALSE(form.layout.Button1->isEnabled());
    EXPECT_FALSE(form.Timer1.isActive());
    EXPECT_TRUE(form.Timer3.isActive());
    EXPECT_EQ(form.Timer3.remainingTime() > 5000, true);
    form.Timer3.stop();
}

} // namespace
