#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "CardModel.h"
#include "TestFrames.h"
#include "WavWriter.h"

using namespace lw52;
using namespace lw52::emu;
using namespace lw52::emu::test;

namespace {

// 0xB0 then 0xB2 frames: C = N-8 sound bytes each (the last zero-padded), then a 24-bit
// little-endian frame counter.
std::vector<Frame> SoundFrames(int n, int slot, const std::vector<uint8_t>& pcm) {
    const size_t c = static_cast<size_t>(n - 8);
    const int frames = static_cast<int>((pcm.size() + c - 1) / c);
    const int total = static_cast<int>(pcm.size());
    std::vector<Frame> out = {Request(n, {{0, CMD_SOUND_BEGIN},
                                          {4, slot},
                                          {5, frames},
                                          {6, frames >> 8},
                                          {7, frames >> 16},
                                          {8, total},
                                          {9, total >> 8},
                                          {10, total >> 16}})};
    for (int i = 0; i < frames; ++i) {
        Frame frame(static_cast<size_t>(n), 0);
        frame[0] = CMD_SOUND_DATA;
        const size_t at = static_cast<size_t>(i) * c;
        std::copy(pcm.begin() + static_cast<long>(at),
                  pcm.begin() + static_cast<long>(std::min(pcm.size(), at + c)), frame.begin() + 4);
        frame[4 + c] = static_cast<uint8_t>(i);
        frame[5 + c] = static_cast<uint8_t>(i >> 8);
        frame[6 + c] = static_cast<uint8_t>(i >> 16);
        Restamp(frame);
        out.push_back(frame);
    }
    return out;
}

}  // namespace

TEST(SoundTest, SlotHoldsExactlyTheSentPcm) {
    const std::vector<uint8_t> pcm = Pattern(3000, 9);  // ends mid-frame at both sizes
    for (int n : {64, 40}) {
        SCOPED_TRACE(n);
        CCardModel model(CardConfig{n});
        for (const Frame& frame : SoundFrames(n, 2, pcm)) {
            const std::vector<Frame> replies = Send(model, frame);
            ASSERT_EQ(replies.size(), 1u);
            EXPECT_EQ(replies[0][0], frame[0] + 1);
            EXPECT_EQ(replies[0][3], kFlagReplyOk);
        }
        const SoundSlot slot = model.Sound(2);
        EXPECT_TRUE(slot.complete);
        EXPECT_EQ(slot.error, "");
        EXPECT_EQ(slot.pcm, pcm);
        EXPECT_FALSE(model.Sound(1).announced);
        EXPECT_FALSE(model.Sound(3).announced);
    }
}

TEST(SoundTest, RecordsFramesOutOfOrderAndAnnouncementsThatDoNotAddUp) {
    const std::vector<uint8_t> pcm = Pattern(560, 3);  // 10 frames at N=64
    std::vector<Frame> swapped = SoundFrames(64, 1, pcm);
    std::swap(swapped[2], swapped[3]);
    std::vector<Frame> miscounted = SoundFrames(64, 1, pcm);
    miscounted[0] =
        Request(64, {{0, CMD_SOUND_BEGIN}, {4, 1}, {5, 11}, {8, 560 & 0xFF}, {9, 560 >> 8}});
    std::vector<Frame> noBegin = SoundFrames(64, 1, pcm);
    noBegin.erase(noBegin.begin());
    struct Case {
        const char* what;
        std::vector<Frame> frames;
        std::string error;
        uint64_t ignored;
    } cases[] = {
        {"swapped", swapped, "frame counter 2, expected 1", 0},
        {"miscounted", miscounted, "11 frames announced, 10 needed", 0},
        {"no begin", noBegin, "", 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCardModel model;
        for (const Frame& frame : c.frames) Send(model, frame);
        EXPECT_EQ(model.Sound(1).error, c.error);
        EXPECT_EQ(model.Counters().soundDataIgnored, c.ignored);
    }
}

// A frame whose reply was lost is sent again: the card acknowledges it and keeps one copy,
// the last frame included. Going back further is a fault of the sender.
TEST(SoundTest, AFrameSentAgainIsStoredOnceButAnOlderOneIsAnError) {
    const std::vector<uint8_t> pcm = Pattern(560, 5);  // 10 frames at N=64
    const std::vector<Frame> frames = SoundFrames(64, 3, pcm);
    std::vector<Frame> repeats;
    for (size_t i = 0; i < frames.size(); ++i) {
        repeats.push_back(frames[i]);
        if (i == 4 || i + 1 == frames.size()) repeats.push_back(frames[i]);
    }
    CCardModel model;
    for (const Frame& frame : repeats) ASSERT_EQ(Send(model, frame).size(), 1u);
    SoundSlot slot = model.Sound(3);
    EXPECT_TRUE(slot.complete);
    EXPECT_EQ(slot.error, "");
    EXPECT_EQ(slot.repeatedFrames, 2);
    EXPECT_EQ(slot.pcm, pcm);

    CCardModel older;
    for (size_t i = 0; i < 4; ++i) Send(older, frames[i]);
    Send(older, frames[1]);
    slot = older.Sound(3);
    EXPECT_EQ(slot.error, "frame counter 0, expected 3");
    EXPECT_EQ(slot.receivedFrames, 3);
}

TEST(SoundTest, WavIsMono16Bit48kHzAndDropsAHalfSample) {
    const std::vector<uint8_t> expected = {
        'R',  'I',  'F', 'F', 42, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm',
        't',  ' ',  16,  0,   0,  0, 1, 0, 1,   0,  // PCM, one channel
        0x80, 0xBB, 0,   0,                         // 48000 Hz
        0x00, 0x77, 1,   0,                         // 96000 bytes/s
        2,    0,    16,  0,                         // block align 2, 16 bits
        'd',  'a',  't', 'a', 6,  0, 0, 0, 1,   2,   3,   4,   5,   6};
    EXPECT_EQ(MakeWav({1, 2, 3, 4, 5, 6, 7}), expected);

    char path[] = "/tmp/lw52-wav-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_TRUE(WriteWavFile(path, {1, 2, 3, 4, 5, 6}));
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> written((std::istreambuf_iterator<char>(file)),
                                       std::istreambuf_iterator<char>());
    EXPECT_EQ(written, expected);
    unlink(path);
    EXPECT_FALSE(WriteWavFile("/nonexistent-dir/x.wav", {1, 2}));
}
