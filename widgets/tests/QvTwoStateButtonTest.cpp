#include <gtest/gtest.h>

#include <QFocusEvent>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QWidget>
#include <memory>

#include "PointerEvents.h"
#include "QvCheckButton.h"
#include "QvRadioButton.h"

namespace {

enum class Kind { Check, Radio };
enum class Action { Click, ClickNearEdge, Space };

std::unique_ptr<QAbstractButton> Make(Kind kind, QWidget* parent = nullptr) {
    std::unique_ptr<QAbstractButton> button;
    if (kind == Kind::Check) {
        button = std::make_unique<QvCheckButton>(parent);
    } else {
        button = std::make_unique<QvRadioButton>(parent);
    }
    button->resize(120, 30);
    button->setText(QStringLiteral("话筒静音"));
    return button;
}

void Act(QAbstractButton& button, Action action) {
    switch (action) {
        case Action::Click:
            pointer::Click(button, QPoint(60, 15));
            break;
        case Action::ClickNearEdge:
            pointer::Click(button, QPoint(117, 3));
            break;
        case Action::Space: {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier,
                              QStringLiteral(" "));
            QApplication::sendEvent(&button, &press);
            QApplication::sendEvent(&button, &release);
            break;
        }
    }
}

TEST(TwoStateButtonTest, AutoCheckDecidesWhetherTheUserChangesTheState) {
    struct Case {
        const char* name;
        Kind kind;
        int autoCheck;
        bool checkedBefore;
        Action action;
        bool checkedAfter;
    };
    const Case cases[] = {
        {"check: click toggles on", Kind::Check, 1, false, Action::Click, true},
        {"check: click toggles off", Kind::Check, 1, true, Action::Click, false},
        {"check: the whole key is clickable", Kind::Check, 1, false, Action::ClickNearEdge, true},
        {"check: space toggles", Kind::Check, 1, false, Action::Space, true},
        {"check: autoCheck 0 leaves it to the program", Kind::Check, 0, false, Action::Click,
         false},
        {"check: autoCheck 0, space", Kind::Check, 0, true, Action::Space, true},
        {"radio: click checks", Kind::Radio, 1, false, Action::Click, true},
        {"radio: a checked one stays checked", Kind::Radio, 1, true, Action::Click, true},
        {"radio: the whole key is clickable", Kind::Radio, 1, false, Action::ClickNearEdge, true},
        {"effect button: autoCheck 0 stays unchecked", Kind::Radio, 0, false, Action::Click, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto button = Make(c.kind);
        button->setProperty("autoCheck", c.autoCheck);
        button->setChecked(c.checkedBefore);
        QSignalSpy clicked(button.get(), &QAbstractButton::clicked);
        Act(*button, c.action);
        EXPECT_EQ(button->isChecked(), c.checkedAfter);
        EXPECT_EQ(clicked.size(), 1) << "the click is reported either way";
    }
}

TEST(TwoStateButtonTest, RadioIsCheckedWhenTheUserMovesTheFocusOntoIt) {
    struct Case {
        Qt::FocusReason reason;
        int autoCheck;
        bool checked;
    };
    const Case cases[] = {
        {Qt::TabFocusReason, 1, true},
        {Qt::BacktabFocusReason, 1, true},
        {Qt::TabFocusReason, 0, false},
        {Qt::ActiveWindowFocusReason, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "reason " << c.reason << " autoCheck " << c.autoCheck);
        QWidget group;
        auto first = Make(Kind::Radio, &group);
        auto second = Make(Kind::Radio, &group);
        first->setChecked(true);
        second->setProperty("autoCheck", c.autoCheck);
        QFocusEvent focus(QEvent::FocusIn, c.reason);
        QApplication::sendEvent(second.get(), &focus);
        EXPECT_EQ(second->isChecked(), c.checked);
        EXPECT_EQ(first->isChecked(), !c.checked) << "one choice per group";
    }
}

TEST(TwoStateButtonTest, ProgramCheckingOneRadioUnchecksTheOthersOfItsGroup) {
    QWidget group;
    auto major = Make(Kind::Radio, &group);
    auto minor = Make(Kind::Radio, &group);
    major->setProperty("autoCheck", 0);
    minor->setProperty("autoCheck", 0);
    major->setChecked(true);
    minor->setChecked(true);
    EXPECT_FALSE(major->isChecked());
    EXPECT_TRUE(minor->isChecked());
}

TEST(TwoStateButtonTest, MultiAttributesFollowTheCheckedState) {
    for (Kind kind : {Kind::Check, Kind::Radio}) {
        SCOPED_TRACE(kind == Kind::Check ? "check" : "radio");
        QWidget group;
        auto button = Make(kind, &group);
        auto other = Make(Kind::Radio, &group);  // lets a radio be unchecked again
        const QColor off(0x80, 0x80, 0x80);
        const QColor on(0x21, 0xb8, 0xbc);
        button->setProperty("multitext", "1");
        button->setProperty("text1", "静音");
        button->setProperty("text2", "已静音");
        button->setProperty("multitip", "1");
        button->setProperty("tip1", "点击静音");
        button->setProperty("tip2", "点击恢复");
        button->setProperty("multicolor", "1");
        button->setProperty("colortext1", off);
        button->setProperty("colortext2", on);
        auto color = [&] {
            return kind == Kind::Check ? static_cast<QvCheckButton&>(*button).currentTextColor()
                                       : static_cast<QvRadioButton&>(*button).currentTextColor();
        };
        EXPECT_EQ(button->text(), QStringLiteral("静音")) << "applied as soon as it is set";
        EXPECT_EQ(button->toolTip(), QStringLiteral("点击静音"));
        EXPECT_EQ(color(), off);

        pointer::Click(*button, QPoint(60, 15));
        EXPECT_EQ(button->text(), QStringLiteral("已静音"));
        EXPECT_EQ(button->toolTip(), QStringLiteral("点击恢复"));
        EXPECT_EQ(color(), on);

        if (kind == Kind::Check) {
            button->setChecked(false);
        } else {
            other->setChecked(true);
        }
        EXPECT_EQ(button->text(), QStringLiteral("静音"));
        EXPECT_EQ(color(), off);
    }
}

TEST(TwoStateButtonTest, MultiAttributesAreOffUnlessSetToSomethingButZero) {
    QvCheckButton button;
    button.setText(QStringLiteral("一键降噪"));
    button.setToolTip(QStringLiteral("tip"));
    button.setProperty("text1", "a");
    button.setProperty("text2", "b");
    button.setProperty("tip2", "c");
    button.setProperty("colorText", QColor(Qt::white));
    button.setProperty("colortext2", QColor(Qt::red));
    button.setChecked(true);
    EXPECT_EQ(button.text(), QStringLiteral("一键降噪"));
    EXPECT_EQ(button.toolTip(), QStringLiteral("tip"));
    EXPECT_EQ(button.currentTextColor(), QColor(Qt::white));
}

}  // namespace
