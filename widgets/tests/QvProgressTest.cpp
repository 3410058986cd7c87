#include <gtest/gtest.h>

#include <vector>

#include "QvProgress.h"
#include "QvProgressEX.h"
#include "QvProgressEX1.h"

namespace {

// A redraw is what moves a falling display; grab() paints the widget once.
void Redraw(QWidget& widget) {
    (void)widget.grab();
}

// The main layout's level meter: vertical, 0-90, falling by 9 * 90 / 100 = 8 per redraw.
template <class Meter>
void MakeLevelMeter(Meter& meter) {
    meter.resize(10, 90);
    meter.setOrientation(Qt::Vertical);
    meter.setRange(0, 90);
    meter.setDeclineSpeed(9);
}

TEST(LevelMeterTest, DisplayRisesAtOnceAndFallsByAtMostOneStepPerRedraw) {
    QvProgressEX1 meter;
    MakeLevelMeter(meter);
    meter.setValue(90);
    Redraw(meter);
    EXPECT_EQ(meter.shown(), 90);

    std::vector<int> shown;
    for (int report = 0; report < 3; ++report) {
        meter.setValue(0);
        Redraw(meter);
        shown.push_back(meter.shown());
    }
    EXPECT_EQ(shown, (std::vector<int>{82, 74, 66}));
    EXPECT_EQ(meter.value(), 66) << "the held-up value is stored";

    meter.setValue(62);  // within one step: shown as it is
    Redraw(meter);
    EXPECT_EQ(meter.shown(), 62);
    meter.setValue(80);
    Redraw(meter);
    EXPECT_EQ(meter.shown(), 80);
}

TEST(LevelMeterTest, ProgressEXDropsToZeroAtOnceButFallsSlowlyOtherwise) {
    QvProgressEX bar;
    MakeLevelMeter(bar);
    bar.setValue(90);
    Redraw(bar);
    bar.setValue(10);
    Redraw(bar);
    EXPECT_EQ(bar.shown(), 82);
    bar.setValue(0);
    Redraw(bar);
    EXPECT_EQ(bar.shown(), 0);
}

TEST(LevelMeterTest, FallOffAnimationEmptiesTheMeterOneStepPerFrameThenStops) {
    QvProgressEX1 meter;
    MakeLevelMeter(meter);
    meter.setValue(90);
    Redraw(meter);

    // What the effects page does when the card goes away.
    meter.setValue(0);
    meter.setFrameCounter(QvProgressEX1::kFramesPerRound);
    meter.startFallOff();
    ASSERT_TRUE(meter.isFallingOff());

    std::vector<int> shown;
    while (meter.isFallingOff() && shown.size() < 20) {
        meter.advanceFallOff();
        Redraw(meter);
        shown.push_back(meter.shown());
    }
    const std::vector<int> expected{82, 74, 66, 58, 50, 42, 34, 26, 18, 10, 2, 0, 0};
    EXPECT_EQ(shown, expected);  // the frame after reaching 0 stops the animation
    EXPECT_FALSE(meter.isFallingOff());
}

TEST(LevelMeterTest, FrameCounterReloadsAtZeroAndDisarmsBelowZero) {
    QvProgressEX1 meter;
    MakeLevelMeter(meter);
    meter.setValue(90);
    Redraw(meter);

    meter.setFrameCounter(1);
    meter.advanceFallOff();
    EXPECT_EQ(meter.frameCounter(), QvProgressEX1::kFramesPerRound);
    EXPECT_EQ(meter.value(), 0);

    meter.setValue(90);
    Redraw(meter);
    meter.setFrameCounter(0);
    meter.startFallOff();
    meter.advanceFallOff();  // went below 0: the frame does nothing
    Redraw(meter);
    EXPECT_EQ(meter.shown(), 90);
    EXPECT_EQ(meter.frameCounter(), -1);
    EXPECT_TRUE(meter.isFallingOff());
    meter.stopFallOff();
}

TEST(ProgressTest, FilledAndUnlitPartsFollowTheValue) {
    struct Case {
        const char* name;
        Qt::Orientation orientation;
        int value;
        QRect filled;  // QvProgress: the position skin
        QRect unlit;   // QvProgressEX: the part above the value
    };
    const Case cases[] = {
        {"horizontal third", Qt::Horizontal, 30, QRect(0, 0, 33, 10), QRect(34, 0, 66, 10)},
        {"vertical half, from the bottom", Qt::Vertical, 45, QRect(0, 50, 100, 50),
         QRect(0, 0, 100, 50)},
        {"empty", Qt::Horizontal, 0, QRect(), QRect(0, 0, 100, 10)},
        {"clamped to max", Qt::Vertical, 120, QRect(0, 0, 100, 100), QRect(0, 0, 100, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QvProgress bar;
        QvProgressEX meter;
        for (QvProgress* p : {&bar, static_cast<QvProgress*>(&meter)}) {
            p->resize(c.orientation == Qt::Vertical ? QSize(100, 100) : QSize(100, 10));
            p->setOrientation(c.orientation);
            p->setRange(0, 90);
            p->setValue(c.value);
        }
        EXPECT_EQ(bar.filledRect(), c.filled);
        EXPECT_EQ(meter.unlitRect(), c.unlit);
    }
}

}  // namespace
