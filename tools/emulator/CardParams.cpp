#include "CardParams.h"

namespace lw52::emu {
namespace {

constexpr ParamSet kEffect0 = {6,   6,   6,   70,  0,   0,   0,   0,   0,   0,   0,
                               0,   0,   100, 100, 142, 120, 120, 135, 120, 100, 120,
                               120, 120, 120, 0,   57,  0,   153, 0,   100, 125, 0,
                               1,   0,   0,   60,  21,  10,  70,  58,  16,  72,  58};

// Each built-in effect is effect 0 with these values changed, as id, value pairs.
using Diff = std::vector<uint16_t>;
const std::array<Diff, kBuiltinEffectCount>& EffectDiffs() {
    static const std::array<Diff, kBuiltinEffectCount> diffs = {{
        {},
        {4, 1, 35, 1, 36, 55, 37, 7, 38, 20, 40, 62, 42, 46},
        {4,  2, 13, 180, 14, 130, 15, 120, 16, 170, 19, 57, 20, 71, 21, 62,
         35, 1, 36, 70,  37, 31,  38, 30,  39, 40,  40, 80, 41, 12, 42, 18},
        {4, 3, 29, 1, 31, 210},
        {4, 4, 13, 95, 29, 1, 31, 50},
        {4, 5, 15, 120, 18, 120, 19, 130, 20, 159, 21, 188, 22, 177, 23, 110},
        {4, 6, 29, 1, 31, 250},
        {4, 7, 14, 125, 32, 1, 34, 5, 35, 1, 36, 55, 37, 0, 38, 49, 39, 83, 40, 64, 41, 18, 42, 5},
        {2, 70, 4, 8, 35, 1},
        {4, 9,  13, 95, 14, 130, 15, 120, 18, 103, 20, 120, 21, 155, 35,
         1, 36, 75, 37, 0,  38,  20, 39,  67, 40,  54, 41,  22, 42,  130},
        {4, 10, 14, 140, 15, 136, 35, 1, 36, 55, 37, 0, 38, 20, 39, 79, 40, 63, 41, 17, 42, 50},
        {4,  11, 13, 50, 14, 110, 15, 98, 16, 158, 17, 127, 18, 120, 20, 120, 21,
         80, 35, 1,  36, 65, 37,  3,  38, 20, 39,  88, 40,  73, 41,  17, 42,  5},
    }};
    return diffs;
}

std::array<ParamSet, kBuiltinEffectCount> BuildEffects() {
    std::array<ParamSet, kBuiltinEffectCount> effects{};
    for (int i = 0; i < kBuiltinEffectCount; ++i) {
        effects[static_cast<size_t>(i)] = kEffect0;
        const Diff& diff = EffectDiffs()[static_cast<size_t>(i)];
        for (size_t k = 0; k + 1 < diff.size(); k += 2)
            effects[static_cast<size_t>(i)][diff[k]] = diff[k + 1];
    }
    return effects;
}

}  // namespace

const std::vector<uint8_t>& EffectParamIds() {
    static const std::vector<uint8_t> ids = {4,  15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
                                             29, 30, 31, 33, 34, 35, 36, 38, 41, 42};
    return ids;
}

const std::vector<uint8_t>& ConnectReportIds() {
    static const std::vector<uint8_t> ids = {0, 1, 2, 3, 5, 6, 7, 8, 10, 11, 12, 25, 4};
    return ids;
}

const ParamSet& BuiltinEffect(int effect) {
    static const std::array<ParamSet, kBuiltinEffectCount> effects = BuildEffects();
    if (effect < 0 || effect >= kBuiltinEffectCount) return effects[0];
    return effects[static_cast<size_t>(effect)];
}

void EncodeEntry(const ParamEntry& entry, uint8_t* out) {
    out[0] = entry.id;
    out[1] = static_cast<uint8_t>(0x10 | ((entry.value >> 8) & 0x0F));
    out[2] = static_cast<uint8_t>(entry.value & 0xFF);
}

ParamEntry DecodeEntry(const uint8_t* in) {
    return {in[0], static_cast<uint16_t>(((in[1] & 0x0F) << 8) | in[2])};
}

}  // namespace lw52::emu
