#include <gtest/gtest.h>

#include <QSignalSpy>

#include "PointerEvents.h"
#include "QvSlider.h"
#include "QvSliderParts.h"
#include "QvValueTip.h"

namespace {

TEST(SliderPartsTest, PartsFollowTheRailRulesAndTheImageSizes) {
    struct Case {
        const char* name;
        QvSliderLayout layout;
        QvSliderParts expected;
    };
    // 200 x 30, 16 x 16 thumb, 4-pixel background: the band is 16 high from y 7, the
    // background 4 high from y 13; the thumb travels 184 pixels.
    QvSliderLayout horizontal;
    horizontal.size = QSize(200, 30);
    horizontal.thumb = QSize(16, 16);
    horizontal.bkgndThickness = 4;
    horizontal.value = 50;

    QvSliderLayout inRail = horizontal;
    inRail.thumbInRail = true;
    inRail.value = 25;

    QvSliderLayout deflated = horizontal;
    deflated.selectPosDeflate = 2;

    // The equaliser's kind: vertical, 0-240, a 20 x 10 thumb on a 6-pixel background.
    QvSliderLayout vertical;
    vertical.size = QSize(30, 200);
    vertical.vertical = true;
    vertical.thumb = QSize(20, 10);
    vertical.bkgndThickness = 6;
    vertical.selectPosDeflate = 1;
    vertical.thumbInRailX = 3;
    vertical.maximum = 240;
    vertical.value = 120;

    QvSliderLayout atMin = vertical;
    atMin.value = 0;
    atMin.selectPosDeflate = 0;
    atMin.thumbInRailX = 0;

    const Case cases[] = {
        {"horizontal, half way",
         horizontal,
         {QRect(92, 7, 16, 16), QRect(8, 13, 92, 4), QRect(8, 13, 184, 4), QRect(8, 13, 184, 4)}},
        {"thumb in rail: filled part and background from the edge",
         inRail,
         {QRect(46, 7, 16, 16), QRect(0, 13, 54, 4), QRect(8, 13, 184, 4), QRect(0, 13, 200, 4)}},
        {"horizontal deflate narrows the band, not the background",
         deflated,
         {QRect(92, 7, 16, 16), QRect(8, 9, 92, 12), QRect(8, 13, 184, 4), QRect(8, 13, 184, 4)}},
        {"vertical: thumb and filled part from the bottom, deflated and extended",
         vertical,
         {QRect(5, 95, 20, 10), QRect(13, 100, 4, 98), QRect(12, 5, 6, 190), QRect(12, 5, 6, 190)}},
        {"vertical at min: thumb on the bottom edge, nothing filled",
         atMin,
         {QRect(5, 190, 20, 10), QRect(12, 195, 6, 0), QRect(12, 5, 6, 190), QRect(12, 5, 6, 190)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QvSliderParts parts = QvSliderParts::compute(c.layout);
        EXPECT_EQ(parts.thumb, c.expected.thumb);
        EXPECT_EQ(parts.filled, c.expected.filled);
        EXPECT_EQ(parts.rail, c.expected.rail);
        EXPECT_EQ(parts.background, c.expected.background);
    }
}

class SliderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        slider.resize(200, 30);
        slider.setRange(0, 100);
    }

    QvSlider slider;
    QSignalSpy spy{&slider, &QvSlider::positionChanged};
};

TEST_F(SliderTest, ClickOnTheRailJumpsToTheValueUnderThePointer) {
    pointer::Click(slider, QPoint(100, 15));  // min + 101 * (100 - 8) / 184
    EXPECT_EQ(slider.value(), 50);

    pointer::Click(slider, QPoint(199, 15));  // past the rail: clamped
    EXPECT_EQ(slider.value(), 100);
    ASSERT_EQ(spy.size(), 2);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 50);
    EXPECT_EQ(spy.at(1).at(0).toInt(), 100);

    QvSlider eq;
    eq.setOrientation(Qt::Vertical);
    eq.resize(30, 200);
    eq.setThumbSize(QSize(20, 10));
    eq.setRange(0, 240);
    pointer::Click(eq, QPoint(15, 100));  // 241 * (195 - 100) / 190 from the bottom
    EXPECT_EQ(eq.value(), 120);
}

