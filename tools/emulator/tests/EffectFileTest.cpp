#include <gtest/gtest.h>

#include <functional>

#include "CardModel.h"
#include "EffectFileAssembler.h"
#include "TestFrames.h"

using namespace lw52;
using namespace lw52::emu;
using namespace lw52::emu::test;

namespace {

struct Blocks {
    std::vector<uint8_t> b04, b06, b16;
};

// Splits a block into data frames of `perFrame` bytes; unused bytes of the last frame are
// junk, which the card must cut off using the header's byte count.
std::vector<Frame> BlockFrames(int n, uint8_t code, const std::vector<uint8_t>& bytes,
                               int perFrame) {
    std::vector<Frame> frames;
    for (size_t at = 0, index = 0; at < bytes.size();
         at += static_cast<size_t>(perFrame), ++index) {
        Frame frame(static_cast<size_t>(n), 0xEE);
        frame[0] = code;
        frame[1] = static_cast<uint8_t>(index >> 8);
        frame[2] = static_cast<uint8_t>(index);
        frame[3] = 0;
        const size_t take = std::min(bytes.size() - at, static_cast<size_t>(perFrame));
        std::copy_n(bytes.begin() + static_cast<long>(at), take, frame.begin() + 4);
        Restamp(frame);
        frames.push_back(frame);
    }
    return frames;
}

Frame Header(int n, int target, int frames04, int size04, int frames06, int size06, int frames16,
             int size16) {
    return Request(n, {{0, CMD_EFFECT_FILE_HEADER},
                       {4, target >> 8},
                       {5, target},
                       {6, frames04 >> 8},
                       {7, frames04},
                       {8, size04 >> 16},
                       {9, size04 >> 8},
                       {10, size04},
                       {11, frames06 >> 8},
                       {12, frames06},
                       {13, size06 >> 8},
                       {14, size06},
                       {17, frames16 >> 8},
                       {18, frames16},
                       {19, size16 >> 8},
                       {20, size16}});
}

// The whole upload: header, then the frames of 0x04, 0x06 and 0x16.
std::vector<Frame> UploadFrames(int n, int target, const Blocks& b, int per8, int per24) {
    auto count = [](size_t bytes, int per) {
        return static_cast<int>((bytes + static_cast<size_t>(per) - 1) / static_cast<size_t>(per));
    };
    std::vector<Frame> frames = {Header(n, target, count(b.b04.size(), per8),
                                        static_cast<int>(b.b04.size()), count(b.b06.size(), per8),
                                        static_cast<int>(b.b06.size()), count(b.b16.size(), per24),
                                        static_cast<int>(b.b16.size()))};
    for (auto [code, bytes, per] : {std::tuple{CMD_EFFECT_BLOCK_04, &b.b04, per8},
                                    std::tuple{CMD_EFFECT_BLOCK_06, &b.b06, per8},
                                    std::tuple{CMD_EFFECT_BLOCK_16, &b.b16, per24}}) {
        const std::vector<Frame> data = BlockFrames(n, code, *bytes, per);
        frames.insert(frames.end(), data.begin(), data.end());
    }
    return frames;
}

Blocks SampleBlocks() {
    // 0x04 is over 64 KiB so its 24-bit size matters; 0x04 and 0x06 end mid-frame.
    return {Pattern(70001, 1), Pattern(8 * 9, 2), Pattern(24 * 5, 3)};
}

}  // namespace

TEST(EffectFileTest, ReassemblesEveryBlockByteForByte) {
    struct Case {
        int n;
        int per8;   // bytes a 0x04/0x06 frame carries: whole 8-byte entries
        int per24;  // bytes a 0x16 frame carries: whole 24-byte entries
    } cases[] = {{64, 56, 48}, {40, 32, 24}};
    const Blocks blocks = SampleBlocks();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        CCardModel model(CardConfig{c.n});
        for (const Frame& frame : UploadFrames(c.n, 2, blocks, c.per8, c.per24)) {
            const std::vector<Frame> replies = Send(model, frame);
            ASSERT_EQ(replies.size(), 1u);
            ASSERT_EQ(replies[0][0], frame[0] + 1);
            ASSERT_EQ(replies[0][3], kFlagReplyOk);
        }
        const EffectFileUpload upload = model.LastEffectFile();
        EXPECT_EQ(upload.status, EffectFileUpload::kOk) << upload.error;
        EXPECT_EQ(upload.target, 2);
        EXPECT_EQ(upload.blocks[0].bytes, blocks.b04);
        EXPECT_EQ(upload.blocks[1].bytes, blocks.b06);
        EXPECT_EQ(upload.blocks[2].bytes, blocks.b16);
        char hash[16];
        snprintf(hash, sizeof hash, "0x%08X", BlockHash(blocks.b16));
        EXPECT_NE(model.StateJson().find(hash), std::string::npos);
        EXPECT_EQ(model.LiveParams(), BuiltinEffect(0)) << "an upload does not touch the live set";
    }
}

TEST(EffectFileTest, DetectsUploadsThatDoNotAddUp) {
    const Blocks blocks = SampleBlocks();
    using Frames = std::vector<Frame>;
    // Frame positions in the upload: [0] header, 0x04 frames 1..1251, 0x06 frames 1252..1253,
    // 0x16 frames 1254..1256.
    struct Case {
        const char* what;
        std::function<void(Frames&)> spoil;
        const char* error;
    } cases[] = {
        {"frame count disagrees with byte count",
         [&](Frames& f) { f[0] = Header(64, 0, 1252, 70001, 2, 72, 3, 120); },
         "block 0x04: header announces 1252 frames for 70001 bytes, 1251 needed"},
        {"a frame missing", [](Frames& f) { f.erase(f.begin() + 1252); },
         "block 0x06: frame index 1, expected 0"},
        {"a frame too many",
         [](Frames& f) {
             Frame extra = f.back();
             extra[2] = 3;
             Restamp(extra);
             f.push_back(extra);
         },
         "block 0x16: frame 3 beyond the 3 announced"},
        {"no header", [](Frames& f) { f.erase(f.begin()); }, "block 0x04 frame 0 without a header"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Frames frames = UploadFrames(64, 0, blocks, 56, 48);
        ASSERT_EQ(frames.size(), 1257u);
        c.spoil(frames);
        CCardModel model;
        for (const Frame& frame : frames) ASSERT_EQ(Send(model, frame).size(), 1u);
        const EffectFileUpload upload = model.LastEffectFile();
        EXPECT_EQ(upload.status, EffectFileUpload::kFailed);
        EXPECT_EQ(upload.error, c.error);
    }
}

TEST(EffectFileTest, AnUploadAbandonedForANewOneCountsAsFailed) {
    const Blocks blocks{Pattern(100, 4), Pattern(16, 5), Pattern(24, 6)};
    const std::vector<Frame> upload = UploadFrames(64, 1, blocks, 56, 48);
    CCardModel model;
    Send(model, upload[0]);
    Send(model, upload[1]);
    EXPECT_EQ(model.LastEffectFile().status, EffectFileUpload::kReceiving);
    for (const Frame& frame : upload) Send(model, frame);
    const CardState state = model.Snapshot();
    EXPECT_EQ(state.effectFile.status, EffectFileUpload::kOk) << state.effectFile.error;
    EXPECT_EQ(state.effectFilesOk, 1);
    EXPECT_EQ(state.effectFilesFailed, 1);
    EXPECT_EQ(state.effectFile.blocks[0].bytes, blocks.b04);
}
