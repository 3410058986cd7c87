#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <numeric>
#include <tuple>

#include "EffectFileFrames.h"
#include "EffectFileTestSupport.h"

using namespace lw52;
using lw52::test::Expected16;
using lw52::test::Expected8;
using lw52::test::ParsedFile;

namespace {

int Be16(const Frame64& frame, size_t at) {
    return frame[at] << 8 | frame[at + 1];
}

EffectFileRecipe Blocks(int n04, int n06, int n16) {
    EffectFileRecipe recipe;
    recipe.entries04 = n04;
    recipe.entries06 = n06;
    recipe.entries16 = n16;
    return recipe;
}

// The data frames of one block: consecutive, numbered from 0.
std::vector<Frame64> BlockFrames(const std::vector<Frame64>& frames, uint8_t code) {
    std::vector<Frame64> block;
    for (const Frame64& frame : frames)
        if (frame[0] == code) block.push_back(frame);
    for (size_t i = 0; i < block.size(); ++i) {
        EXPECT_EQ(Be16(block[i], 1), static_cast<int>(i)) << "block 0x" << std::hex << +code;
        EXPECT_EQ(block[i][3], 0);
    }
    return block;
}

// The entries of each frame in a row; every byte after a frame's entries must be zero.
std::vector<uint8_t> Payload(const std::vector<Frame64>& frames, const std::vector<int>& entries,
                             size_t entrySize) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(frames.size(), entries.size());
    for (size_t i = 0; i < frames.size() && i < entries.size(); ++i) {
        const size_t end = 4 + static_cast<size_t>(entries[i]) * entrySize;
        bytes.insert(bytes.end(), frames[i].begin() + 4,
                     frames[i].begin() + static_cast<long>(end));
        for (size_t at = end; at < frames[i].size(); ++at)
            if (frames[i][at] != 0) {
                ADD_FAILURE() << "frame " << i << " has data at byte " << at;
                break;
            }
    }
    return bytes;
}

TEST(EffectFileFrames, SplitsBlocksIntoFramesOfTheirPacketSize) {
    const struct {
        int packetSize;
        std::vector<int> entries04, entries06, entries16;  // per frame
    } cases[] = {
        {64, {7, 7, 1}, {7, 2}, {2, 2, 1}},
        {40, {4, 4, 4, 3}, {4, 4, 1}, {1, 1, 1, 1, 1}},
    };
    const EffectFile file = ParsedFile(Blocks(15, 9, 5));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "N = " << c.packetSize);
        EffectFileFrameInfo info;
        const std::vector<Frame64> frames = BuildEffectFileFrames(file, 0, c.packetSize, &info);
        const size_t count04 = c.entries04.size(), count06 = c.entries06.size(),
                     count16 = c.entries16.size();
        ASSERT_EQ(frames.size(), 1 + count04 + count06 + count16);
        EXPECT_EQ(info.TotalFrames(), static_cast<int>(frames.size()));
        EXPECT_EQ(info.frames04, static_cast<int>(count04));
        EXPECT_EQ(info.frames06, static_cast<int>(count06));
        EXPECT_EQ(info.frames16, static_cast<int>(count16));
        EXPECT_EQ(info.perFrame04, c.entries04[0]);
        EXPECT_EQ(info.perFrame16, c.entries16[0]);
        EXPECT_TRUE(info.headerMatchesData);

        // Header, then the blocks in the order 0x04, 0x06, 0x16.
        std::vector<uint8_t> codes(frames.size());
        std::transform(frames.begin(), frames.end(), codes.begin(),
                       [](const Frame64& f) { return f[0]; });
        std::vector<uint8_t> order = {0x02};
        order.insert(order.end(), count04, 0x04);
        order.insert(order.end(), count06, 0x06);
        order.insert(order.end(), count16, 0x16);
        EXPECT_EQ(codes, order);

        Frame64 header{};
        header[0] = 0x02;
        header[7] = static_cast<uint8_t>(count04);
        header[10] = 15 * 8;
        header[12] = static_cast<uint8_t>(count06);
        header[14] = 9 * 8;
        header[18] = static_cast<uint8_t>(count16);
        header[20] = 5 * 24;
        EXPECT_EQ(frames[0], header);

        EXPECT_EQ(Payload(BlockFrames(frames, 0x04), c.entries04, 8),
                  Expected8(file.block04, true, 15));
        EXPECT_EQ(Payload(BlockFrames(frames, 0x06), c.entries06, 8),
                  Expected8(file.block06, false, 9));
        EXPECT_EQ(Payload(BlockFrames(frames, 0x16), c.entries16, 24), Expected16(file.block16));
        for (const Frame64& frame : frames)
            for (size_t at = static_cast<size_t>(c.packetSize) - 1; at < frame.size(); ++at)
                ASSERT_EQ(frame[at], 0) << "byte " << at << " of a 0x" << std::hex << +frame[0];
    }
}

