#include <gtest/gtest.h>

#include "HidReportDescriptor.h"

TEST(HidReportDescriptorTest, VendorDescriptorRoundTrips) {
    struct Case {
        int in, out;
    } cases[] = {{64, 64}, {40, 40}, {32, 32}, {64, 40}, {300, 2}};
    for (const auto& c : cases) {
        auto d = MakeVendorReportDescriptor(c.in, c.out);
        HidReportLengths lengths;
        ASSERT_TRUE(ParseHidReportDescriptor(d.data(), d.size(), lengths));
        EXPECT_EQ(lengths.inputReportLength, c.in + 1);
        EXPECT_EQ(lengths.outputReportLength, c.out + 1);
    }
}

TEST(HidReportDescriptorTest, ReportIdsPushPopAndBitFields) {
    // A keyboard-like descriptor: report 1 has 8 one-bit modifiers + 6 bytes; report 2 has
    // 3 bytes; a pushed/popped report size must not leak; outputs: 5 bits padded to a byte.
    const uint8_t d[] = {
        0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,  //
        0x85, 0x01,                          // Report ID 1
        0x75, 0x01, 0x95, 0x08, 0x81, 0x02,  // 8 x 1 bit input
        0xA4,                                // Push
        0x75, 0x08, 0x95, 0x06, 0x81, 0x00,  // 6 x 8 bit input
        0xB4,                                // Pop: size 1, count 8 again
        0x95, 0x05, 0x91, 0x02,              // 5 x 1 bit output
        0x85, 0x02,                          // Report ID 2
        0x75, 0x08, 0x95, 0x03, 0x81, 0x02,  // 3 bytes input
        0xC0,
    };
    HidReportLengths lengths;
    ASSERT_TRUE(ParseHidReportDescriptor(d, sizeof d, lengths));
    EXPECT_EQ(lengths.inputReportLength, 8);  // 7 data bytes of report 1 + id
    EXPECT_EQ(lengths.outputReportLength, 2);
}

TEST(HidReportDescriptorTest, MalformedDescriptorsAreRefused) {
    const uint8_t truncated[] = {0x06, 0x00};       // 2-byte item cut short
    const uint8_t badPop[] = {0xB4};                // pop without push
    const uint8_t longItem[] = {0xFE, 0x05, 0x00};  // long item missing its data
    HidReportLengths lengths;
    EXPECT_FALSE(ParseHidReportDescriptor(truncated, sizeof truncated, lengths));
    EXPECT_FALSE(ParseHidReportDescriptor(badPop, sizeof badPop, lengths));
    EXPECT_FALSE(ParseHidReportDescriptor(longItem, sizeof longItem, lengths));
}
