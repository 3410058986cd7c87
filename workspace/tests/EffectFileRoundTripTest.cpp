#include <gtest/gtest.h>

#include "CardModel.h"
#include "Checksum.h"
#include "EffectFileFrames.h"
#include "EffectFileTestSupport.h"

using namespace lw52;
using lw52::test::Expected16;
using lw52::test::Expected8;
using lw52::test::ParsedFile;

namespace {

// The virtual card reassembles an upload from exactly the frames the workspace sends, with
// the checksum the device manager stamps at byte N-1.
TEST(EffectFileRoundTrip, VirtualCardReassemblesTheConvertedBlocks) {
    EffectFileRecipe recipe;
    recipe.entries04 = 1100;  // > 255 frames at N = 40: both index bytes in use
    recipe.entries06 = 61;
    recipe.entries16 = 40;
    recipe.seed = 52;
    EffectFile file = ParsedFile(recipe);
    file.block16[24 * 7 + 4 * 3] = 0;  // entry 7 with word 3 zero: left out
    file.block16[24 * 7 + 4 * 3 + 1] = 0;
    file.block16[24 * 7 + 4 * 3 + 2] = 0;
    file.block16[24 * 7 + 4 * 3 + 3] = 0;

    for (auto [packetSize, target] : {std::pair{64, 0}, std::pair{40, 3}}) {
        SCOPED_TRACE(testing::Message() << "N = " << packetSize);
        emu::CardConfig config;
        config.packetSize = packetSize;
        emu::CCardModel card(config);
        EffectFileFrameInfo info;
        const std::vector<Frame64> frames =
            BuildEffectFileFrames(file, static_cast<uint16_t>(target), packetSize, &info);
        ASSERT_EQ(info.skipped16, 1);
        for (Frame64 frame : frames) {
            StampChecksum(frame.data(), packetSize);
            std::vector<emu::Frame> replies;
            ASSERT_EQ(card.HandleHostReport(frame.data(), packetSize, replies),
                      emu::HostFrameResult::kReplied);
            ASSERT_EQ(replies.size(), 1u);
            EXPECT_EQ(replies[0][0], frame[0] + 1);
        }
        const emu::EffectFileUpload upload = card.LastEffectFile();
        ASSERT_EQ(upload.status, emu::EffectFileUpload::kOk) << upload.error;
        EXPECT_EQ(upload.target, target);
        EXPECT_EQ(upload.blocks[0].bytes, Expected8(file.block04, true, 1100));
        EXPECT_EQ(upload.blocks[1].bytes, Expected8(file.block06, false, 61));
        EXPECT_EQ(upload.blocks[2].bytes, Expected16(file.block16));
        EXPECT_EQ(upload.blocks[2].bytes.size(), 39u * 24);
    }
}

}  // namespace
