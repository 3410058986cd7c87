#pragma once

#include <cstdint>

// Hotkey values use the Windows virtual-key numbering, so the same configuration file serves
// both systems: value = (modifiers << 16) | virtual-key code.
namespace hotkey {

constexpr uint32_t kModAlt = 1;
constexpr uint32_t kModCtrl = 2;
constexpr uint32_t kModShift = 4;
constexpr uint32_t kModMask = kModAlt | kModCtrl | kModShift;

constexpr uint32_t MakeValue(uint32_t modifiers, uint32_t key) {
    return (modifiers << 16) | key;
}
constexpr uint32_t Modifiers(uint32_t value) {
    return value >> 16;
}
constexpr uint32_t KeyCode(uint32_t value) {
    return value & 0xFFFF;
}

}  // namespace hotkey

// Windows virtual-key codes. Digits and letters are their ASCII codes ('0'..'9', 'A'..'Z').
namespace vk {

constexpr uint32_t kBack = 0x08;
constexpr uint32_t kTab = 0x09;
constexpr uint32_t kReturn = 0x0D;
constexpr uint32_t kShift = 0x10;
constexpr uint32_t kControl = 0x11;
constexpr uint32_t kMenu = 0x12;  // Alt
constexpr uint32_t kPause = 0x13;
constexpr uint32_t kCapital = 0x14;
constexpr uint32_t kEscape = 0x1B;
constexpr uint32_t kSpace = 0x20;
constexpr uint32_t kPrior = 0x21;  // Page Up
constexpr uint32_t kNext = 0x22;   // Page Down
constexpr uint32_t kEnd = 0x23;
constexpr uint32_t kHome = 0x24;
constexpr uint32_t kLeft = 0x25;
constexpr uint32_t kUp = 0x26;
constexpr uint32_t kRight = 0x27;
constexpr uint32_t kDown = 0x28;
constexpr uint32_t kPrint = 0x2A;
constexpr uint32_t kSnapshot = 0x2C;  // Print Screen
constexpr uint32_t kInsert = 0x2D;
constexpr uint32_t kDelete = 0x2E;
constexpr uint32_t k0 = 0x30;
constexpr uint32_t k9 = 0x39;
constexpr uint32_t kA = 0x41;
constexpr uint32_t kZ = 0x5A;
constexpr uint32_t kNumpad0 = 0x60;
constexpr uint32_t kNumpad9 = 0x69;
constexpr uint32_t kMultiply = 0x6A;
constexpr uint32_t kAdd = 0x6B;
constexpr uint32_t kSeparator = 0x6C;
constexpr uint32_t kSubtract = 0x6D;
constexpr uint32_t kDecimal = 0x6E;
constexpr uint32_t kDivide = 0x6F;
constexpr uint32_t kF1 = 0x70;
constexpr uint32_t kF12 = 0x7B;
constexpr uint32_t kF24 = 0x87;
constexpr uint32_t kNumLock = 0x90;
constexpr uint32_t kScroll = 0x91;
constexpr uint32_t kOem1 = 0xBA;  // ; on a US keyboard
constexpr uint32_t kOemPlus = 0xBB;
constexpr uint32_t kOemComma = 0xBC;
constexpr uint32_t kOemMinus = 0xBD;
constexpr uint32_t kOemPeriod = 0xBE;
constexpr uint32_t kOem2 = 0xBF;  // /
constexpr uint32_t kOem3 = 0xC0;  // `
constexpr uint32_t kOem4 = 0xDB;  // [
constexpr uint32_t kOem5 = 0xDC;  // backslash
constexpr uint32_t kOem6 = 0xDD;  // ]
constexpr uint32_t kOem7 = 0xDE;  // '

constexpr bool IsModifierKey(uint32_t key) {
    return key == kShift || key == kControl || key == kMenu;
}

// The character a US keyboard gives an OEM punctuation key, 0 for any other key.
constexpr char OemChar(uint32_t key) {
    switch (key) {
        case kOem1:
            return ';';
        case kOemPlus:
            return '=';
        case kOemComma:
            return ',';
        case kOemMinus:
            return '-';
        case kOemPeriod:
            return '.';
        case kOem2:
            return '/';
        case kOem3:
            return '`';
        case kOem4:
            return '[';
        case kOem5:
            return '\\';
        case kOem6:
            return ']';
        case kOem7:
            return '\'';
        default:
            return 0;
    }
}

}  // namespace vk
