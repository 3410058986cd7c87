#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "Controls.h"
#include "HotkeyField.h"
#include "InputHotkeyDialog.h"
#include "QtVirtualKeys.h"
#include "VirtualKeys.h"

namespace {

using hotkey::kModAlt;
using hotkey::kModCtrl;
using hotkey::kModShift;
using hotkey::MakeValue;

class InputHotkeyDialogTest : public ::testing::Test {
  protected:
    std::unique_ptr<SInputHotKeyDlg> Open(uint32_t current, const QString& title = {}) {
        auto dialog =
            std::make_unique<SInputHotKeyDlg>(SInputHotKeyDlg::kLayoutName, current, title);
        dialog->open();
        input = FindControlAs<QLineEdit>(dialog.get(), "txt_hotkey_input");
        EXPECT_TRUE(input != nullptr);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }
    QLineEdit* input = nullptr;
};

TEST_F(InputHotkeyDialogTest, CtrlShiftF5BecomesTheHotkeyValueOnOk) {
    auto dialog = Open(MakeValue(0, vk::kNumpad0 + 1));
    EXPECT_EQ(input->text(), "Num 1");  // the current value is shown
    EXPECT_EQ(dialog->size(), QSize(320, 150));

    QTest::keyClick(input, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(input->text(), "Ctrl+Shift+F5");
    QTest::mouseClick(FindControlAs<QPushButton>(dialog.get(), "btnOK"), Qt::LeftButton);

    EXPECT_EQ(dialog->result(), 1);
    EXPECT_EQ(dialog->Hotkey(), MakeValue(kModCtrl | kModShift, vk::kF1 + 4));
    EXPECT_EQ(dialog->Hotkey(), 0x60074u);
    EXPECT_EQ(dialog->HotkeyText(), "Ctrl+Shift+F5");
}

TEST_F(InputHotkeyDialogTest, KeysWithModifiersBecomeVirtualKeyValues) {
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        uint32_t value;
        const char* text;
    };
    const Case cases[] = {
        {Qt::Key_A, Qt::ControlModifier | Qt::AltModifier, MakeValue(kModCtrl | kModAlt, 'A'),
         "Ctrl+Alt+A"},
        {Qt::Key_F1, Qt::ControlModifier, MakeValue(kModCtrl, vk::kF1), "Ctrl+F1"},
        {Qt::Key_5, Qt::ShiftModifier | Qt::KeypadModifier, MakeValue(kModShift, vk::kNumpad0 + 5),
         "Shift+Num 5"},
        {Qt::Key_Asterisk, Qt::KeypadModifier, MakeValue(0, vk::kMultiply), "Num *"},
        // Shifted symbols are their keys: Shift+1 arrives as '!'.
        {Qt::Key_Exclam, Qt::ShiftModifier, MakeValue(kModShift, '1'), "Shift+1"},
        {Qt::Key_Colon, Qt::ShiftModifier | Qt::ControlModifier,
         MakeValue(kModCtrl | kModShift, vk::kOem1), "Ctrl+Shift+;"},
        {Qt::Key_PageDown, Qt::AltModifier, MakeValue(kModAlt, vk::kNext), "Alt+PageDown"},
        {Qt::Key_Return, Qt::ControlModifier, MakeValue(kModCtrl, vk::kReturn), "Ctrl+Enter"},
        {Qt::Key_F13, Qt::NoModifier, MakeValue(0, vk::kF1 + 12), "F13"},
        {Qt::Key_Space, Qt::NoModifier, MakeValue(0, vk::kSpace), "Space"},
    };
    auto dialog = Open(0);
    EXPECT_EQ(input->text(), "无");
    for (const Case& c : cases) {
        QTest::keyClick(input, c.key, c.modifiers);
        EXPECT_EQ(dialog->Field()->Value(), c.value) << c.text;
        EXPECT_EQ(input->text(), c.text);
    }
    // A key without a code leaves the value; Backspace alone clears it.
    QTest::keyClick(input, Qt::Key_VolumeUp);
    EXPECT_EQ(dialog->Field()->Value(), MakeValue(0, vk::kSpace));
    QTest::keyClick(input, Qt::Key_Backspace);
    EXPECT_EQ(dialog->Field()->Value(), 0u);
    EXPECT_TRUE(dialog->isVisible());
}

// A hotkey holds Alt, Ctrl and Shift only. A press made with the Windows key (or AltGr) is
// refused rather than recorded without it: Win+A must not become a system-wide plain A.
TEST_F(InputHotkeyDialogTest, PressesWithWinOrAltGrAreRefused) {
    auto dialog = Open(MakeValue(kModCtrl, 'A'));
    const std::pair<Qt::Key, Qt::KeyboardModifiers> refused[] = {
        {Qt::Key_A, Qt::MetaModifier},
        {Qt::Key_A, Qt::MetaModifier | Qt::ControlModifier},
        {Qt::Key_F1, Qt::MetaModifier | Qt::ShiftModifier},
        {Qt::Key_5, Qt::MetaModifier | Qt::KeypadModifier},
        {Qt::Key_Backspace, Qt::MetaModifier},
        {Qt::Key_Q, Qt::GroupSwitchModifier},
    };
    for (const auto& [key, modifiers] : refused) {
        QTest::keyClick(input, key, modifiers);
        EXPECT_EQ(dialog->Field()->Value(), MakeValue(kModCtrl, 'A')) << key << " " << modifiers;
        EXPECT_EQ(input->text().toStdString(), "Ctrl+A") << key << " " << modifiers;
        EXPECT_EQ(qtkeys::HotkeyValueFor(QKeyEvent(QEvent::KeyPress, key, modifiers)), 0u) << key;
    }
    // Holding Win over Ctrl shows no half-made hotkey; without it the field takes keys again.
    QTest::keyPress(input, Qt::Key_Control, Qt::ControlModifier);
    QTest::keyPress(input, Qt::Key_Meta, Qt::ControlModifier | Qt::MetaModifier);
    EXPECT_EQ(input->text().toStdString(), "Ctrl+A");
    QTest::keyRelease(input, Qt::Key_Meta, Qt::ControlModifier);
    QTest::keyRelease(input, Qt::Key_Control, Qt::NoModifier);
    QTest::keyClick(input, Qt::Key_B, Qt::AltModifier);
    QTest::mouseClick(FindControlAs<QPushButton>(dialog.get(), "btnOK"), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), 1);
    EXPECT_EQ(dialog->Hotkey(), MakeValue(kModAlt, 'B'));
}

