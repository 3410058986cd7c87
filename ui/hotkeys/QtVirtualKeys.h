#pragma once

#include <Qt>
#include <cstdint>

class QKeyEvent;

// Qt key events as Windows virtual-key codes and hotkey modifier bits, the numbering the
// stored hotkey values use. Shifted symbols are taken back to their key on a US layout
// (Shift+1 gives '!' in Qt and the key '1' here), keypad keys to the number-pad codes.
namespace qtkeys {

// 0 for keys without a virtual-key code and for the modifier keys themselves.
uint32_t VirtualKeyFor(int qtKey, Qt::KeyboardModifiers modifiers);
// 1 Alt, 2 Ctrl, 4 Shift.
uint32_t HotkeyModifiersFor(Qt::KeyboardModifiers modifiers);
// Modifiers a hotkey has no bit for and a grab could not tell apart: the Windows key (Meta)
// and AltGr's group switch. A press made with one is refused, never taken without it.
bool HasUnstorableModifier(Qt::KeyboardModifiers modifiers);
// The hotkey bit of a modifier key (Key_Control gives 2), 0 for other keys.
uint32_t ModifierBitOfKey(int qtKey);
// (modifiers << 16) | virtual key; 0 when the key has no code or the press holds a modifier
// a hotkey cannot.
uint32_t HotkeyValueFor(const QKeyEvent& event);

}  // namespace qtkeys
