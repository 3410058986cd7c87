#pragma once

#include <cstdint>
#include <string>

// Display text of a hotkey value: "无" for 0, else "Ctrl+", "Shift+", "Alt+" (in that order,
// as the modifiers say) followed by the key's name. Keys without a name in the table give
// only the prefixes.
std::u16string HotkeyText(uint32_t value);

// The key's name in that table ("F1", "Num 5", "PageUp", "A", ";"), empty for other keys.
std::u16string HotkeyKeyName(uint32_t key);

// The name of any key the hotkey field accepts: the table's name, else a descriptive one
// ("F13", "Num /", "Pause"), empty for unknown codes. Used where a key must stay visible.
std::u16string HotkeyKeyDisplayName(uint32_t key);
