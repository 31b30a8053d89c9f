// What ends the process, seen from outside: "Abandonner" pressed while a handler is running, the
// timed close, and the close box while a handler is running (LifecycleProgram.cpp).
#include "FirebirdFixtures.h"

#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace halvio::test;

namespace {

struct Ended {
    bool finished = false;
    QProcess::ExitStatus status = QProcess::CrashExit;
    int exitCode = -1;
};

class ProcessLifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        // A clinic database that cannot be reached: the show handler fails fast and starts nothing.
        std::ofstream(folder.file("kliso.ini"), std::ios::binary)
            << "SERVEUR=127.0.0.1/1\r\nDATABASE=/nowhere/kliso.ib\r\n";
    }

    Ended run(const char* mode) {
        QProcess process;
        process.setProgram(QString::fromUtf8(HALVIO_LIFECYCLE_PROGRAM));
        process.setArguments({QString::fromUtf8(mode), QString::fromStdString(folder.path())});
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start();
        Ended ended;
        if (!process.waitForStarted(30000)) {
            ADD_FAILURE() << "the program did not start";
            return ended;
        }
        ended.finished = process.waitForFinished(60000);
        if (!ended.finished) {
            process.kill(); // SIGKILL: the database client library handles SIGTERM itself
            process.waitForFinished();
            return ended;
        }
        ended.status = process.exitStatus();
        ended.exitCode = process.exitCode();
        return ended;
    }

    bool marked(const char* name) const { return std::filesystem::exists(folder.file(name)); }

    TempFolder folder;
};

TEST_F(ProcessLifecycle, AbandonnerEndsTheProcessInTheMiddleOfAHandlerWithCodeZero) {
    const Ended ended = run("abandon");
    ASSERT_TRUE(ended.finished) << "still running after Abandonner";
    EXPECT_EQ(ended.status, QProcess::NormalExit);
    EXPECT_EQ(ended.exitCode, 0);
    EXPECT_TRUE(marked("entered"));
    EXPECT_FALSE(marked("left")) << "the handler under way is abandoned where it stands";
    EXPECT_FALSE(marked("closed")) << "the window is not closed first";
    EXPECT_FALSE(marked("report"));
}

TEST_F(ProcessLifecycle, TheClosingTimerClosesTheWindowAndEndsTheProgram) {
    const Ended ended = run("timed-close");
    ASSERT_TRUE(ended.finished) << "still running after the closing timer";
    EXPECT_EQ(ended.status, QProcess::NormalExit);
    EXPECT_EQ(ended.exitCode, 0);
    EXPECT_TRUE(marked("closed"));
    EXPECT_FALSE(marked("report"));
}

TEST_F(ProcessLifecycle, TheCloseBoxEndsTheProgramOnceTheRunningHandlerHasReturned) {
    const Ended ended = run("close-box");
    ASSERT_TRUE(ended.finished) << "still running after its window was closed";
    EXPECT_EQ(ended.status, QProcess::NormalExit);
    EXPECT_EQ(ended.exitCode, 0);
    EXPECT_TRUE(marked("closed"));
    EXPECT_TRUE(marked("left"));
}

} // namespace