TEST_F(SliderTest, DragMovesByTheDistanceTravelledFromThePress) {
    slider.setValue(50);  // thumb spans x 92..107
    pointer::Press(slider, QPoint(100, 15));
    EXPECT_EQ(slider.value(), 50) << "grabbing the thumb does not move it";
    EXPECT_TRUE(spy.isEmpty());

    pointer::Drag(slider, QPoint(146, 15));  // 46 * 101 / 184 = 25
    EXPECT_EQ(slider.value(), 75);
    pointer::Drag(slider, QPoint(146, 25));  // same value: nothing to report
    pointer::Drag(slider, QPoint(0, 15));    // past the start: clamped
    EXPECT_EQ(slider.value(), 0);
    pointer::Release(slider, QPoint(0, 15));
    pointer::Hover(slider, QPoint(150, 15));
    EXPECT_EQ(slider.value(), 0);

    ASSERT_EQ(spy.size(), 2);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 75);
    EXPECT_EQ(spy.at(1).at(0).toInt(), 0);

    slider.setValue(30);
    EXPECT_EQ(spy.size(), 2) << "program changes are not reported";
}

TEST_F(SliderTest, ValueTipShowsValuePlusDeltaBesideTheThumb) {
    slider.setShowPercent(true);
    slider.setDelta(-120);
    slider.setValue(50);  // thumb spans x 92..107
    pointer::Hover(slider, QPoint(20, 15));
    pointer::Hover(slider, QPoint(100, 15));  // entering the thumb
    const QvValueTip* tip = slider.valueTip();
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(tip->isVisible());
    EXPECT_EQ(tip->text(), QStringLiteral("-70"));

    pointer::Press(slider, QPoint(100, 15));
    pointer::Drag(slider, QPoint(146, 15));  // 75: thumb at x 138, bottom edge 23
    EXPECT_TRUE(tip->isVisible());
    EXPECT_EQ(tip->text(), QStringLiteral("-45"));
    // Centred under the thumb: 138 + (16 - 6 * 3 - 10) / 2, 10 below it.
    EXPECT_EQ(tip->pos(), slider.mapToGlobal(QPoint(132, 33)));
    EXPECT_EQ(tip->size(), QSize(28, 22));

    pointer::Release(slider, QPoint(146, 15));
    EXPECT_FALSE(tip->isVisible()) << "ending a drag hides it; the pointer stayed on the thumb";

    pointer::Hover(slider, QPoint(60, 15));
    pointer::Hover(slider, QPoint(145, 15));
    EXPECT_TRUE(tip->isVisible());
    pointer::Hover(slider, QPoint(60, 15));  // leaving the thumb
    EXPECT_FALSE(tip->isVisible());

    // A click on the rail brings the thumb under the pointer: the release enters the thumb.
    pointer::Hover(slider, QPoint(180, 15));
    pointer::Click(slider, QPoint(180, 15));
    EXPECT_TRUE(tip->isVisible());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&slider, &leave);
    EXPECT_FALSE(tip->isVisible());

    QvSlider eq;
    eq.setOrientation(Qt::Vertical);
    eq.resize(30, 200);
    eq.setThumbSize(QSize(20, 10));
    eq.setRange(0, 240);
    eq.setShowPercent(true);
    pointer::Click(eq, QPoint(15, 100));  // 120: the thumb lands at (5, 95) under the pointer
    ASSERT_NE(eq.valueTip(), nullptr);
    EXPECT_TRUE(eq.valueTip()->isVisible());
    // Left of the thumb: 5 - 6 * 3 - 15; centred on it: 95 + 5 - 11.
    EXPECT_EQ(eq.valueTip()->pos(), eq.mapToGlobal(QPoint(-28, 89)));
}

TEST_F(SliderTest, NoValueTipUnlessShowPercent) {
    slider.setValue(50);
    pointer::Press(slider, QPoint(100, 15));
    pointer::Drag(slider, QPoint(146, 15));
    pointer::Hover(slider, QPoint(145, 15));
    EXPECT_EQ(slider.valueTip(), nullptr);
}

TEST_F(SliderTest, HitTestingFindsTheThumbBeforeTheFilledPartAndTheRail) {
    slider.setValue(50);
    EXPECT_EQ(slider.partAt(QPoint(100, 15)), QvSlider::Part::Thumb);
    EXPECT_EQ(slider.partAt(QPoint(50, 15)), QvSlider::Part::Filled);
    EXPECT_EQ(slider.partAt(QPoint(150, 15)), QvSlider::Part::Rail);
    EXPECT_EQ(slider.partAt(QPoint(150, 2)), QvSlider::Part::None);
}

TEST_F(SliderTest, LayoutsSetTheHyphenatedAttributeAsADynamicProperty) {
    slider.setOrientation(Qt::Vertical);
    slider.setProperty("thumbInRail-x", 3);
    EXPECT_EQ(slider.thumbInRailX(), 3);
}

}  // namespace
