// The run-wide log file beside the program, written by the real window: a line marking each run,
// every line of the activity log and every error that reached the crash report, each after its date
// and time, in Windows-1252 with CR LF; and its size kept bounded over many runs.
#include "AppTestSupport.h"

#include "FirebirdFixtures.h"
#include "RunLogFile.h"
#include "SpeedButton.h"
#include "Windows1252.h"
#include "ftp.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <optional>

using namespace halvio;
using namespace halvio::test;

namespace {

struct LogLine {
    QDateTime stamp; // invalid when the line does not start with one
    std::string text;
};

// The file's lines, each split into its date and its text; every line must end with CR LF.
std::vector<LogLine> logFileLines(const std::string& path) {
    const std::string bytes = readBytesIfAny(path).value_or("");
    std::vector<LogLine> lines;
    size_t start = 0;
    for (size_t end = bytes.find("\r\n"); end != std::string::npos; end = bytes.find("\r\n", start)) {
        const std::string line = bytes.substr(start, end - start);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "a line break other than CR LF: " << line;
        const QDateTime stamp =
            QDateTime::fromString(QString::fromLatin1(line.substr(0, 19)), "yyyy.MM.dd HH:mm:ss");
        lines.push_back({line.size() > 19 && line[19] == ' ' ? stamp : QDateTime(),
                         line.size() > 20 ? line.substr(20) : std::string()});
        start = end + 2;
    }
    EXPECT_EQ(start, bytes.size()) << "the file ends with a partial line";
    return lines;
}

std::string runStartLine(const std::string& programFile) {
    return fr("===== Démarrage de la mise à jour par internet : ") + programFile;
}

// A run whose clinic database refuses the updater: the show handler logs its attempts, then a
// press of "Démarrer" fails on the closed database and reaches the crash report.
struct RefusedRun {
    explicit RefusedRun(const TempFolder& folder) : form(folder.file("maj_kliso.exe")) {
        form.crashReport.showDialog = [this](const std::string& message, const std::string&) {
            reports.push_back(message);
        };
    }
    TFtpform form;
    std::vector<std::string> reports;
};

void writeRefusingIni(const TempFolder& folder) {
    const FirebirdServer server = refusingServer();
    writeBytes(folder.file("kliso.ini"),
               "SERVEUR=" + server.host + "\r\nDATABASE=" + folder.file("kliso.ib") + "\r\nbeta=N\r\n");
}

TEST(RunLog, HoldsEveryLineOfTheActivityLogAndEveryReportedErrorWithItsDateAndTime) {
    ProxyVariables noProxy;
    TempFolder folder;
    writeRefusingIni(folder);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    std::vector<QString> memo;
    std::string reported;
    {
        RefusedRun run(folder);
        run.form.show();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const auto lines = logLines(run.form);
                return !lines.empty() && lines.back() == "Echec lors de la connection à votre serveur";
            },
            60000));
        run.form.setStartEnabled(true);
        QTest::mouseClick(run.form.layout.Button1, Qt::LeftButton);
        ASSERT_EQ(run.reports.size(), 1u);
        reported = run.reports.front();
        memo = logLines(run.form);
    }
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    // The memo's lines (the server's refusals span several), as the window showed them.
    ASSERT_GE(memo.size(), 5u);
    std::vector<std::string> expected{runStartLine(folder.file("maj_kliso.exe"))};
    for (const QString& line : memo)
        expected.push_back(cp1252FromUtf8(line.toStdString()));
    const std::vector<std::string> reportLines = [&] {
        std::vector<std::string> lines;
        for (const QString& line : QString::fromStdString(utf8FromCp1252(reported)).split('\n'))
            lines.push_back(cp1252FromUtf8(line.toStdString()));
        return lines;
    }();
    // The error goes to the file when it is reported, before the line of the run's end that follows.
    std::vector<std::string> errorLines{fr("Erreur non traitée dans Button1Click : ") + reportLines.front()};
    errorLines.insert(errorLines.end(), reportLines.begin() + 1, reportLines.end());
    const auto endLine =
        std::find(expected.begin(), expected.end(),
                  fr("Mise à jour interrompue par une erreur inattendue. Fermeture dans 10 secondes."));
    ASSERT_NE(endLine, expected.end()) << "the run ends after the error";
    expected.insert(endLine, errorLines.begin(), errorLines.end());

    const std::vector<LogLine> lines = logFileLines(folder.file("maj_kliso.log"));
    std::vector<std::string> texts;
    for (const LogLine& line : lines) {
        texts.push_back(line.text);
        ASSERT_TRUE(line.stamp.isValid()) << line.text;
        EXPECT_LE(before, line.stamp);
        EXPECT_LE(line.stamp, after);
    }
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(texts.at(1), "Tentative de connection \xE0 votre serveur") << "Windows-1252 bytes";

    // The next run adds its lines after those of this one.
    { RefusedRun next(folder); }
    const std::vector<LogLine> afterNext = logFileLines(folder.file("maj_kliso.log"));
    ASSERT_EQ(afterNext.size(), lines.size() + 1);
    EXPECT_EQ(afterNext.back().text, runStartLine(folder.file("maj_kliso.exe")));
}

TEST(RunLog, StaysWithinItsBoundOverManyRunsAndKeepsTheLatestRuns) {
    ProxyVariables noProxy;
    TempFolder folder;
    const std::string log = folder.file("maj_kliso.log");
    const std::string previous = folder.file("maj_kliso.log.1");
    // A run that logs about 50 KiB, so that the bound is passed every twenty runs or so.
    const std::string lineOfRun(1000, 'x');
    std::string runText;
    for (int i = 0; i < 50; ++i)
        runText += lineOfRun + "\n";
    const std::uintmax_t runSize = 50 * (lineOfRun.size() + 22) + 200;

    for (int run = 0; run < 60; ++run) {
        {
            TFtpform form(folder.file("maj_kliso.exe"));
            form.appendLog("run " + std::to_string(run));
            form.appendLog(runText);
        }
        ASSERT_LE(std::filesystem::file_size(log), platform::RunLogFile::kSizeLimit + runSize)
            << "run " << run;
        if (std::filesystem::exists(previous)) {
            ASSERT_LE(std::filesystem::file_size(previous), platform::RunLogFile::kSizeLimit + runSize)
                << "run " << run;
        }
    }
    ASSERT_TRUE(std::filesystem::exists(previous)) << "60 runs of 50 KiB passed the bound";

    // Each run is whole in one file: the latest in the current one; the oldest runs are gone.
    const std::string startLine = runStartLine(folder.file("maj_kliso.exe"));
    for (const std::string& file : {log, previous}) {
        const std::vector<LogLine> lines = logFileLines(file);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front().text, startLine) << file;
        EXPECT_EQ(lines.back().text, lineOfRun) << file;
    }
    const std::string current = readBytesIfAny(log).value_or("");
    EXPECT_NE(current.find(" run 59\r\n"), std::string::npos);
    EXPECT_EQ((readBytesIfAny(previous).value_or("") + current).find(" run 0\r\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder.file("maj_kliso.log.2")));
}

} // namespace
