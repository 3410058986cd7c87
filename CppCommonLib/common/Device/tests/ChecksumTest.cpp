#include <gtest/gtest.h>

#include <array>

#include "Checksum.h"

TEST(ChecksumTest, KnownVectors) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(lw52::Checksum(abc, 3), 0xB9);
    std::array<uint8_t, 64> frame{};
    frame[0] = 0x92;
    EXPECT_EQ(lw52::Checksum(frame.data(), 63), 0x6D);
    EXPECT_EQ(lw52::Checksum(nullptr, 0), 0xFF);
}

TEST(ChecksumTest, TableIsLinearOverXorAndMatchesItsBasis) {
    const uint8_t basis[8] = {0x31, 0x62, 0xC4, 0x88, 0x21, 0x73, 0xE6, 0xCC};
    EXPECT_EQ(lw52::kChecksumTable[0], 0);
    for (int bit = 0; bit < 8; ++bit) EXPECT_EQ(lw52::kChecksumTable[1 << bit], basis[bit]);
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b)
            ASSERT_EQ(lw52::kChecksumTable[a ^ b],
                      lw52::kChecksumTable[a] ^ lw52::kChecksumTable[b])
                << a << "," << b;
}

TEST(ChecksumTest, StampCoversBytesBeforeTheLastOfThePacket) {
    for (int packet : {64, 40}) {
        std::array<uint8_t, 64> frame{};
        frame[0] = 0x94;
        if (packet < 64) frame[static_cast<size_t>(packet)] = 0x55;  // beyond the packet
        lw52::StampChecksum(frame.data(), packet);
        EXPECT_EQ(frame[packet - 1], lw52::Checksum(frame.data(), static_cast<size_t>(packet - 1)));
        EXPECT_TRUE(lw52::ChecksumMatches(frame.data(), packet));
        frame[packet - 2] ^= 1;
        EXPECT_FALSE(lw52::ChecksumMatches(frame.data(), packet));
    }
}