TEST_F(InputHotkeyDialogTest, HeldModifiersShowUntilReleased) {
    auto dialog = Open(MakeValue(kModCtrl, 'A'));
    QTest::keyPress(input, Qt::Key_Control, Qt::ControlModifier);
    QTest::keyPress(input, Qt::Key_Shift, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(input->text(), "Ctrl+Shift+");
    QTest::keyRelease(input, Qt::Key_Shift, Qt::ControlModifier);
    QTest::keyRelease(input, Qt::Key_Control, Qt::NoModifier);
    EXPECT_EQ(input->text(), "Ctrl+A");
    EXPECT_EQ(dialog->Field()->Value(), MakeValue(kModCtrl, 'A'));
}

TEST_F(InputHotkeyDialogTest, TitleIsReplacedOnlyWhenGiven) {
    auto plain = Open(0);
    EXPECT_EQ(FindControlAs<QLabel>(plain.get(), "txt_title")->text(), "请输入热键");
    auto titled = Open(0, "音效热键");
    EXPECT_EQ(FindControlAs<QLabel>(titled.get(), "txt_title")->text(), "音效热键");
}

TEST_F(InputHotkeyDialogTest, CancelCloseAndEscapeKeepTheOldValue) {
    for (const char* how : {"btnCancel", "btn_close", "Escape"}) {
        auto dialog = Open(MakeValue(kModCtrl, 'A'));
        QTest::keyClick(input, Qt::Key_B, Qt::ControlModifier);
        if (QString(how) == "Escape")
            QTest::keyClick(input, Qt::Key_Escape);
        else
            QTest::mouseClick(FindControlAs<QPushButton>(dialog.get(), how), Qt::LeftButton);
        EXPECT_FALSE(dialog->isVisible()) << how;
        EXPECT_NE(dialog->result(), 1) << how;
        EXPECT_EQ(dialog->HotkeyText(), "") << how;
    }
}

TEST_F(InputHotkeyDialogTest, EnterAloneConfirms) {
    auto dialog = Open(0);
    QTest::keyClick(input, Qt::Key_Z, Qt::AltModifier);
    QTest::keyClick(input, Qt::Key_Return);
    EXPECT_EQ(dialog->result(), 1);
    EXPECT_EQ(dialog->Hotkey(), MakeValue(kModAlt, 'Z'));
}

}  // namespace
