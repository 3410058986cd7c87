#pragma once

#include <array>
#include <vector>

#include "Records.h"

// The effects and presets compiled into the program.
namespace lw52 {

constexpr int kBuiltinEffectCount = 12;  // 0..8 built-in, 9..11 the card's custom slots
constexpr int kFirstCardSlotEffect = 9;

// Built-in effect index (0..11) as compiled: values, name; slot/empty/isFileEffect 0.
EffectRecord BuiltinEffect(int index);

// Built-in presets of groups 0..3 (group 4 has none), in list order.
const std::vector<PresetRecord>& BuiltinPresets(int group);
// How many presets of a group are built in (lists 1..3 continue with 4 user slots).
int BuiltinPresetCount(int group);
constexpr int kUserPresetSlots = 4;

}  // namespace lw52
