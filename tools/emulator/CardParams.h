#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The card's parameter set: 44 values of 12 bits, the built-in effects and the wire form of
// one parameter entry (id; 0x10 | value bits 11..8; value bits 7..0).
namespace lw52::emu {

constexpr int kParamCount = 44;
constexpr uint8_t kEffectParamId = 4;  // the effect number
constexpr int kBuiltinEffectCount = 12;
constexpr int kCustomSlotCount = 3;
constexpr int kFirstCustomEffect = 9;  // effects 9..11 play custom slots 1..3
constexpr uint16_t kValueMask = 0x0FFF;

using ParamSet = std::array<uint16_t, kParamCount>;

struct ParamEntry {
    uint8_t id = 0;
    uint16_t value = 0;
};

// The parameters an effect carries; loading an effect copies exactly these.
const std::vector<uint8_t>& EffectParamIds();
// The mixer state the connect reply reports, in order.
const std::vector<uint8_t>& ConnectReportIds();
// Built-in effect 0..11 as a full parameter set; effect 0 is the power-on state.
const ParamSet& BuiltinEffect(int effect);

void EncodeEntry(const ParamEntry& entry, uint8_t* out);
// The high nibble of the middle byte is a marker, not part of the value.
ParamEntry DecodeEntry(const uint8_t* in);

}  // namespace lw52::emu
