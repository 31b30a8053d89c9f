// update-service --console as a process: an address that others could reach is refused at start
// without a password file, and so is a password file that is no such file.
#include "CatalogFixture.h"
#include "ToolRuns.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace halvio::test;

namespace {

TEST(ConsoleProcess, RefusesAnExposedOrBadlyGuardedConsoleWithExitCode2) {
    CatalogFixture fixture;
    writeBytes(fixture.path("open.password"), "vendeur:secret\n");
    ::chmod(fixture.path("open.password").c_str(), 0644);
    const QStringList service = {"--catalog", q(fixture.catalog()), "--reports",    q(fixture.reports()),
                                 "--listen",  "127.0.0.1:0",        "--ready-file", q(fixture.path("ready"))};
    const struct {
        QStringList options;
        const char* said;
    } cases[] = {
        {{"--console", "0.0.0.0:0"}, "--console-password-file"},
        {{"--console", "[::]:0"}, "--console-password-file"},
        {{"--console", "192.0.2.1:18082"}, "--console-password-file"},
        {{"--console", "127.0.0.1:0", "--console-password-file", q(fixture.path("open.password"))},
         "chmod 600"},
        {{"--console", "0.0.0.0:0", "--console-password-file", q(fixture.path("absent"))}, "absent"},
        {{"--console-password-file", q(fixture.path("open.password"))}, "--console"},
        {{"--console", "console.example:80"}, "no listen address"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        const Finished run = runTool("update-service", QStringList(service) << c.options);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(fixture.path("ready"))) << "the service did not start either";
    }
}

} // namespace
