// Runs the real copie.exe in a temporary program folder.
#include "Files.h"
#include "SystemTestSupport.h"

#include <QProcess>
#include <QTest>
#include <ctime>
#include <gtest/gtest.h>
#include <memory>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace halvio;
using namespace halvio::platform;

namespace {

const QString kCopie = QStringLiteral(HALVIO_BINARY_DIR "/bin/copie.exe");
const char* const kNewUpdater = "#!/bin/sh\n# version 2\n";
const char* const kOldUpdater = "#!/bin/sh\n# version 1, a longer file than the new one\n";

// The pid of a process that has ended and been reaped: a starter that copie need not wait for.
pid_t endedPid() {
    pid_t pid = 0;
    char program[] = "/bin/true";
    char* argv[] = {program, nullptr};
    EXPECT_EQ(posix_spawn(&pid, program, nullptr, nullptr, argv, environ), 0);
    int status = 0;
    waitpid(pid, &status, 0);
    return pid;
}

QProcessEnvironment cleanEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HALVIO_STARTER_PID", "COPIE_NO_RESTART", "COPIE_WAIT_SECONDS"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

bool isExecutable(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & 0111) == 0111;
}

std::int64_t secondsOf(const std::string& path) {
    return toUnixSeconds(lastWriteTime(path));
}

class CopieTest : public ::testing::Test {
protected:
    // A stand-in for the running updater: it ends when the test writes "go".
    void startUpdater() {
        m_updater.setWorkingDirectory(QString::fromStdString(m_folder->path()));
        m_updater.start("/bin/sh", {"-c", "while [ ! -e go ]; do sleep 0.02; done"});
        ASSERT_TRUE(m_updater.waitForStarted());
    }
    void endUpdater() {
        m_folder->write("go", "");
        ASSERT_TRUE(m_updater.waitForFinished(20000));
    }

    void startCopie(QProcess& copie, pid_t starter, bool restart,
                    const QStringList& arguments = {"maj_kliso.new", "maj_kliso.exe"}) {
        QProcessEnvironment environment = cleanEnvironment();
        environment.insert("HALVIO_STARTER_PID", QString::number(starter));
        if (!restart)
            environment.insert("COPIE_NO_RESTART", "1");
        if (m_waitSeconds)
            environment.insert("COPIE_WAIT_SECONDS", QString::number(m_waitSeconds));
        copie.setProcessEnvironment(environment);
        copie.setWorkingDirectory(QString::fromStdString(m_folder->path()));
        copie.start(kCopie, arguments);
        ASSERT_TRUE(copie.waitForStarted());
    }

    // Runs copie to its end with a starter that has already ended.
    int runCopie(bool restart = false, const QStringList& arguments = {"maj_kliso.new", "maj_kliso.exe"}) {
        QProcess copie;
        startCopie(copie, endedPid(), restart, arguments);
        EXPECT_TRUE(copie.waitForFinished(60000));
        m_errorText = copie.readAllStandardError().toStdString();
        return copie.exitStatus() == QProcess::NormalExit ? copie.exitCode() : -1;
    }

    std::unique_ptr<test::TempFolder> m_folder = std::make_unique<test::TempFolder>();
    QProcess m_updater;
    std::string m_errorText;
    int m_waitSeconds = 0;
};

} // namespace

TEST_F(CopieTest, WaitsUntilTheUpdaterHasEndedThenReplacesIt) {
    m_folder->write("Maj_kliso.new", kNewUpdater);
    m_folder->writeScript("maj_kliso.exe", "# version 1\n");
    startUpdater();

    QProcess copie;
    startCopie(copie, static_cast<pid_t>(m_updater.processId()), false);
    EXPECT_FALSE(QTest::qWaitFor([&] { return copie.state() == QProcess::NotRunning; }, 500))
        << "copie did not wait for the updater";
    EXPECT_EQ(m_folder->read("maj_kliso.exe"), "#!/bin/sh\n# version 1\n");

    endUpdater();
    ASSERT_TRUE(copie.waitForFinished(20000));
    EXPECT_EQ(copie.exitCode(), 0) << copie.readAllStandardError().toStdString();
    EXPECT_EQ(m_folder->read("maj_kliso.exe"), kNewUpdater);
    EXPECT_TRUE(isExecutable(m_folder->path("maj_kliso.exe")));
    EXPECT_EQ(m_folder->entries(), (std::vector<std::string>{"Maj_kliso.new", "go", "maj_kliso.exe"}));
}

TEST_F(CopieTest, WithoutAStarterItWaitsForItsParent) {
    m_folder->write("Maj_kliso.new", kNewUpdater);
    m_folder->writeScript("maj_kliso.exe", "# version 1\n");

    // The parent starts copie in the background the way the updater does and ends on "go".
    QProcess parent;
    QProcessEnvironment environment = cleanEnvironment();
    environment.insert("COPIE_NO_RESTART", "1");
    parent.setProcessEnvironment(environment);
    parent.setWorkingDirectory(QString::fromStdString(m_folder->path()));
    parent.start("/bin/sh", {"-c",
                             "\"$0\" maj_kliso.new maj_kliso.exe & echo $! > copie.pid\n"
                             "while [ ! -e go ]; do sleep 0.02; done",
                             kCopie});
    ASSERT_TRUE(parent.waitForStarted());
    ASSERT_TRUE(test::waitForCompleteFile(m_folder->path("copie.pid")));
    EXPECT_FALSE(QTest::qWaitFor([&] { return m_folder->read("maj_kliso.exe") == kNewUpdater; }, 500))
        << "copie did not wait for its parent";

    m_folder->write("go", "");
    ASSERT_TRUE(parent.waitForFinished(20000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_folder->read("maj_kliso.exe") == kNewUpdater; }, 20000));
}

