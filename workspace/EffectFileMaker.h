#pragma once

#include <cstdint>
#include <vector>

#include "EffectFile.h"

// Builds effect files for tests and demo fixtures.
namespace lw52 {

struct EffectFileRecipe {
    int entries04 = 0;  // entries per block; negative counts as 0
    int entries06 = 0;
    int entries16 = 0;
    std::vector<EffectFileParam> params;
    // Other sizes than the defaults give files ParseEffectFile refuses.
    int32_t entrySize04 = kBlockEntryBytes;
    int32_t entrySize06 = kBlockEntryBytes;
    int32_t entrySize16 = kBlock16EntryBytes;
    int32_t paramEntrySize = kMinParamEntryBytes;  // bytes beyond the first 16 are zero
    uint32_t seed = 1;                             // block contents follow from it
};

// A version-2 file: pseudo-random block contents (the same for the same recipe), 0x16
// entries with non-zero words 1..5 so that all of them are sent, then the parameters.
std::vector<uint8_t> MakeEffectFileBytes(const EffectFileRecipe& recipe);

}  // namespace lw52
