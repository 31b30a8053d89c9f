// The special packages: which names are special, the program files they write into the update
// folder, the notification of the workstations through real loopback listeners, and where tmem
// stands after UPDATEDIAG.
#include "SpecialPackages.h"
#include "Files.h"
#include "Fonction.h"
#include "LoopbackHttpServer.h"
#include "RunFixture.h"
#include "WorkstationNotifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>

using namespace halvio;
using test::LoopbackHttpServer;
using test::LoopbackReply;

namespace {

// Bytes a text conversion would damage.
const std::string kProgram = std::string("MZ\0\x90\xff\r\n\x1a", 8) + "program";

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SpecialFixture : public test::RunFixture {
protected:
    void addWorkstation(const std::string& ip, const std::string& port) {
        execute({"insert into ordinateur (ip, port) values (" + Quoted(ip) + ", " + Quoted(port) + ")"});
    }
    std::vector<std::string> updateFolder() const { return filesIn(programPath("update")); }
    std::string updateFile(const std::string& file) const {
        return platform::readWholeFile(programPath("update/" + file));
    }
    // The special steps as the package steps take them: those before the record, then the others.
    SpecialHandlingOutcome handle(std::string_view content) {
        const SpecialPackage package = prepareSpecialPackage(context, content);
        return handleSpecialPackage(context, package, content);
    }
};

// Listeners that note the order in which they were told.
struct Workstations {
    std::mutex mutex;
    std::vector<int> told;

    void listen(LoopbackHttpServer& server, int number, int status = 200) {
        server.handle("/MAJ", [this, number, status](const test::RecordedRequest&) {
            std::lock_guard lock(mutex);
            told.push_back(number);
            return LoopbackReply::text("ok", status);
        });
    }
};

} // namespace

