#include "Gauge.h"

#include <QApplication>
#include <QImage>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

using halvio::Gauge;

namespace {

struct PercentCase {
    std::int32_t minimum;
    std::int32_t maximum;
    std::int32_t progress;
    int percent;
};

TEST(Gauge, StartsAtZeroOfHundred) {
    Gauge gauge;
    EXPECT_EQ(gauge.minimum(), 0);
    EXPECT_EQ(gauge.maximum(), 100);
    EXPECT_EQ(gauge.progress(), 0);
    EXPECT_EQ(gauge.shownText(), "0%");
}

TEST(Gauge, ShowsTheWholePercentageBetweenItsBounds) {
    constexpr auto lowest = std::numeric_limits<std::int32_t>::min();
    constexpr auto highest = std::numeric_limits<std::int32_t>::max();
    const PercentCase cases[] = {
        {0, 100, 50, 50},
        {0, 3, 2, 66}, // fraction dropped, not rounded
        {0, 3, 1, 33},
        {10, 20, 15, 50},
        {-100, 100, 0, 50},
        {0, 0, 0, 0}, // empty range
        {0, 250000, 249999, 99},
        {lowest, highest, highest, 100}, // a range wider than 2^31 must not overflow
        {lowest, highest, 0, 50},
    };
    for (const auto& c : cases) {
        Gauge gauge;
        gauge.setMaximum(c.maximum);
        gauge.setMinimum(c.minimum);
        gauge.setProgress(c.progress);
        EXPECT_EQ(gauge.percentDone(), c.percent) << c.minimum << ".." << c.maximum << " at " << c.progress;
        EXPECT_EQ(gauge.shownText(), QString::number(c.percent) + "%");
    }
}

TEST(Gauge, HoldsAProgressOutsideTheRangeAtTheNearerBound) {
    Gauge gauge;
    gauge.setMaximum(200);
    gauge.setProgress(-5);
    EXPECT_EQ(gauge.progress(), 0);
    gauge.setProgress(250);
    EXPECT_EQ(gauge.progress(), 200);
    EXPECT_EQ(gauge.percentDone(), 100);

    // Bounds moving past the stored progress bring it along.
    gauge.setMaximum(150);
    EXPECT_EQ(gauge.progress(), 150);
    gauge.setProgress(20);
    gauge.setMinimum(40);
    EXPECT_EQ(gauge.progress(), 40);
    gauge.setMaximum(40); // an empty range
    EXPECT_EQ(gauge.progress(), 40);
    EXPECT_EQ(gauge.percentDone(), 0);
}

TEST(Gauge, RefusesBoundsThatCrossEachOther) {
    Gauge gauge;
    gauge.setProgress(30);
    EXPECT_THROW(gauge.setMaximum(-1), std::out_of_range);
    EXPECT_THROW(gauge.setMinimum(101), std::out_of_range);
    EXPECT_EQ(gauge.minimum(), 0);
    EXPECT_EQ(gauge.maximum(), 100);
    EXPECT_EQ(gauge.progress(), 30);
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

TEST(Gauge, RepaintsOnlyWhenWhatItShowsChanges) {
    Gauge gauge;
    gauge.resize(176, 19); // 174 pixels inside the border
    gauge.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&gauge));
    settle();
    PaintCounter counter;
    gauge.installEventFilter(&counter);

    gauge.setProgress(1); // 1% and 1 pixel
    settle();
    ASSERT_EQ(counter.paints, 1) << "a visible change must reach the screen";

    gauge.setMaximum(1000); // 0%, 0 pixels: both change
    settle();
    EXPECT_EQ(counter.paints, 2);

    gauge.setProgress(5); // still 0% and 0 pixels
    gauge.setProgress(5);
    gauge.setMinimum(0);
    gauge.setMaximum(1000);
    settle();
    EXPECT_EQ(counter.paints, 2);

    gauge.setProgress(10); // 1%, 1 pixel
    settle();
    EXPECT_EQ(counter.paints, 3);
    gauge.setProgress(11); // 1%, 1 pixel: nothing moves
    settle();
    EXPECT_EQ(counter.paints, 3);
    gauge.setProgress(12); // still 1%, but the bar grows to 2 pixels
    settle();
    EXPECT_EQ(counter.paints, 4);
}

TEST(Gauge, FillsBlackOnWhiteInProportion) {
    Gauge gauge;
    gauge.resize(176, 19);
    gauge.setProgress(25);
    const QImage image = gauge.grab().toImage();
    const int y = 3; // above the centred text
    EXPECT_EQ(QColor(image.pixel(10, y)), QColor(Qt::black));
    EXPECT_EQ(QColor(image.pixel(40, y)), QColor(Qt::black));
    EXPECT_EQ(QColor(image.pixel(48, y)), QColor(Qt::white)); // 1 + 174 / 4 = 44.5
    EXPECT_EQ(QColor(image.pixel(160, y)), QColor(Qt::white));
}

} // namespace