EffectFile HandBuilt(std::vector<uint8_t> block04, std::vector<uint8_t> block06,
                     std::vector<uint8_t> block16) {
    EffectFile file;
    file.header.bytes04 = static_cast<int32_t>(block04.size());
    file.header.bytes06 = static_cast<int32_t>(block06.size());
    file.header.bytes16 = static_cast<int32_t>(block16.size());
    file.block04 = std::move(block04);
    file.block06 = std::move(block06);
    file.block16 = std::move(block16);
    return file;
}

TEST(EffectFileFrames, SendsEntriesInTheCardsByteOrder) {
    std::vector<uint8_t> block16(24);
    std::iota(block16.begin(), block16.end(), 0x31);
    const EffectFile file = HandBuilt({0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17},
                                      {0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27}, block16);
    const std::vector<Frame64> frames = BuildEffectFileFrames(file, 0, 64);
    ASSERT_EQ(frames.size(), 4u);
    const std::vector<uint8_t> sent04(frames[1].begin() + 4, frames[1].begin() + 12);
    const std::vector<uint8_t> sent06(frames[2].begin() + 4, frames[2].begin() + 12);
    const std::vector<uint8_t> sent16(frames[3].begin() + 4, frames[3].begin() + 28);
    EXPECT_EQ(sent04, (std::vector<uint8_t>{0x10, 0x11, 0x12, 0x17, 0x15, 0x16, 0x13, 0x14}));
    EXPECT_EQ(sent06, (std::vector<uint8_t>{0x20, 0x21, 0x00, 0x00, 0x24, 0x25, 0x26, 0x27}));
    EXPECT_EQ(sent16, block16);
}

std::vector<uint8_t> Entry16(std::initializer_list<uint32_t> words) {
    std::vector<uint8_t> bytes;
    for (uint32_t word : words)
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(word >> (8 * i)));
    return bytes;
}

TEST(EffectFileFrames, LeavesOutAndUncountsBlock16EntriesWithAZeroWord) {
    const std::vector<uint8_t> kept1 = Entry16({1, 2, 3, 0x01000000, 5, 6});
    const std::vector<uint8_t> kept2 = Entry16({0, 2, 3, 4, 5, 6});  // word 0 may be zero
    const std::vector<uint8_t> kept3 = Entry16({7, 8, 9, 10, 11, 12});
    std::vector<uint8_t> block16;
    for (const auto& entry : {kept1, kept2, Entry16({1, 0, 3, 4, 5, 6}),
                              Entry16({1, 2, 0, 4, 5, 6}), Entry16({1, 2, 3, 4, 5, 0}), kept3})
        block16.insert(block16.end(), entry.begin(), entry.end());
    const EffectFile file = HandBuilt({}, {}, block16);

    EffectFileFrameInfo info;
    const std::vector<Frame64> frames = BuildEffectFileFrames(file, 0, 64, &info);
    EXPECT_EQ(info.entries16, 3);
    EXPECT_EQ(info.skipped16, 3);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(Be16(frames[0], 17), 2);
    EXPECT_EQ(Be16(frames[0], 19), 3 * 24);
    std::vector<uint8_t> sent = kept1;
    sent.insert(sent.end(), kept2.begin(), kept2.end());
    sent.insert(sent.end(), kept3.begin(), kept3.end());
    EXPECT_EQ(Payload(BlockFrames(frames, 0x16), {2, 1}, 24), sent);

    // Nothing left to send: no frames and zero counts.
    const EffectFile allSkipped = HandBuilt({}, {}, Entry16({1, 2, 0, 4, 5, 6}));
    const std::vector<Frame64> none = BuildEffectFileFrames(allSkipped, 0, 64, &info);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(Be16(none[0], 17), 0);
    EXPECT_EQ(Be16(none[0], 19), 0);
}

