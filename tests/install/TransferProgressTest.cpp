// The progress handlers: gauges, the percentage of the row in editing, the status bar, and the
// repaints they cost.
#include "TransferProgress.h"
#include "InstallFixture.h"
#include "PackageServer.h"
#include "PackageTransfer.h"

#include <gtest/gtest.h>

using namespace halvio;
using halvio::test::RecordingView;

namespace {

// The handlers alone: no transfer goes through the clients.
struct ProgressFixture : ::testing::Test, test::RunHarness {

    // A package row in editing, as during its download.
    void downloadingRow(std::optional<std::int16_t> pc = std::nullopt) {
        model.tmem.open();
        model.tmem.append();
        model.tmem.setNom("SQL_FIX");
        if (pc)
            model.tmem.setPc(*pc);
        model.tmem.post();
        model.tmem.first();
        model.tmem.edit();
    }
    std::optional<std::int16_t> pc() const { return model.tmem.row(0).pc; }
    const RecordingView::Gauge& p1() const { return view.gauges.at(GaugeId::CurrentFile); }
    const RecordingView::Gauge& p2() const { return view.gauges.at(GaugeId::AllFiles); }
};

} // namespace

TEST(TransferProgressRounding, PercentIsRoundedHalfToEven) {
    const std::tuple<std::int32_t, std::int32_t, std::int16_t> cases[] = {
        {2, 3, 67}, {1, 3, 33},  {1, 8, 12},  {3, 8, 38},  {5, 8, 62},
        {0, 7, 0},  {7, 7, 100}, {1, 200, 0}, {3, 200, 2},
    };
    for (const auto& [progress, maximum, percent] : cases)
        EXPECT_EQ(roundedPercent(progress, maximum), percent) << progress << "/" << maximum;
    EXPECT_ANY_THROW(roundedPercent(0, 0));
}

TEST_F(ProgressFixture, TwoOfThreeBytesGive67) {
    downloadingRow();
    HTTPWorkBegin(context, 3);
    HTTPWork(context, 2);
    EXPECT_EQ(p1().maximum, 3);
    EXPECT_EQ(p1().progress, 2);
    EXPECT_EQ(pc(), 67);
    EXPECT_TRUE(model.tmem.isEditing()); // the row stays in editing for the whole download
    EXPECT_EQ(view.repaints, 1);
    EXPECT_EQ(view.messagePasses, 1);
}

TEST_F(ProgressFixture, NoExpectedCountKeepsPcAndStillProcessesMessages) {
    downloadingRow(40);
    HTTPWorkBegin(context, 0);
    HTTPWork(context, 500);
    EXPECT_EQ(p1().maximum, 0);
    EXPECT_EQ(p1().progress, 0);
    EXPECT_EQ(pc(), 40);
    EXPECT_EQ(view.repaints, 0);
    EXPECT_EQ(view.messagePasses, 1);
}

TEST_F(ProgressFixture, ExchangeMovesTheGaugesButNoRow) {
    downloadingRow(40);
    model.tmem.post();
    view.gauges[GaugeId::AllFiles].maximum = 1000;
    HTTPWorkBegin(context, 200);
    HTTPWork(context, 100);
    EXPECT_EQ(p1().progress, 100);
    EXPECT_EQ(p2().progress, 100);
    EXPECT_EQ(pc(), 40);
    EXPECT_EQ(view.repaints, 1);
}

TEST_F(ProgressFixture, AllFilesGaugeAddsTheRunningTotalAndStopsAtItsMaximum) {
    downloadingRow();
    view.gauges[GaugeId::AllFiles].maximum = 250000; // 100 000 + 150 000 announced
    context.runningTotal = 100000;
    HTTPWorkBegin(context, 200000); // the second file really has 200 000 bytes
    HTTPWork(context, 100000);
    EXPECT_EQ(p2().progress, 200000);
    EXPECT_EQ(pc(), 50);
    HTTPWork(context, 200000);
    EXPECT_EQ(p2().progress, 250000);
    EXPECT_EQ(p1().progress, 200000);
    EXPECT_EQ(pc(), 100);
}

TEST_F(ProgressFixture, RepaintsOnlyWhenWhatIsShownChanges) {
    downloadingRow();
    view.gauges[GaugeId::AllFiles].maximum = 2000000;
    HTTPWorkBegin(context, 1000000);
    for (std::int64_t count = 100; count <= 1000000; count += 100)
        HTTPWork(context, count);
    EXPECT_EQ(view.messagePasses, 10000);
    EXPECT_EQ(pc(), 100);
    // The first event shows pc 0; then p1's whole per cents change at every 10 000 bytes and pc's rounded
    // ones 5 000 bytes later, a hundred times each; p2's changes fall on p1's.
    EXPECT_EQ(view.repaints, 201);

    const int before = view.repaints;
    HTTPWork(context, 1000000); // nothing new to show
    EXPECT_EQ(view.repaints, before);
}

TEST_F(ProgressFixture, StatusTextGoesToTheFirstPanel) {
    HTTPStatus(context, "Connexion \xE0 localhost.");
    HTTPStatus(context, "Connect\xE9.");
    EXPECT_EQ(view.statusTexts, (std::vector<std::string>{"Connexion \xE0 localhost.", "Connect\xE9."}));
}

// A real download through the client's events: the second of two packages is larger than announced.
class ProgressDuringTransfer : public test::InstallFixture {};

TEST_F(ProgressDuringTransfer, SecondFileLargerThanAnnounced) {
    test::PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    const std::string first = test::packageArchive(test::noiseBytes(90000, 1));
    const std::string second = test::packageArchive(test::noiseBytes(200000, 2));
    publicHost.serve("/kliso/update/a_first.zip", first);
    publicHost.serve("/kliso/update/b_second.zip", second);
    view.setChecked(CheckBoxId::DirectConnection, false);
    addPackage("A_FIRST", "un", "2024.01.02 03:04:05", 100000);
    addPackage("B_SECOND", "deux", "2024.01.02 03:04:05", 150000);
    view.setGaugeMaximum(GaugeId::AllFiles, 250000);

    struct Sample {
        std::int32_t p1, p1Max, p2;
        std::int16_t pc;
    };
    std::vector<Sample> secondDownload;
    view.onProcessMessages = [&] {
        const PackageTable& tmem = model.tmem;
        if (tmem.isEditing() && tmem.currentIndex() == 1 && tmem.current().etat == "Transfer.")
            secondDownload.push_back({view.gaugeProgress(GaugeId::CurrentFile),
                                      view.gaugeMaximum(GaugeId::CurrentFile),
                                      view.gaugeProgress(GaugeId::AllFiles), tmem.current().pc.value_or(-1)});
    };
    Button3Click(context);

    ASSERT_FALSE(secondDownload.empty());
    std::int16_t previousPc = 0;
    for (const Sample& s : secondDownload) {
        EXPECT_EQ(s.p1Max, static_cast<std::int32_t>(second.size()));
        EXPECT_EQ(s.p2, std::min(100000 + s.p1, 250000)); // the first file's TAILLE, not its size
        EXPECT_GE(s.pc, previousPc);
        previousPc = s.pc;
    }
    EXPECT_EQ(secondDownload.back().p2, 250000);
    EXPECT_EQ(secondDownload.back().pc, 100);
    EXPECT_EQ(context.runningTotal, 250000);
}
