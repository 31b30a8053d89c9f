// The README's recipe for publishing a package, run as written in an empty folder with the built
// tools: its commands, then a clinic's exchange and download against the service it starts.
#include "CatalogFixture.h"
#include "ToolRuns.h"
#include "ZipReader.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <httplib.h>

#include <csignal>
#include <filesystem>
#include <sstream>

using namespace halvio::test;
namespace fs = std::filesystem;

namespace {

// The lines of the fenced blocks of the README's section "Publishing a package", continuation lines
// joined.
std::vector<std::string> recipeCommands() {
    const std::string readme = readBytes(HALVIO_SOURCE_DIR "/README.md");
    const size_t section = readme.find("\n## Publishing a package");
    const size_t end = readme.find("\n## ", section + 1);
    std::istringstream text(readme.substr(section, end - section));
    std::vector<std::string> commands;
    bool inBlock = false;
    std::string pending;
    for (std::string line; std::getline(text, line);) {
        if (line.rfind("```", 0) == 0) {
            inBlock = !inBlock;
            continue;
        }
        if (!inBlock || line.empty())
            continue;
        if (line.back() == '\\') {
            pending += line.substr(0, line.size() - 1);
            continue;
        }
        commands.push_back(pending + line);
        pending.clear();
    }
    return commands;
}

TEST(PublishingRecipe, WorksAsWrittenInAnEmptyFolder) {
    const std::vector<std::string> commands = recipeCommands();
    ASSERT_GE(commands.size(), 4u) << "the README's recipe was not found";
    const std::string serviceCommand = commands.back();
    const std::string listen = "--listen 0.0.0.0:80";
    const size_t listenAt = serviceCommand.find(listen);
    ASSERT_EQ(serviceCommand.rfind("update-service --catalog catalog", 0), 0u) << serviceCommand;
    ASSERT_NE(listenAt, std::string::npos) << serviceCommand;

    // The vendor's own files, which the recipe packages.
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    const std::string program = noiseBytes(70000, 3);
    writeBytes(folder / "halvio.exe", program);
    writeBytes(folder / "lettres.txt", "Lettre de r\xE9\x66\xE9rence\r\n");

    const QString path = toolFolder() + ":" + qEnvironmentVariable("PATH");
    for (size_t i = 0; i + 1 < commands.size(); ++i) {
        QProcess shell;
        shell.setWorkingDirectory(q(folder));
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH", path);
        shell.setProcessEnvironment(environment);
        shell.start("/bin/sh", {"-c", QString::fromStdString(commands[i])});
        ASSERT_TRUE(shell.waitForFinished(60000)) << commands[i];
        EXPECT_EQ(shell.exitCode(), 0)
            << commands[i] << "\n"
            << shell.readAllStandardOutput().toStdString() << shell.readAllStandardError().toStdString();
    }

    // The service as the recipe starts it, on a loopback port of the test's choosing.
    std::string command = serviceCommand;
    command.replace(listenAt, listen.size(), "--listen 127.0.0.1:0 --ready-file ready");
    ServerProcess service(toolFolder() + QString::fromStdString(command), folder, folder / "ready");
    ASSERT_TRUE(service.waitReady()) << service.output();

    httplib::Client clinic("127.0.0.1", service.port());
    const auto reply = clinic.Post("/C0042.maj", "report", "text/html");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200) << service.output();
    EXPECT_EQ(reply->body, "nom=|escompte=|ID=0\r\n\r\nnom=HALVIO|dates=2004.05.12 10:22:33|taille=" +
                               std::to_string(fs::file_size(folder / "catalog/packages/halvio.zip")) +
                               "|description=Nouvelle version du programme\r\n");
    const auto package = clinic.Get("/kliso/update/halvio.zip");
    ASSERT_TRUE(package);
    ASSERT_EQ(package->status, 200);
    writeBytes(folder / "fetched.zip", package->body);
    halvio::platform::ZipReader reader;
    reader.setPassword("-vorpa");
    reader.open((folder / "fetched.zip").string());
    EXPECT_TRUE(reader.extractFirst() == program);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "reports"), fs::directory_iterator()), 1);
    EXPECT_EQ(service.stopWith(SIGTERM), 0);
}

} // namespace