TEST(EffectFileFrames, SendsNoMoreThanTheBlockLimits) {
    const struct {
        int n04, n06;
        uint8_t size04[3];  // header bytes 8..10
        bool headerMatches;
    } cases[] = {
        // 4100 * 8 = 0x8020: its upper bits agree with the 0x8000 bytes sent.
        {4100, 2561, {0x00, 0x80, 0x00}, true},
        // 4200 * 8 = 0x8340: the header mixes 0x83 with the sent size's low byte.
        {4200, 2565, {0x00, 0x83, 0x00}, false},
        // 8200 * 8 = 0x010040: the top byte too comes from the file's block.
        {8200, 2560, {0x01, 0x00, 0x00}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n04);
        const EffectFile file = ParsedFile(Blocks(c.n04, c.n06, 0));
        EffectFileFrameInfo info;
        const std::vector<Frame64> frames = BuildEffectFileFrames(file, 0, 64, &info);
        EXPECT_EQ(info.entries04, 4096);
        EXPECT_EQ(info.dropped04, c.n04 - 4096);
        EXPECT_EQ(info.entries06, 2560);
        EXPECT_EQ(info.dropped06, c.n06 - 2560);
        EXPECT_EQ(info.headerMatchesData, c.headerMatches);
        ASSERT_EQ(frames.size(), 1u + 586 + 366);  // ceil(4096 / 7), ceil(2560 / 7)
        EXPECT_EQ(Be16(frames[0], 6), 586);
        EXPECT_EQ(std::vector<uint8_t>(frames[0].begin() + 8, frames[0].begin() + 11),
                  std::vector<uint8_t>(c.size04, c.size04 + 3));
        EXPECT_EQ(Be16(frames[0], 11), 366);
        EXPECT_EQ(Be16(frames[0], 13), 2560 * 8);
        std::vector<int> perFrame04(586, 7), perFrame06(366, 7);
        perFrame04.back() = 4096 - 585 * 7;
        perFrame06.back() = 2560 - 365 * 7;
        EXPECT_EQ(Payload(BlockFrames(frames, 0x04), perFrame04, 8),
                  Expected8(file.block04, true, 4096));
        EXPECT_EQ(Payload(BlockFrames(frames, 0x06), perFrame06, 8),
                  Expected8(file.block06, false, 2560));
    }
}

TEST(EffectFileFrames, HeaderCarriesTheTargetBigEndian) {
    const EffectFile file = ParsedFile(Blocks(1, 1, 1));
    for (auto [target, high, low] :
         {std::tuple{0, 0x00, 0x00}, std::tuple{2, 0x00, 0x02}, std::tuple{0x0103, 0x01, 0x03}}) {
        const std::vector<Frame64> frames =
            BuildEffectFileFrames(file, static_cast<uint16_t>(target), 64);
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames[0][4], high) << target;
        EXPECT_EQ(frames[0][5], low) << target;
    }
}

TEST(EffectFileFrames, BuildsNothingForAnInconsistentFileOrPacketSize) {
    EffectFile shortBlock = ParsedFile(Blocks(3, 3, 3));
    shortBlock.block04.pop_back();
    EXPECT_TRUE(BuildEffectFileFrames(shortBlock, 0, 64).empty());
    const EffectFile file = ParsedFile(Blocks(3, 3, 3));
    EXPECT_TRUE(BuildEffectFileFrames(file, 0, 28).empty());  // no room for a 0x16 entry
    EXPECT_TRUE(BuildEffectFileFrames(file, 0, 65).empty());
    EXPECT_FALSE(BuildEffectFileFrames(file, 0, 29).empty());
}

}  // namespace
