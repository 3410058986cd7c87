#include <gtest/gtest.h>

#include "ParamFrames.h"
#include "ParamTable.h"

namespace {
std::vector<lw52::ParamPair> Entries(int count, int firstId = 0) {
    std::vector<lw52::ParamPair> entries;
    for (int i = 0; i < count; ++i) entries.emplace_back(firstId + i, 0x100 + i);
    return entries;
}

// Every entry byte lies before the checksum byte and before byte 62.
void ExpectNothingPastTheEntries(const Frame64& frame, int firstEntryByte, int packet) {
    const int count = frame[static_cast<size_t>(firstEntryByte - 1)];
    const int end = firstEntryByte + 3 * count;
    EXPECT_LE(end, packet - 1);
    EXPECT_LE(end, 62);
}
}  // namespace

TEST(ParamFramesTest, EntriesPerFrameFollowThePacketSize) {
    EXPECT_EQ(lw52::MaxSetParamsEntries(64), 19);
    EXPECT_EQ(lw52::MaxSetParamsEntries(40), 11);
    EXPECT_EQ(lw52::MaxSetEffectEntries(64), 18);
    EXPECT_EQ(lw52::MaxSetEffectEntries(40), 11);
}

TEST(ParamFramesTest, MixerFramesAtBothPacketSizes) {
    struct Case {
        int packet;
        std::vector<int> counts;
    } cases[] = {{64, {19, 1}}, {40, {11, 9}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.packet);
        const auto entries = Entries(20);
        const auto frames = lw52::BuildSetParamsFrames(entries, c.packet);
        ASSERT_EQ(frames.size(), c.counts.size());
        size_t next = 0;
        for (size_t k = 0; k < frames.size(); ++k) {
            const Frame64& f = frames[k];
            EXPECT_EQ(f[0], 0x94);
            EXPECT_EQ(f[2], k);
            EXPECT_EQ(f[4], c.counts[k]);
            EXPECT_EQ(f[62], k + 1 == frames.size() ? 1 : 0);
            ExpectNothingPastTheEntries(f, 5, c.packet);
            for (int i = 0; i < f[4]; ++i, ++next) {
                const auto [id, value] = lw52::DecodeEntry(&f[static_cast<size_t>(5 + 3 * i)]);
                EXPECT_EQ(id, entries[next].first);
                EXPECT_EQ(value, entries[next].second);
                EXPECT_EQ(f[static_cast<size_t>(6 + 3 * i)] >> 4, 1) << "entry tag";
            }
        }
        EXPECT_EQ(next, entries.size()) << "every entry arrives";
    }
}

TEST(ParamFramesTest, EffectFramesLeadWithTheEffectNumberInEveryFrame) {
    struct Case {
        int packet;
        int others;
        std::vector<int> counts;  // including the leading entry
    } cases[] = {
        {64, 18, {18, 2}}, {40, 18, {11, 9}}, {64, 0, {1}}, {64, 17, {18}}, {40, 10, {11}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.packet << "/" << c.others);
        const auto others = Entries(c.others, 5);
        const auto frames = lw52::BuildSetEffectFrames(0x45, others, 3, c.packet);
        ASSERT_EQ(frames.size(), c.counts.size());
        size_t next = 0;
        for (size_t k = 0; k < frames.size(); ++k) {
            const Frame64& f = frames[k];
            EXPECT_EQ(f[0], 0x96);
            EXPECT_EQ(f[2], k);
            EXPECT_EQ(f[4], 3) << "target";
            EXPECT_EQ(f[5], c.counts[k]);
            EXPECT_EQ(lw52::DecodeEntry(&f[6]), (lw52::ParamPair{4, 0x45}));
            EXPECT_EQ(f[62], k + 1 == frames.size() ? 1 : 0);
            ExpectNothingPastTheEntries(f, 6, c.packet);
            for (int i = 1; i < f[5]; ++i, ++next)
                EXPECT_EQ(lw52::DecodeEntry(&f[static_cast<size_t>(6 + 3 * i)]), others[next]);
        }
        EXPECT_EQ(next, others.size());
    }
}

TEST(ParamFramesTest, EntryEncodingKeepsTwelveBits) {
    uint8_t entry[3];
    lw52::EncodeEntry(entry, 36, 0xABC);
    EXPECT_EQ(entry[0], 36);
    EXPECT_EQ(entry[1], 0x1A);
    EXPECT_EQ(entry[2], 0xBC);
    entry[1] = 0xFA;  // the receiver ignores the tag nibble
    EXPECT_EQ(lw52::DecodeEntry(entry), (lw52::ParamPair{36, 0xABC}));
}
