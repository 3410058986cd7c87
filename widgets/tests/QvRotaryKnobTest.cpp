#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QSignalSpy>
#include <cmath>
#include <numbers>

#include "PointerEvents.h"
#include "QvRotaryKnob.h"
#include "QvSlider.h"

namespace {

// The knobs of the main layout: a 70 degree gap; a 100 x 100 knob has its centre at (50, 50).
class KnobTest : public ::testing::Test {
  protected:
    void SetUp() override {
        knob.resize(100, 100);
        knob.setIncludedAngle(70);
        knob.setRange(0, 9);
        (void)knob.grab();  // delivers the resize that a hidden widget holds back
    }

    // A point 40 pixels from the centre in a screen direction (degrees, clockwise from +x).
    static QPoint AtAngle(double degrees) {
        const double rad = degrees * std::numbers::pi / 180;
        return QPoint(static_cast<int>(std::lround(50 + 40 * std::cos(rad))),
                      static_cast<int>(std::lround(50 + 40 * std::sin(rad))));
    }

    std::vector<int> Reported() const {
        std::vector<int> values;
        for (const auto& args : spy) values.push_back(args.at(0).toInt());
        return values;
    }

    QvRotaryKnob knob;
    QSignalSpy spy{&knob, &QvRotaryKnob::positionChanged};
};

TEST_F(KnobTest, PressSelectsTheValueInThePointersDirection) {
    struct Case {
        QPoint at;
        int value;
        const char* why;
    };
    const Case cases[] = {
        {{10, 50}, 1, "left: 55 degrees from the start, trunc(55 * 9 / 290)"},
        {{50, 10}, 4, "above: 145 degrees"},
        {{90, 50}, 7, "right: 235 degrees"},
        {{50, 90}, 9, "below: 325 degrees, inside the gap, clamps to max"},
        {AtAngle(140), 0, "just past the start of the dial"},
        {AtAngle(45), 8, "just before the gap"},
        {AtAngle(100), 9, "inside the gap"},
        {{61, 12}, 4, "3.14 for pi: 5 with the true pi"},
        {{29, 80}, 0, "3.14 for pi: in the gap with the true pi"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        knob.setValue(5);  // no case expects 5
        spy.clear();
        pointer::Click(knob, c.at);
        EXPECT_EQ(knob.value(), c.value);
        EXPECT_EQ(Reported(), std::vector<int>{c.value});
    }
}

TEST_F(KnobTest, DragFromMaxThroughTheGapHoldsMaxUntilThePointerComesBackToMax) {
    pointer::Press(knob, AtAngle(70));
    ASSERT_EQ(knob.value(), 9);
    spy.clear();

    for (double degrees : {140.0, 180.0, 270.0, 0.0, 45.0}) {
        pointer::Drag(knob, AtAngle(degrees));
        EXPECT_EQ(knob.value(), 9) << "held at max at " << degrees << " degrees";
    }
    EXPECT_TRUE(spy.isEmpty());

    pointer::Drag(knob, AtAngle(80));  // gives max again: the knob follows from here
    pointer::Drag(knob, AtAngle(45));
    EXPECT_EQ(knob.value(), 8);
    EXPECT_EQ(Reported(), (std::vector<int>{9, 8}));
}

TEST_F(KnobTest, DragFromMinThroughTheGapHoldsMinUntilThePointerComesBackToMin) {
    pointer::Press(knob, AtAngle(140));
    ASSERT_EQ(knob.value(), 0);
    spy.clear();

    for (double degrees : {100.0, 45.0, 0.0, 180.0}) {
        pointer::Drag(knob, AtAngle(degrees));
        EXPECT_EQ(knob.value(), 0) << "held at min at " << degrees << " degrees";
    }
    EXPECT_TRUE(spy.isEmpty());

    pointer::Drag(knob, AtAngle(140));
    pointer::Drag(knob, AtAngle(200));
    EXPECT_EQ(knob.value(), 2);
    EXPECT_EQ(Reported(), (std::vector<int>{0, 2}));
}

TEST_F(KnobTest, ReleaseEndsTheHoldAndOnlyAPressedKnobFollowsThePointer) {
    pointer::Press(knob, AtAngle(70));
    pointer::Drag(knob, AtAngle(140));
    ASSERT_EQ(knob.value(), 9);
    pointer::Release(knob, AtAngle(140));

    pointer::Drag(knob, AtAngle(180));  // moves without a button do nothing
    EXPECT_EQ(knob.value(), 9);

    pointer::Press(knob, AtAngle(180));
    pointer::Drag(knob, AtAngle(200));
    EXPECT_EQ(knob.value(), 2);

    spy.clear();
    pointer::Press(knob, AtAngle(180), Qt::RightButton);
    EXPECT_EQ(knob.value(), 2);
    EXPECT_TRUE(spy.isEmpty());
}

TEST_F(KnobTest, DotFollowsThePointerAndRestsOnTheEndsAtMinAndMax) {
    knob.setDotRadius(25);
    knob.setDotSkin(QStringLiteral("dot"));
    // The ends of the dial are 35 degrees either side of straight down, computed with 3.14:
    // 25 px from the middle at 55 degrees below the horizontal.
    const QPointF start(35.650625, 70.471820);
    const QPointF end(64.349375, 70.471820);
    auto near = [](QPointF a, QPointF b, double tolerance = 1e-5) {
        return QLineF(a, b).length() < tolerance;
    };

    EXPECT_TRUE(near(knob.dotPosition(), start));

    pointer::Press(knob, QPoint(10, 50));  // straight left, 25 pixels out
    EXPECT_TRUE(near(knob.dotPosition(), QPointF(25, 50), 0.1));
    pointer::Release(knob, QPoint(10, 50));
    (void)knob.grab();  // in between the ends the dot stays where the pointer put it
    EXPECT_TRUE(near(knob.dotPosition(), QPointF(25, 50), 0.1));

    knob.setValue(9);
    (void)knob.grab();
    EXPECT_TRUE(near(knob.dotPosition(), end));
    knob.setValue(0);
    (void)knob.grab();
    EXPECT_TRUE(near(knob.dotPosition(), start));
}

TEST_F(KnobTest, ProgramChangesAreNotReported) {
    knob.setValue(3);
    knob.setRange(0, 100);
    knob.setValue(80);
    EXPECT_EQ(knob.value(), 80);
    EXPECT_TRUE(spy.isEmpty());
}

// Keys and the wheel behave alike on the knob and the slider.
template <class Widget>
class RangeInputTest : public ::testing::Test {
  protected:
    Widget widget;
    QSignalSpy spy{&widget, &Widget::positionChanged};
};

using RangeWidgets = ::testing::Types<QvRotaryKnob, QvSlider>;
TYPED_TEST_SUITE(RangeInputTest, RangeWidgets);

TYPED_TEST(RangeInputTest, KeysStepByOneOrAFifthOfTheRangeAndHomeIsMax) {
    struct Case {
        int from;
        int key;
        int to;  // -1: the key is not ours
    };
    const Case cases[] = {
        {50, Qt::Key_PageUp, 70}, {50, Qt::Key_PageDown, 30}, {90, Qt::Key_PageUp, 100},
        {5, Qt::Key_PageDown, 0}, {50, Qt::Key_Home, 100},    {50, Qt::Key_End, 0},
        {50, Qt::Key_Left, 49},   {50, Qt::Key_Down, 49},     {50, Qt::Key_Up, 51},
        {50, Qt::Key_Right, 51},  {100, Qt::Key_Up, 100},     {0, Qt::Key_Down, 0},
        {50, Qt::Key_Space, -1},  {50, Qt::Key_A, -1},
    };
    this->widget.setRange(0, 100);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "from " << c.from << " key " << Qt::Key(c.key));
        this->widget.setValue(c.from);
        this->spy.clear();
        QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
        QApplication::sendEvent(&this->widget, &press);
        if (c.to < 0) {
            EXPECT_FALSE(press.isAccepted());
            EXPECT_EQ(this->widget.value(), c.from);
            EXPECT_TRUE(this->spy.isEmpty());
        } else {
            EXPECT_EQ(this->widget.value(), c.to);
            ASSERT_EQ(this->spy.size(), 1);
            EXPECT_EQ(this->spy.at(0).at(0).toInt(), c.to);
        }
    }
}

TYPED_TEST(RangeInputTest, WheelStepsByOneForwardUp) {
    this->widget.setRange(0, 10);
    this->widget.setValue(5);
    EXPECT_TRUE(pointer::Wheel(this->widget, true));
    EXPECT_EQ(this->widget.value(), 6);
    EXPECT_TRUE(pointer::Wheel(this->widget, false));
    EXPECT_TRUE(pointer::Wheel(this->widget, false));
    EXPECT_EQ(this->widget.value(), 4);
    EXPECT_EQ(this->spy.size(), 3);
}

}  // namespace
