#include "QtVirtualKeys.h"

#include <QKeyEvent>
#include <map>

#include "VirtualKeys.h"

namespace qtkeys {
namespace {
uint32_t KeypadKey(int qtKey) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return vk::kNumpad0 + static_cast<uint32_t>(qtKey - Qt::Key_0);
    switch (qtKey) {
        case Qt::Key_Asterisk:
            return vk::kMultiply;
        case Qt::Key_Plus:
            return vk::kAdd;
        case Qt::Key_Minus:
            return vk::kSubtract;
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return vk::kDecimal;
        case Qt::Key_Slash:
            return vk::kDivide;
        default:
            return 0;  // keypad navigation keys are taken as the plain keys
    }
}

const std::map<int, uint32_t>& KeyTable() {
    static const std::map<int, uint32_t> table = {
        {Qt::Key_Backspace, vk::kBack},
        {Qt::Key_Tab, vk::kTab},
        {Qt::Key_Backtab, vk::kTab},
        {Qt::Key_Return, vk::kReturn},
        {Qt::Key_Enter, vk::kReturn},
        {Qt::Key_Pause, vk::kPause},
        {Qt::Key_Escape, vk::kEscape},
        {Qt::Key_Space, vk::kSpace},
        {Qt::Key_PageUp, vk::kPrior},
        {Qt::Key_PageDown, vk::kNext},
        {Qt::Key_End, vk::kEnd},
        {Qt::Key_Home, vk::kHome},
        {Qt::Key_Left, vk::kLeft},
        {Qt::Key_Up, vk::kUp},
        {Qt::Key_Right, vk::kRight},
        {Qt::Key_Down, vk::kDown},
        {Qt::Key_Print, vk::kSnapshot},
        {Qt::Key_Insert, vk::kInsert},
        {Qt::Key_Delete, vk::kDelete},
        {Qt::Key_ScrollLock, vk::kScroll},
        // Punctuation and its shifted symbols (US layout).
        {Qt::Key_Semicolon, vk::kOem1},
        {Qt::Key_Colon, vk::kOem1},
        {Qt::Key_Equal, vk::kOemPlus},
        {Qt::Key_Plus, vk::kOemPlus},
        {Qt::Key_Comma, vk::kOemComma},
        {Qt::Key_Less, vk::kOemComma},
        {Qt::Key_Minus, vk::kOemMinus},
        {Qt::Key_Underscore, vk::kOemMinus},
        {Qt::Key_Period, vk::kOemPeriod},
        {Qt::Key_Greater, vk::kOemPeriod},
        {Qt::Key_Slash, vk::kOem2},
        {Qt::Key_Question, vk::kOem2},
        {Qt::Key_QuoteLeft, vk::kOem3},
        {Qt::Key_AsciiTilde, vk::kOem3},
        {Qt::Key_BracketLeft, vk::kOem4},
        {Qt::Key_BraceLeft, vk::kOem4},
        {Qt::Key_Backslash, vk::kOem5},
        {Qt::Key_Bar, vk::kOem5},
        {Qt::Key_BracketRight, vk::kOem6},
        {Qt::Key_BraceRight, vk::kOem6},
        {Qt::Key_Apostrophe, vk::kOem7},
        {Qt::Key_QuoteDbl, vk::kOem7},
        // Shifted digits.
        {Qt::Key_ParenRight, '0'},
        {Qt::Key_Exclam, '1'},
        {Qt::Key_At, '2'},
        {Qt::Key_NumberSign, '3'},
        {Qt::Key_Dollar, '4'},
        {Qt::Key_Percent, '5'},
        {Qt::Key_AsciiCircum, '6'},
        {Qt::Key_Ampersand, '7'},
        {Qt::Key_Asterisk, '8'},
        {Qt::Key_ParenLeft, '9'},
    };
    return table;
}
}  // namespace

uint32_t VirtualKeyFor(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::KeypadModifier)
        if (const uint32_t key = KeypadKey(qtKey)) return key;
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return static_cast<uint32_t>(qtKey);  // same codes as ASCII
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return vk::kF1 + static_cast<uint32_t>(qtKey - Qt::Key_F1);
    const auto it = KeyTable().find(qtKey);
    return it == KeyTable().end() ? 0 : it->second;
}

uint32_t HotkeyModifiersFor(Qt::KeyboardModifiers modifiers) {
    uint32_t bits = 0;
    if (modifiers & Qt::AltModifier) bits |= hotkey::kModAlt;
    if (modifiers & Qt::ControlModifier) bits |= hotkey::kModCtrl;
    if (modifiers & Qt::ShiftModifier) bits |= hotkey::kModShift;
    return bits;
}

bool HasUnstorableModifier(Qt::KeyboardModifiers modifiers) {
    return modifiers & (Qt::MetaModifier | Qt::GroupSwitchModifier);
}

uint32_t ModifierBitOfKey(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Alt:
            return hotkey::kModAlt;
        case Qt::Key_Control:
            return hotkey::kModCtrl;
        case Qt::Key_Shift:
            return hotkey::kModShift;
        default:
            return 0;
    }
}

uint32_t HotkeyValueFor(const QKeyEvent& event) {
    if (HasUnstorableModifier(event.modifiers())) return 0;
    const uint32_t key = VirtualKeyFor(event.key(), event.modifiers());
    return key == 0 ? 0 : hotkey::MakeValue(HotkeyModifiersFor(event.modifiers()), key);
}

}  // namespace qtkeys
