#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "CardModel.h"
#include "TestFrames.h"

using namespace lw52;
using namespace lw52::emu;
using namespace lw52::emu::test;

namespace {

// What came back for one request: '-' nothing, 'O' a good reply, 'C' a reply whose
// checksum fails, 'W' one with a wrong command byte, 'F' a reply with a valid checksum but a
// flag other than 0xFF.
char Outcome(const std::vector<Frame>& replies) {
    if (replies.empty()) return '-';
    const Frame& reply = replies[0];
    if (!ChecksumMatches(reply.data(), static_cast<int>(reply.size()))) return 'C';
    if (reply[0] != ReplyCode(CMD_GET_DEVICE_INFO)) return 'W';
    return reply[3] == kFlagReplyOk ? 'O' : 'F';
}

}  // namespace

TEST(FaultTest, ReplyFaultsHitTheNextKReplies) {
    struct Case {
        const char* what;
        std::function<void(CCardModel&)> arm;
        const char* requests;  // 'g' a good request, 'b' one with a bad checksum
        const char* outcomes;
    } cases[] = {
        {"drop 2", [](CCardModel& m) { m.DropReplies(2); }, "gggg", "--OO"},
        {"checksum 2", [](CCardModel& m) { m.CorruptChecksums(2); }, "gggg", "CCOO"},
        {"flag 2", [](CCardModel& m) { m.BadFlags(2); }, "gggg", "FFOO"},
        {"command 1", [](CCardModel& m) { m.BadCommands(1); }, "gg", "WO"},
        {"flag and checksum together",
         [](CCardModel& m) {
             m.BadFlags(1);
             m.CorruptChecksums(1);
         },
         "gg", "CO"},
        {"a request left unanswered uses no fault", [](CCardModel& m) { m.DropReplies(1); }, "bgg",
         "--O"},
        {"cleared",
         [](CCardModel& m) {
             m.DropReplies(3);
             m.BadFlags(3);
             m.ClearFaults();
         },
         "gg", "OO"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCardModel model;
        c.arm(model);
        std::string outcomes;
        for (const char* r = c.requests; *r; ++r) {
            Frame request = Request(64, {{0, CMD_GET_DEVICE_INFO}});
            if (*r == 'b') request[63] ^= 1;
            outcomes += Outcome(Send(model, request));
        }
        EXPECT_EQ(outcomes, c.outcomes);
    }
    CCardModel model;
    model.DropReplies(2);
    for (int i = 0; i < 3; ++i) Send(model, Request(64, {{0, CMD_GET_DEVICE_INFO}}));
    EXPECT_EQ(model.Counters().repliesDropped, 2u);
    EXPECT_EQ(model.Counters().replies, 1u);
}

// Random faults by rate: about the asked share of replies is hit, a corrupted reply fails the
// host's check (checksum, command or flag), the same seed gives the same run, count faults
// still come first, and "off" gives a healthy card again.
TEST(FaultTest, RandomFaultsByRateAreRepeatableAndStop) {
    auto run = [](CCardModel& model, int requests) {
        std::string outcomes;
        for (int i = 0; i < requests; ++i) {
            const std::vector<Frame> replies = Send(model, Request(64, {{0, CMD_GET_DEVICE_INFO}}));
            if (replies.empty())
                outcomes += '-';
            else if (!ChecksumMatches(replies[0].data(), 64) ||
                     replies[0][0] != ReplyCode(CMD_GET_DEVICE_INFO) ||
                     replies[0][3] != kFlagReplyOk)
                outcomes += 'X';
            else
                outcomes += 'O';
        }
        return outcomes;
    };
    CCardModel a, b;
    for (CCardModel* m : {&a, &b}) {
        m->SeedFaults(42);
        m->SetFaultRates(30, 10);
    }
    const std::string first = run(a, 2000);
    EXPECT_EQ(first, run(b, 2000)) << "same seed, same faults";
    const auto share = [&](char c) { return std::count(first.begin(), first.end(), c) / 20.0; };
    EXPECT_NEAR(share('-'), 30, 4);
    EXPECT_NEAR(share('X'), 7, 3) << "10 % of the 70 % not dropped";
    EXPECT_EQ(a.Counters().repliesDropped + a.Counters().repliesCorrupted,
              static_cast<uint64_t>(std::count(first.begin(), first.end(), '-') +
                                    std::count(first.begin(), first.end(), 'X')));

    a.DropReplies(2);
    a.SetFaultRates(0, 100);
    EXPECT_EQ(run(a, 3), "--X") << "counted faults first, then the rate";
    a.SetFaultRates(0, 0);
    EXPECT_EQ(run(a, 50), std::string(50, 'O'));
}

TEST(FaultTest, UnplugAfterNTakesTheNthFrameWithoutAnsweringAndFiresOnce) {
    CCardModel model;
    model.UnplugAfter(3);
    Frame setVolume = Request(64, {{0, CMD_SET_PARAMS}, {4, 1}});
    PutEntries(setVolume, 5, {{0, 9}});
    Restamp(setVolume);
    Frame badChecksum = Request(64, {{0, CMD_GET_DEVICE_INFO}});
    badChecksum[63] ^= 1;
    std::string outcomes;
    // A frame with a bad checksum counts as a host frame too; the third one pulls the cable.
    for (const Frame& frame : {Request(64, {{0, CMD_GET_DEVICE_INFO}}), badChecksum}) {
        outcomes += Outcome(Send(model, frame));
        EXPECT_FALSE(model.TakeUnplugRequest());
    }
    outcomes += Outcome(Send(model, setVolume));
    EXPECT_EQ(outcomes, "O--");
    EXPECT_EQ(model.LiveParams()[0], 9) << "the card took the frame before the cable went";
    EXPECT_TRUE(model.TakeUnplugRequest());
    EXPECT_FALSE(model.TakeUnplugRequest());
    EXPECT_EQ(model.Faults().unplugAfterFrames, 0);
}