TEST_F(CopieTest, GivesUpWhenTheUpdaterKeepsRunning) {
    m_folder->write("Maj_kliso.new", kNewUpdater);
    m_folder->writeScript("maj_kliso.exe", "# version 1\n");
    startUpdater();
    m_waitSeconds = 1;

    QProcess copie;
    startCopie(copie, static_cast<pid_t>(m_updater.processId()), false);
    ASSERT_TRUE(copie.waitForFinished(20000));
    EXPECT_NE(copie.exitCode(), 0);
    const std::string error = copie.readAllStandardError().toStdString();
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), error.size() - 1) << error;
    EXPECT_EQ(m_folder->read("maj_kliso.exe"), "#!/bin/sh\n# version 1\n");
    endUpdater();
}

TEST_F(CopieTest, ResolvesNamesIgnoringCasePreferringTheExactOne) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;
        std::string replaced;
        std::string expected;
        std::vector<std::string> entries;
    };
    const Case cases[] = {
        {"written as Maj_kliso.new",
         {{"Maj_kliso.new", "new"}, {"maj_kliso.exe", "old"}},
         "maj_kliso.exe",
         "new",
         {"Maj_kliso.new", "maj_kliso.exe"}},
        {"exact source name wins",
         {{"Maj_kliso.new", "other"}, {"maj_kliso.new", "exact"}, {"maj_kliso.exe", "old"}},
         "maj_kliso.exe",
         "exact",
         {"Maj_kliso.new", "maj_kliso.exe", "maj_kliso.new"}},
        {"target in upper case",
         {{"Maj_kliso.new", "new"}, {"MAJ_KLISO.EXE", "old"}},
         "MAJ_KLISO.EXE",
         "new",
         {"MAJ_KLISO.EXE", "Maj_kliso.new"}},
        {"no target yet",
         {{"Maj_kliso.new", "new"}},
         "maj_kliso.exe",
         "new",
         {"Maj_kliso.new", "maj_kliso.exe"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_folder = std::make_unique<test::TempFolder>();
        for (const auto& [name, content] : c.files)
            m_folder->write(name, content);
        EXPECT_EQ(runCopie(), 0) << m_errorText;
        EXPECT_EQ(m_folder->read(c.replaced), c.expected);
        EXPECT_TRUE(isExecutable(m_folder->path(c.replaced)));
        EXPECT_EQ(m_folder->entries(), c.entries);
    }
}

TEST_F(CopieTest, ResultIsNoOlderThanTheNewFile) {
    const std::int64_t now = std::time(nullptr);
    struct Case {
        const char* what;
        std::int64_t sourceTime;
        bool takesSourceTime;
    };
    const Case cases[] = {
        {"published in the past", now - 400 * 86400, false},
        {"published ahead of this clock", now + 2 * 86400, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_folder->write("Maj_kliso.new", kNewUpdater);
        m_folder->write("maj_kliso.exe", kOldUpdater);
        ASSERT_TRUE(setLastWriteTime(m_folder->path("Maj_kliso.new"), fromUnixSeconds(c.sourceTime)));
        const std::int64_t before = std::time(nullptr);
        EXPECT_EQ(runCopie(), 0) << m_errorText;
        const std::int64_t result = secondsOf(m_folder->path("maj_kliso.exe"));
        EXPECT_GE(result, secondsOf(m_folder->path("Maj_kliso.new")));
        if (c.takesSourceTime)
            EXPECT_EQ(result, c.sourceTime);
        else
            EXPECT_GE(result, before);
    }
}

TEST_F(CopieTest, MissingSourceFailsAndLeavesTheUpdaterAlone) {
    m_folder->write("maj_kliso.exe", kOldUpdater);
    EXPECT_NE(runCopie(), 0);
    EXPECT_FALSE(m_errorText.empty());
    EXPECT_EQ(m_errorText.find('\n'), m_errorText.size() - 1) << m_errorText;
    EXPECT_EQ(m_folder->read("maj_kliso.exe"), kOldUpdater);
    EXPECT_EQ(m_folder->entries(), std::vector<std::string>{"maj_kliso.exe"});
}

TEST_F(CopieTest, StartsTheNewUpdaterUnlessToldNotTo) {
    for (const bool restart : {true, false}) {
        SCOPED_TRACE(restart ? "restart" : "COPIE_NO_RESTART=1");
        m_folder = std::make_unique<test::TempFolder>();
        m_folder->write("Maj_kliso.new", "#!/bin/sh\npwd > started.tmp; mv started.tmp started\n");
        m_folder->writeScript("maj_kliso.exe", "echo old version > started\n");
        EXPECT_EQ(runCopie(restart), 0) << m_errorText;
        if (restart) {
            ASSERT_TRUE(test::waitForCompleteFile(m_folder->path("started")));
            EXPECT_EQ(m_folder->read("started"), m_folder->path() + "\n");
        } else {
            EXPECT_FALSE(QTest::qWaitFor([&] { return m_folder->exists("started"); }, 500));
        }
    }
}
