// The updater replacing itself: the start check against the running file's time, the start and
// install variants with the real copy-tool start, and what a bad MAJ row leaves behind.
#include "SelfUpdate.h"
#include "Files.h"
#include "Fonction.h"
#include "RunFixture.h"
#include "SpecialPackages.h"
#include "Windows1252.h"

#include <QTest>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace halvio;

namespace {

const DateTime kProgramTime{2021, 6, 15, 10, 20, 30};
const std::string kNewUpdater = std::string("\x7f"
                                            "ELF\0\x01\xff\r\n",
                                            9) +
                                "new updater";
// Stands in for the copy tool: notes its folder and arguments, written whole.
const std::string kCopyTool = "#!/bin/sh\n{ pwd; echo \"$*\"; } > started.tmp; mv started.tmp started\n";

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes) {
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text;
}

class SelfUpdateFixture : public test::RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        ASSERT_TRUE(platform::setLastWriteTime(context.programFile, kProgramTime));
        view.countdownRunning = true;
    }

    void addMajRow(const std::string& nom, const std::string& dates, const std::string& fichier) {
        execute({"insert into maj (nom, dates, fichier) values (" + Quoted(nom) + ", " + Quoted(dates) +
                 ", x'" + hex(fichier) + "')"});
    }

    // What the show handler does before the check.
    bool startCheck() {
        model.EnsureTransaction();
        model.ExecSql(kUpdaterSelect);
        return checkSelfUpdateAtStart(context);
    }

    bool waitForCopyTool() {
        return QTest::qWaitFor([&] { return platform::fileExists(programPath("started")); }, 20000);
    }

    void expectNothingReplaced() {
        EXPECT_FALSE(platform::fileExists(programPath("Maj_kliso.new")));
        EXPECT_FALSE(platform::fileExists(programPath("copie.exe")));
        EXPECT_TRUE(view.dialogs.empty());
        EXPECT_TRUE(view.countdownRunning);
        EXPECT_FALSE(view.closed);
        EXPECT_TRUE(model.IB.isOpen());
    }

    void expectCopyToolStarted() {
        EXPECT_EQ(platform::readWholeFile(programPath("copie.exe")), kCopyTool);
        EXPECT_EQ(access(programPath("copie.exe").c_str(), X_OK), 0);
        ASSERT_TRUE(waitForCopyTool());
        EXPECT_EQ(platform::readWholeFile(programPath("started")),
                  programFolder.path() + "\nmaj_kliso.new maj_kliso.exe\n");
        EXPECT_FALSE(model.IB.isOpen());
        EXPECT_TRUE(view.closed);
    }
};

} // namespace

TEST(SelfUpdateDates, OnlyAGreaterTrimmedTextIsNewer) {
    struct Case {
        const char* dates;
        bool newer;
    };
    const char* program = "2021.06.15 10:20:30";
    for (const Case& c : {Case{"2021.06.15 10:20:30 ", false}, Case{"2021.06.15 10:20:31 ", true},
                          Case{"2021.06.15 10:20:29 ", false}, Case{"  2022.01.01 00:00:00", true},
                          Case{"2021.06.15", false}, Case{"", false}, Case{"2021.06.15 10:20:30.", true}})
        EXPECT_EQ(isNewerThanProgram(c.dates, program), c.newer) << '"' << c.dates << '"';
}

TEST_F(SelfUpdateFixture, AnUpdaterDatedAsTheRunningFileIsNotInstalled) {
    addMajRow("MAJ_KLISO", "2021.06.15 10:20:30", kNewUpdater);
    addMajRow("COPIE", "2021.01.01 00:00:00", kCopyTool);
    EXPECT_FALSE(startCheck());
    expectNothingReplaced();
}

TEST_F(SelfUpdateFixture, WithoutAnUpdaterRowTheStartGoesOn) {
    addMajRow("COPIE", "2021.01.01 00:00:00", kCopyTool);
    EXPECT_FALSE(startCheck());
    expectNothingReplaced();
}

