// Errors that no step catches: the report (dialog and log file beside the program), the handler
// ending where it failed, and the window answering afterwards.
#include "AppTestSupport.h"

#include "CrashReport.h"
#include "FirebirdFixtures.h"
#include "SpeedButton.h"
#include "ftp.h"

#include <QtTest/QTest>
#include <gtest/gtest.h>

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

    const std::optional<std::string> log = readFile(crashReport.logFile());
    ASSERT_TRUE(log);
    EXPECT_EQ(reportsInLog(*log), 2u);
    EXPECT_NE(log->find("Message: Table unknown\r\nSETUP\r\n"), std::string::npos) << "lines end with CR LF";
    for (size_t at = log->find('\n'); at != std::string::npos; at = log->find('\n', at + 1))
        EXPECT_TRUE(at > 0 && (*log)[at - 1] == '\r') << "a bare line feed at " << at;
}

TEST(CrashReport, StillShowsTheReportWhenTheLogCannotBeWritten) {
    TempFolder folder;
    CrashReport crashReport(folder.file("missing-folder/maj_kliso.err"));
    std::vector<std::string> shown;
    crashReport.showDialog = [&](const std::string& message, const std::string&) {
        shown.push_back(message);
    };
    crashReport.guard("FormShow", [] { throw std::runtime_error("refused"); });
    EXPECT_EQ(shown, std::vector<std::string>{"refused"});
}

TEST(CrashReport, AnErrorInAHandlerOfTheWindowLeavesTheWindowAnswering) {
    ProxyVariables noProxy;
    TempFolder folder;
    writeFile(folder.file("kliso.ini"), "beta=N\r\n");
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
    EXPECT_EQ(readFile(folder.file("kliso.ini")), "beta=O\r\n") << "the steps before the error were taken";
    EXPECT_FALSE(form.layout.Button1->isEnabled());
    EXPECT_EQ(form.caption(), "Vantorix - Mise \xE0 jour par internet")
        << "no step after the error was taken";
    const std::optional<std::string> log = readFile(folder.file("maj_kliso.err"));
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
    EXPECT_EQ(reportsInLog(readFile(folder.file("maj_kliso.err")).value_or("")), 2u);
}

} // namespace
