#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "EffectFile.h"
#include "EffectFileMaker.h"

// The bytes the card must end up with for each block, worked out from the file on their
// own rather than with the frame builder's code.
namespace lw52::test {

inline EffectFile ParsedFile(const EffectFileRecipe& recipe) {
    const std::vector<uint8_t> bytes = MakeEffectFileBytes(recipe);
    EffectFile file;
    std::string reason;
    EXPECT_TRUE(ParseEffectFile(bytes.data(), bytes.size(), file, reason)) << reason;
    return file;
}

// Blocks 0x04 and 0x06: the first `limit` 8-byte entries in the card's byte order.
inline std::vector<uint8_t> Expected8(const std::vector<uint8_t>& block, bool block04,
                                      size_t limit) {
    static constexpr int kOrder04[8] = {0, 1, 2, 7, 5, 6, 3, 4};
    static constexpr int kOrder06[8] = {0, 1, -1, -1, 4, 5, 6, 7};  // -1: zero
    std::vector<uint8_t> out;
    for (size_t e = 0; e < block.size() / 8 && e < limit; ++e)
        for (int i : block04 ? kOrder04 : kOrder06)
            out.push_back(i < 0 ? 0 : block[8 * e + static_cast<size_t>(i)]);
    return out;
}

// Block 0x16: entries whose words 1..5 are all non-zero, unchanged.
inline std::vector<uint8_t> Expected16(const std::vector<uint8_t>& block) {
    std::vector<uint8_t> out;
    for (size_t e = 0; e + 24 <= block.size(); e += 24) {
        bool sent = true;
        for (size_t word = 1; word <= 5; ++word)
            sent = sent && (block[e + 4 * word] | block[e + 4 * word + 1] |
                            block[e + 4 * word + 2] | block[e + 4 * word + 3]) != 0;
        if (sent)
            out.insert(out.end(), block.begin() + static_cast<long>(e),
                       block.begin() + static_cast<long>(e + 24));
    }
    return out;
}

}  // namespace lw52::test