TEST_F(SelfUpdateFixture, AnUpdaterOneSecondNewerReplacesTheRunningOneEvenWhenTheUserCancels) {
    // Whatever the running file is called, the copy tool is told to replace maj_kliso.exe.
    platform::writeWholeFile(programPath("updater-under-test"), "the running updater");
    ASSERT_TRUE(platform::setLastWriteTime(programPath("updater-under-test"), kProgramTime));
    context.programFile = programPath("updater-under-test");
    addMajRow("MAJ_KLISO", "2021.06.15 10:20:31", kNewUpdater);
    addMajRow("COPIE", "2021.01.01 00:00:00", kCopyTool);
    view.messageFormResult = 3; // Esc-Annuler

    EXPECT_TRUE(startCheck());

    ASSERT_EQ(view.dialogs.size(), 1u);
    EXPECT_EQ(view.dialogs[0].kind, "form");
    EXPECT_EQ(view.dialogs[0].mode, 70);
    EXPECT_EQ(utf8FromCp1252(view.dialogs[0].text),
              "Il existe une version plus récente du programme de mise à jour!\r\nIl sera rechargé!.");
    EXPECT_FALSE(view.countdownRunning);
    EXPECT_EQ(platform::readWholeFile(programPath("Maj_kliso.new")), kNewUpdater);
    EXPECT_EQ(DateTimeText(platform::lastWriteTime(programPath("Maj_kliso.new"))), "2021.06.15 10:20:31");
    expectCopyToolStarted();
    EXPECT_EQ(platform::readWholeFile(context.programFile), "the running updater");
}

TEST_F(SelfUpdateFixture, AnUnreadableDateStopsAfterTheNewFileWithoutTheCopyTool) {
    addMajRow("MAJ_KLISO", "2021.06.31 10:20:31", kNewUpdater); // greater, but no such day
    addMajRow("COPIE", "2021.01.01 00:00:00", kCopyTool);

    try {
        startCheck();
        FAIL() << "an unreadable DATES must end the start";
    } catch (const std::exception& error) {
        EXPECT_NE(std::string(error.what()).find("2021.06.31 10:20:31"), std::string::npos) << error.what();
    }

    EXPECT_EQ(platform::readWholeFile(programPath("Maj_kliso.new")), kNewUpdater);
    EXPECT_FALSE(platform::fileExists(programPath("copie.exe")));
    EXPECT_FALSE(view.closed);
    EXPECT_FALSE(view.countdownRunning);
    EXPECT_TRUE(model.IB.isOpen());
}

TEST_F(SelfUpdateFixture, ThePackageMajKlisoReplacesTheUpdaterAndEndsTheTransfer) {
    addMajRow("MAJ_KLISO", "2030.01.01 00:00:00", "the recorded package");
    addMajRow("COPIE", "2021.01.01 00:00:00", kCopyTool);
    addPackageRow("MAJ_KLISO");
    addPackageRow("SQL_AFTER");
    model.tmem.moveTo(0);
    const auto before = DateTime::now();

    const SpecialHandlingOutcome outcome =
        handleSpecialPackage(context, SpecialPackage::MajKliso, kNewUpdater);

    EXPECT_TRUE(outcome.endsTransfer);
    EXPECT_EQ(view.logUtf8(),
              (std::vector<std::string>{"Tentative de sauver sur " + programFolder.path() + "/Maj_kliso.new",
                                        "sauver!"}));
    EXPECT_EQ(platform::readWholeFile(programPath("Maj_kliso.new")), kNewUpdater);
    EXPECT_GE(DateTimeText(platform::lastWriteTime(programPath("Maj_kliso.new"))), DateTimeText(before));
    EXPECT_TRUE(view.dialogs.empty());
    EXPECT_TRUE(view.countdownRunning); // the install variant leaves the timers to the closing window
    expectCopyToolStarted();
    EXPECT_EQ(model.tmem.row(1).etat, "Transmis");
}

namespace {

// A copy tool that cannot take over, in either variant: the running updater stays and goes on.
enum class CopyToolFault { NoCopieRow, NotAProgram, CannotBeWritten };
enum class Variant { AtStart, DuringInstall };

struct CopyToolCase {
    const char* name;
    CopyToolFault fault;
    Variant variant;
    const char* logged; // the reason in the log line
};

void PrintTo(const CopyToolCase& c, std::ostream* os) {
    *os << c.name;
}

class CopyToolCannotStart : public SelfUpdateFixture, public ::testing::WithParamInterface<CopyToolCase> {};

} // namespace