TEST(SpecialPackageNames, OnlyTheExactTrimmedNamesAreSpecial) {
    struct Case {
        const char* name;
        SpecialPackage package;
        const char* file;
    };
    const Case cases[] = {
        {"UPDATEDIAG", SpecialPackage::UpdateDiag, ""},
        {"HALVIO", SpecialPackage::Halvio, "halvio.exe"},
        {" HALVIO\t ", SpecialPackage::Halvio, "halvio.exe"},
        {"HHALVIO", SpecialPackage::HHalvio, "hhalvio.exe"},
        {"HALVIO26", SpecialPackage::Halvio26, "halvio26.exe"},
        {"HALVIO27", SpecialPackage::Halvio26, "halvio26.exe"},
        {"MAJ_KLISO", SpecialPackage::MajKliso, ""},
        {"halvio", SpecialPackage::None, ""},
        {"Halvio", SpecialPackage::None, ""},
        {"HALVIo", SpecialPackage::None, ""},
        {"HALVIO28", SpecialPackage::None, ""},
        {"updatediag", SpecialPackage::None, ""},
        {"maj_kliso", SpecialPackage::None, ""},
        {"HAL VIO", SpecialPackage::None, ""},
        {"", SpecialPackage::None, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(specialPackageOf(c.name), c.package) << '"' << c.name << '"';
        EXPECT_EQ(programFileNameOf(specialPackageOf(c.name)), c.file) << '"' << c.name << '"';
    }
}

TEST_F(SpecialFixture, HalvioWithoutWorkstationsWritesTheProgramOnly) {
    addPackageRow("HALVIO");

    const SpecialHandlingOutcome outcome = handle(kProgram);

    EXPECT_EQ(updateFolder(), std::vector<std::string>{"halvio.exe"});
    EXPECT_EQ(updateFile("halvio.exe"), kProgram);
    EXPECT_FALSE(outcome.endsTransfer);
    EXPECT_EQ(model.tmem.currentIndex(), 0u);
    EXPECT_EQ(model.tmem.current().etat, "Transmis");
    EXPECT_FALSE(model.IBTransaction1.isActive());
    EXPECT_TRUE(view.log.empty());
}

TEST_F(SpecialFixture, HalvioTellsEveryWorkstationInTurnAndPassesOverOneThatIsOff) {
    LoopbackHttpServer first, third;
    Workstations workstations;
    workstations.listen(first, 1, 500); // an error status is passed over too
    workstations.listen(third, 3);
    addWorkstation("  127.0.0.1 ", "\t" + std::to_string(first.port()) + "  ");
    addWorkstation("127.0.0.1", std::to_string(LoopbackHttpServer::closedPort()));
    addWorkstation("127.0.0.1", std::to_string(third.port()) + " ");
    addPackageRow("HALVIO");
    model.EnsureTransaction();
    model.ExecSql("select nom from maj"); // IBSQL1 may hold a select of its own

    handle(kProgram);

    EXPECT_EQ(updateFile("halvio.exe"), kProgram);
    EXPECT_EQ(workstations.told, (std::vector<int>{1, 3}));
    for (const LoopbackHttpServer* server : {&first, &third}) {
        ASSERT_EQ(server->requestCount(), 1u);
        const test::RecordedRequest request = server->lastRequest();
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.target, "/MAJ");
        EXPECT_EQ(request.body, "");
        EXPECT_EQ(request.header("Accept"), "text/html, */*");
        EXPECT_EQ(request.header("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
    }
    EXPECT_TRUE(view.log.empty());
    EXPECT_TRUE(view.dialogs.empty());
    EXPECT_FALSE(model.IBTransaction1.isActive());
}

// With the updater's own notification client: a listener that takes the notification and never
// answers, or stops half-way, costs the run a few seconds and the next workstation is told.
TEST_F(SpecialFixture, HalvioPassesOverAWorkstationThatNeverAnswers) {
    LoopbackHttpServer silent, stalled, third;
    for (LoopbackHttpServer* server : {&silent, &stalled}) {
        LoopbackReply reply = LoopbackReply::text(std::string(10000, 'o'));
        reply.gate = std::make_shared<test::LoopbackGate>();
        reply.holdHeaders = server == &silent;
        reply.holdAfter = 100;
        reply.holdAtMost = std::chrono::seconds(120);
        server->serve("/MAJ", reply);
    }
    Workstations workstations;
    workstations.listen(third, 3);
    for (const LoopbackHttpServer* server : {&silent, &stalled, &third})
        addWorkstation("127.0.0.1", std::to_string(server->port()));
    addPackageRow("HALVIO");
    const auto started = std::chrono::steady_clock::now();

    handle(kProgram);

    EXPECT_EQ(workstations.told, std::vector<int>{3});
    EXPECT_EQ(silent.requestCount() + stalled.requestCount(), 2u);
    // Each is given kNotificationTimeLimit; the listeners would hold the run for two minutes.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3 * kNotificationTimeLimit);
    EXPECT_TRUE(view.log.empty());
    EXPECT_TRUE(view.dialogs.empty());
    EXPECT_FALSE(model.IBTransaction1.isActive());
}

TEST_F(SpecialFixture, OtherProgramPackagesWriteTheirFileAndTellNobody) {
    LoopbackHttpServer workstation;
    workstation.serve("/MAJ", LoopbackReply::text("ok"));
    addWorkstation("127.0.0.1", std::to_string(workstation.port()));
    const std::pair<const char*, const char*> cases[] = {
        {"HHALVIO", "hhalvio.exe"}, {"HALVIO26", "halvio26.exe"}, {"HALVIO27", "halvio26.exe"}};
    for (const auto& [package, file] : cases) {
        SCOPED_TRACE(package);
        platform::writeWholeFile(programPath(std::string("update/") + file), "an older program");
        addPackageRow(package);

        const SpecialHandlingOutcome outcome = handle(kProgram + package);

        EXPECT_EQ(updateFile(file), kProgram + package);
        EXPECT_FALSE(outcome.endsTransfer);
    }
    EXPECT_EQ(updateFolder(), (std::vector<std::string>{"halvio26.exe", "hhalvio.exe"}));
    EXPECT_EQ(workstation.requestCount(), 0u);
    EXPECT_TRUE(view.log.empty());
}

TEST_F(SpecialFixture, ANameInSmallLettersIsOnlyRecorded) {
    LoopbackHttpServer workstation;
    workstation.serve("/MAJ", LoopbackReply::text("ok"));
    addWorkstation("127.0.0.1", std::to_string(workstation.port()));
    for (const char* package : {"halvio", "Halvio", "hhalvio", "halvio27", "updatediag", "maj_kliso"}) {
        addPackageRow(package);
        const SpecialHandlingOutcome outcome = handle(kProgram);
        EXPECT_FALSE(outcome.endsTransfer) << package;
    }
    EXPECT_TRUE(updateFolder().empty());
    EXPECT_FALSE(platform::fileExists(programPath("Maj_kliso.new")));
    EXPECT_EQ(workstation.requestCount(), 0u);
    EXPECT_EQ(model.tmem.rowCount(), 6u);
    EXPECT_FALSE(view.closed);
    EXPECT_TRUE(model.IB.isOpen());
}

TEST_F(SpecialFixture, UpdateDiagLeavesTheProgressRowCurrentAndTheLoopCanReturn) {
    for (const char* package : {"SQL_A", "UPDATEDIAG", "ZZ_LAST"})
        addPackageRow(package);
    model.tmem.moveTo(1);
    ASSERT_EQ(model.tmem.current().NOM, "UPDATEDIAG");

    const SpecialPackage package = prepareSpecialPackage(context, "diag package");

    EXPECT_EQ(package, SpecialPackage::UpdateDiag);
    ASSERT_EQ(model.tmem.rowCount(), 4u);
    EXPECT_EQ(model.tmem.currentIndex(), 3u);
    EXPECT_EQ(model.tmem.current().etat, "Installer");
    EXPECT_TRUE(updateFolder().empty());
    EXPECT_FALSE(handleSpecialPackage(context, package, "diag package").endsTransfer);

    model.tmem.moveTo(1);
    EXPECT_EQ(model.tmem.current().NOM, "UPDATEDIAG");
    model.tmem.next();
    EXPECT_EQ(model.tmem.current().NOM, "ZZ_LAST");
}
