#include "HotkeyText.h"

#include <string_view>

#include "VirtualKeys.h"

namespace {
std::u16string Ascii(std::string_view s) {
    return std::u16string(s.begin(), s.end());
}
}  // namespace

std::u16string HotkeyKeyName(uint32_t key) {
    switch (key) {
        case vk::kReturn:
            return u"Enter";
        case vk::kEscape:
            return u"ESC";
        case vk::kSpace:
            return u"Space";
        case vk::kPrior:
            return u"PageUp";
        case vk::kNext:
            return u"PageDown";
        case vk::kEnd:
            return u"End";
        case vk::kHome:
            return u"Home";
        case vk::kLeft:
            return u"Left";
        case vk::kUp:
            return u"Up";
        case vk::kRight:
            return u"Right";
        case vk::kDown:
            return u"Down";
        case vk::kPrint:
            return u"Print";
        case vk::kInsert:
            return u"Insert";
        case vk::kDelete:
            return u"Delete";
        case vk::kMultiply:
            return u"Num *";
        case vk::kAdd:
            return u"Num +";
        case vk::kDecimal:
            return u"Num Del";
        default:
            break;
    }
    if ((key >= vk::k0 && key <= vk::k9) || (key >= vk::kA && key <= vk::kZ))
        return std::u16string(1, static_cast<char16_t>(key));
    if (key >= vk::kNumpad0 && key <= vk::kNumpad9)
        return Ascii("Num " + std::to_string(key - vk::kNumpad0));
    if (key >= vk::kF1 && key <= vk::kF12) return Ascii("F" + std::to_string(key - vk::kF1 + 1));
    if (const char c = vk::OemChar(key)) return std::u16string(1, static_cast<char16_t>(c));
    return {};
}

std::u16string HotkeyKeyDisplayName(uint32_t key) {
    std::u16string name = HotkeyKeyName(key);
    if (!name.empty()) return name;
    if (key > vk::kF12 && key <= vk::kF24) return Ascii("F" + std::to_string(key - vk::kF1 + 1));
    switch (key) {
        case vk::kBack:
            return u"Backspace";
        case vk::kTab:
            return u"Tab";
        case vk::kPause:
            return u"Pause";
        case vk::kSnapshot:
            return u"PrintScreen";
        case vk::kSeparator:
            return u"Num Sep";
        case vk::kSubtract:
            return u"Num -";
        case vk::kDivide:
            return u"Num /";
        case vk::kScroll:
            return u"ScrollLock";
        default:
            return {};
    }
}

std::u16string HotkeyText(uint32_t value) {
    if (value == 0) return u"无";
    const uint32_t modifiers = hotkey::Modifiers(value);
    std::u16string text;
    if (modifiers & hotkey::kModCtrl) text += u"Ctrl+";
    if (modifiers & hotkey::kModShift) text += u"Shift+";
    if (modifiers & hotkey::kModAlt) text += u"Alt+";
    return text + HotkeyKeyName(hotkey::KeyCode(value));
}