TEST_P(CopyToolCannotStart, KeepsTheRunningUpdaterAndGoesOn) {
    const CopyToolCase& c = GetParam();
    addMajRow("MAJ_KLISO", "2021.06.15 10:20:31", kNewUpdater);
    addMajRow("SQL_OTHER", "2021.01.01 00:00:00", "stays");
    if (c.fault == CopyToolFault::NotAProgram)
        addMajRow("COPIE", "2021.01.01 00:00:00", "neither a program nor a script");
    else if (c.fault == CopyToolFault::CannotBeWritten)
        addMajRow("COPIE", "2021.01.01 00:00:00", kCopyTool);
    if (c.fault == CopyToolFault::CannotBeWritten)
        platform::createFolder(programPath("copie.exe"));

    if (c.variant == Variant::AtStart) {
        view.messageFormResult = 0;
        EXPECT_FALSE(startCheck()) << "the show handler goes on to the countdown";
        ASSERT_EQ(view.dialogs.size(), 2u);
        EXPECT_EQ(view.dialogs[0].mode, 70);
    } else {
        addPackageRow("MAJ_KLISO");
        addPackageRow("SQL_AFTER");
        model.tmem.moveTo(0);
        EXPECT_FALSE(handleSpecialPackage(context, SpecialPackage::MajKliso, kNewUpdater).endsTransfer)
            << "the transfer goes on with the next package";
        ASSERT_EQ(view.dialogs.size(), 1u);
    }

    const auto& notice = view.dialogs.back();
    EXPECT_EQ(notice.kind, "form");
    EXPECT_EQ(notice.mode, -80) << "closes by itself: nobody may be there";
    EXPECT_EQ(utf8FromCp1252(notice.text),
              "Le programme de mise à jour n'a pas pu être remplacé : l'outil de copie ne démarre pas.\r\n"
              "La mise à jour continue avec la version actuelle.");
    const auto log = view.logUtf8();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(
        log.back().rfind(std::string("Remplacement du programme de mise à jour impossible : ") + c.logged, 0),
        0u)
        << log.back();
    EXPECT_FALSE(platform::fileExists(programPath("Maj_kliso.new")));
    EXPECT_EQ(platform::readWholeFile(context.programFile), "the running updater");
    EXPECT_FALSE(view.closed);
    EXPECT_TRUE(model.IB.isOpen()) << "the run goes on with the database";
    EXPECT_FALSE(QTest::qWaitFor([&] { return platform::fileExists(programPath("started")); }, 500));
    // Nothing left for the next start to try again; the service offers the package again.
    std::vector<std::vector<std::string>> left = {{"SQL_OTHER"}};
    if (c.fault != CopyToolFault::NoCopieRow)
        left.insert(left.begin(), {"COPIE"});
    EXPECT_EQ(query("select nom from maj order by nom"), left);
}

INSTANTIATE_TEST_SUITE_P(
    SelfUpdate, CopyToolCannotStart,
    ::testing::Values(CopyToolCase{"NoCopieRowAtStart", CopyToolFault::NoCopieRow, Variant::AtStart,
                                   "la table MAJ ne contient pas l'outil de copie (COPIE)."},
                      CopyToolCase{"NoCopieRowDuringInstall", CopyToolFault::NoCopieRow,
                                   Variant::DuringInstall,
                                   "la table MAJ ne contient pas l'outil de copie (COPIE)."},
                      CopyToolCase{"NotAProgramAtStart", CopyToolFault::NotAProgram, Variant::AtStart,
                                   "copie.exe n'a pas pu être démarré."},
                      CopyToolCase{"NotAProgramDuringInstall", CopyToolFault::NotAProgram,
                                   Variant::DuringInstall, "copie.exe n'a pas pu être démarré."},
                      CopyToolCase{"CannotBeWrittenAtStart", CopyToolFault::CannotBeWritten, Variant::AtStart,
                                   "copie.exe n'a pas pu être écrit ("},
                      CopyToolCase{"CannotBeWrittenDuringInstall", CopyToolFault::CannotBeWritten,
                                   Variant::DuringInstall, "copie.exe n'a pas pu être écrit ("}),
    [](const auto& info) { return std::string(info.param.name); });
