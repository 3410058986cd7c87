#include <gtest/gtest.h>

#include <functional>

#include "CardModel.h"
#include "TestFrames.h"

using namespace lw52;
using namespace lw52::emu;
using namespace lw52::emu::test;

namespace {

std::vector<ParamEntry> DecodeEntries(const Frame& frame, int at, int count) {
    std::vector<ParamEntry> entries;
    for (int i = 0; i < count; ++i)
        entries.push_back(DecodeEntry(&frame[static_cast<size_t>(at + 3 * i)]));
    return entries;
}

}  // namespace

TEST(CardModelTest, EveryKnownRequestGetsOneStampedReplyWithCodePlusOne) {
    const uint8_t commands[] = {CMD_CONNECT,           CMD_GET_DEVICE_INFO,    CMD_SET_PARAMS,
                                CMD_SET_EFFECT_PARAMS, CMD_EFFECT_FILE_HEADER, CMD_EFFECT_BLOCK_04,
                                CMD_EFFECT_BLOCK_06,   CMD_EFFECT_BLOCK_16,    CMD_SOUND_BEGIN,
                                CMD_SOUND_DATA};
    for (int n : {64, 40}) {
        for (uint8_t command : commands) {
            SCOPED_TRACE(testing::Message() << "N=" << n << " cmd=0x" << std::hex << +command);
            CCardModel model(CardConfig{n});
            std::vector<Frame> replies;
            const Frame request = Request(n, {{0, command}, {2, 7}});
            EXPECT_EQ(model.HandleHostReport(request.data(), n, replies),
                      HostFrameResult::kReplied);
            ASSERT_EQ(replies.size(), 1u);
            const Frame& reply = replies[0];
            ASSERT_EQ(reply.size(), static_cast<size_t>(n));
            EXPECT_EQ(reply[0], command + 1);
            EXPECT_EQ(reply[2], 7) << "the frame index comes back";
            EXPECT_EQ(reply[3], kFlagReplyOk);
            EXPECT_TRUE(ChecksumMatches(reply.data(), n));
            EXPECT_EQ(model.Counters().byCommand.at(command), 1u);
        }
    }
}

TEST(CardModelTest, FramesTheCardDoesNotAnswer) {
    Frame badChecksum = Request(64, {{0, CMD_GET_DEVICE_INFO}});
    badChecksum[63] ^= 1;
    const Frame unknown = Request(64, {{0, 0x42}});
    const Frame ack = Request(64, {{0, ACK_DEVICE_CHANGE}, {3, 0xFF}});
    struct Case {
        const char* what;
        Frame frame;
        int length;
        HostFrameResult result;
        uint64_t CardCounters::*counter;
    } cases[] = {
        {"bad checksum", badChecksum, 64, HostFrameResult::kBadChecksum,
         &CardCounters::badChecksum},
        {"unknown command", unknown, 64, HostFrameResult::kUnknownCommand, &CardCounters::unknown},
        {"short report", unknown, 40, HostFrameResult::kBadLength, &CardCounters::badLength},
        {"acknowledgement", ack, 64, HostFrameResult::kAckTaken, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCardModel model;
        std::vector<Frame> replies;
        EXPECT_EQ(model.HandleHostReport(c.frame.data(), c.length, replies), c.result);
        EXPECT_TRUE(replies.empty());
        const CardCounters counters = model.Counters();
        EXPECT_EQ(counters.hostFrames, 1u);
        EXPECT_EQ(counters.replies, 0u);
        if (c.counter) {
            EXPECT_EQ(counters.*c.counter, 1u);
        }
    }
    CCardModel model;
    Send(model, unknown);
    EXPECT_EQ(model.Counters().lastUnknownCommand, 0x42);
}

TEST(CardModelTest, ConnectReportsTheMixerStateWithTheEffectNumberLastAsFarAsItFits) {
    const std::vector<uint8_t> order = {0, 1, 2, 3, 5, 6, 7, 8, 10, 11, 12, 25, 4};
    struct Case {
        int n;
        size_t entries;
    } cases[] = {{64, 13}, {40, 11}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        CCardModel model(CardConfig{c.n});
        Frame set = Request(c.n, {{0, CMD_SET_PARAMS}, {4, 3}});
        PutEntries(set, 5, {{0, 0x123}, {4, 0x42}, {25, 0xFFF}});
        Restamp(set);
        Send(model, set);

        const std::vector<Frame> replies = Send(model, Request(c.n, {{0, CMD_CONNECT}, {4, 1}}));
        ASSERT_EQ(replies.size(), 1u);
        const Frame& reply = replies[0];
        EXPECT_EQ(reply[4], 1);
        ASSERT_EQ(reply[5], c.entries);
        const ParamSet live = model.LiveParams();
        const std::vector<ParamEntry> entries = DecodeEntries(reply, 6, reply[5]);
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].id, order[i]);
            EXPECT_EQ(entries[i].value, live[order[i]]);
            EXPECT_EQ(reply[6 + 3 * i + 1] >> 4, 1) << "entry marker nibble";
        }
        EXPECT_EQ(live[0], 0x123);
        for (size_t b = 6 + 3 * entries.size(); b < static_cast<size_t>(c.n - 1); ++b)
            EXPECT_EQ(reply[b], 0) << "byte " << b;
        EXPECT_TRUE(model.HostConnected());
        Send(model, Request(c.n, {{0, CMD_CONNECT}, {4, 0}}));
        EXPECT_FALSE(model.HostConnected());
    }
}

TEST(CardModelTest, DeviceInfoCarriesTheConfiguredVersionsAndType) {
    struct Case {
        CardConfig config;
        uint8_t hw, fw, type;
    } cases[] = {{CardConfig{}, 10, 12, 1}, {CardConfig{40, kProductId7B, 12, 105, 5}, 12, 105, 5}};
    for (const Case& c : cases) {
        CCardModel model(c.config);
        const int n = c.config.packetSize;
        const std::vector<Frame> replies =
            Send(model, Request(n, {{0, CMD_GET_DEVICE_INFO}, {9, 0xAA}}));
        ASSERT_EQ(replies.size(), 1u);
        Frame expected(static_cast<size_t>(n), 0);
        expected[0] = 0x93;
        expected[3] = 0xFF;
        expected[4] = c.hw;
        expected[6] = c.fw;
        expected[14] = c.type;
        Restamp(expected);
        EXPECT_EQ(replies[0], expected);
    }
}

TEST(CardModelTest, SetParamsAppliesEntriesIgnoringTheMarkerNibbleAndUnknownIds) {
    CCardModel model;
    const ParamSet before = model.LiveParams();
    Frame set = Request(64, {{0, CMD_SET_PARAMS}, {4, 3}, {62, 1}});
    PutEntries(set, 5, {{0, 0x9AB}, {43, 7}, {50, 9}});
    set[6] = 0xF9;  // marker nibble F instead of 1: still value 0x9AB
    Restamp(set);
    Send(model, set);
    ParamSet expected = before;
    expected[0] = 0x9AB;
    expected[43] = 7;
    EXPECT_EQ(model.LiveParams(), expected);
}

TEST(CardModelTest, SetParamsNeverReadsEntriesFromTheLastFrameMarkerOrChecksum) {
    struct Case {
        int n;
        int fit;
    } cases[] = {{64, 19}, {40, 11}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        CCardModel model(CardConfig{c.n});
        Frame set = Request(c.n, {{0, CMD_SET_PARAMS}, {4, c.fit + 1}});
        std::vector<ParamEntry> entries;
        for (int i = 0; i < c.fit; ++i)
            entries.push_back({static_cast<uint8_t>(i), static_cast<uint16_t>(1000 + i)});
        PutEntries(set, 5, entries);
        // Whatever follows the last whole entry must not become an entry: at N=64 byte 62
        // is the last-frame marker (1, which would read as id 1).
        if (c.n == 64) set[62] = 1;
        Restamp(set);
        Send(model, set);
        const ParamSet live = model.LiveParams();
        for (int i = 0; i < c.fit; ++i) EXPECT_EQ(live[static_cast<size_t>(i)], 1000 + i) << i;
    }
}

TEST(CardModelTest, SetEffectParamsSelectsLoadsOrStores) {
    const ParamSet start = BuiltinEffect(0);
    // Loading copies the effect's own parameters only; the rest of the live set stays.
    auto loaded = [&](const ParamSet& from, uint16_t effectValue) {
        ParamSet expected = start;
        for (uint8_t id : EffectParamIds()) expected[id] = from[id];
        expected[4] = effectValue;
        return expected;
    };
    ParamSet slot2Edited = BuiltinEffect(10);
    slot2Edited[4] = 10;
    slot2Edited[15] = 200;
    ParamSet explicitEntries = start;
    explicitEntries[4] = 3;
    explicitEntries[31] = 77;
    ParamSet fileEffect = start;
    fileEffect[4] = 150;

    struct Case {
        const char* what;
        int target;
        std::vector<ParamEntry> entries;
        ParamSet live;
        ParamSet slot2;
    } cases[] = {
        {"built-in 2", 0, {{4, 2}}, loaded(BuiltinEffect(2), 2), BuiltinEffect(10)},
        {"modified built-in 2", 0, {{4, 0x42}}, loaded(BuiltinEffect(2), 0x42), BuiltinEffect(10)},
        {"custom slot 2", 0, {{4, 10}}, loaded(BuiltinEffect(10), 10), BuiltinEffect(10)},
        {"file effect", 0, {{4, 150}}, fileEffect, BuiltinEffect(10)},
        {"entries without load", 0, {{4, 3}, {31, 77}}, explicitEntries, BuiltinEffect(10)},
        {"store in slot 2", 2, {{4, 10}, {15, 200}}, start, slot2Edited},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCardModel model;
        Frame frame = Request(
            64,
            {{0, CMD_SET_EFFECT_PARAMS}, {4, c.target}, {5, static_cast<int>(c.entries.size())}});
        PutEntries(frame, 6, c.entries);
        Restamp(frame);
        ASSERT_EQ(Send(model, frame).size(), 1u);
        EXPECT_EQ(model.LiveParams(), c.live);
        EXPECT_EQ(model.CustomSlot(2), c.slot2);
    }
}

TEST(CardModelTest, AStoredCustomSlotIsWhatItsEffectLoads) {
    CCardModel model;
    Frame store = Request(64, {{0, CMD_SET_EFFECT_PARAMS}, {4, 1}, {5, 3}});
    PutEntries(store, 6, {{4, 9}, {15, 200}, {42, 99}});
    Restamp(store);
    Send(model, store);
    Frame select = Request(64, {{0, CMD_SET_EFFECT_PARAMS}, {4, 0}, {5, 1}});
    PutEntries(select, 6, {{4, 0x49}});
    Restamp(select);
    Send(model, select);
    const ParamSet live = model.LiveParams();
    EXPECT_EQ(live[15], 200);
    EXPECT_EQ(live[42], 99);
    EXPECT_EQ(live[4], 0x49);
}

TEST(CardModelTest, DeviceChangeFrameAndTheHostsAcknowledgement) {
    CCardModel model;
    Frame change;
    ASSERT_TRUE(model.MakeDeviceChange({{36, 55}, {0, 0x123}}, change));
    ASSERT_EQ(change.size(), 64u);
    EXPECT_EQ(change[0], MSG_DEVICE_CHANGE);
    EXPECT_EQ(change[3], 0);
    EXPECT_EQ(change[4], 2);
    EXPECT_EQ((std::vector<uint8_t>(change.begin() + 5, change.begin() + 11)),
              (std::vector<uint8_t>{36, 0x10, 55, 0, 0x11, 0x23}));
    EXPECT_TRUE(ChecksumMatches(change.data(), 64));
    EXPECT_EQ(model.LiveParams()[36], 55);
    EXPECT_EQ(model.LiveParams()[0], 0x123);

    auto ackOf = [&](const Frame& sent, uint8_t status) {
        Frame ack = sent;
        ack[0] = ACK_DEVICE_CHANGE;
        ack[3] = status;
        Restamp(ack);
        return ack;
    };
    Frame badChecksum = ackOf(change, 0xFF);
    badChecksum[63] ^= 0x40;
    Frame notACopy = ackOf(change, 0xFF);
    notACopy[7] = 56;
    Restamp(notACopy);
    Frame stray = ackOf(change, 0xFF);
    stray[2] = 99;
    Restamp(stray);
    struct Case {
        const char* what;
        Frame ack;
        bool acked, checksumOk, copies;
        int status, strays;
    } cases[] = {
        {"valid", ackOf(change, 0xFF), true, true, true, 0xFF, 0},
        {"status bad checksum", ackOf(change, 0x03), true, true, true, 0x03, 0},
        {"ack with a bad checksum", badChecksum, true, false, true, 0xFF, 0},
        {"ack not a copy", notACopy, true, true, false, 0xFF, 0},
        {"ack for nothing sent", stray, false, true, false, 0xFF, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCardModel card;
        Frame sent;
        ASSERT_TRUE(card.MakeDeviceChange({{36, 55}, {0, 0x123}}, sent));
        std::vector<Frame> replies;
        EXPECT_EQ(card.HandleHostReport(c.ack.data(), 64, replies), HostFrameResult::kAckTaken);
        EXPECT_TRUE(replies.empty()) << "the card never answers an acknowledgement";
        const DeviceChangeLog log = card.DeviceChanges();
        EXPECT_EQ(log.sent, 1);
        EXPECT_EQ(log.acks, 1);
        EXPECT_EQ(log.lastAckStatus, c.status);
        EXPECT_EQ(log.lastAckChecksumOk, c.checksumOk);
        EXPECT_EQ(log.strayAcks, c.strays);
        ASSERT_EQ(log.recent.size(), 1u);
        EXPECT_EQ(log.recent[0].acked, c.acked);
        if (c.acked) {
            EXPECT_EQ(log.recent[0].ackStatus, c.status);
            EXPECT_EQ(log.recent[0].ackChecksumOk, c.checksumOk);
            EXPECT_EQ(log.recent[0].ackCopiesFrame, c.copies);
        }
    }
}

TEST(CardModelTest, DeviceChangeRejectsWhatDoesNotFitOneFrame) {
    auto entries = [](size_t count) { return std::vector<ParamEntry>(count, ParamEntry{1, 5}); };
    struct Case {
        int n;
        std::vector<ParamEntry> entries;
        bool ok;
    } cases[] = {
        {64, entries(19), true},     {64, entries(20), false}, {40, entries(11), true},
        {40, entries(12), false},    {64, {}, false},          {64, {{44, 1}}, false},
        {64, {{43, 0x1000}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.n << " " << c.entries.size());
        CCardModel model(CardConfig{c.n});
        Frame frame;
        EXPECT_EQ(model.MakeDeviceChange(c.entries, frame), c.ok);
        EXPECT_EQ(model.DeviceChanges().sent, c.ok ? 1 : 0);
        if (c.ok) {
            EXPECT_TRUE(ChecksumMatches(frame.data(), c.n));
        }
    }
    CCardModel model;
    Frame first, second;
    model.MakeDeviceChange({{1, 1}}, first);
    model.MakeDeviceChange({{1, 2}}, second);
    EXPECT_NE(first[2], second[2]) << "each 0x9E has its own frame index";
}

TEST(CardModelTest, LevelFrameIsClampedUnflaggedAndStamped) {
    CCardModel model(CardConfig{40});
    const Frame levels = model.MakeLevels(12, -3);
    ASSERT_EQ(levels.size(), 40u);
    EXPECT_EQ(levels[0], MSG_LEVELS);
    EXPECT_EQ(levels[3], 0);
    EXPECT_EQ(levels[4], 9);
    EXPECT_EQ(levels[5], 0);
    EXPECT_TRUE(ChecksumMatches(levels.data(), 40));
}

TEST(CardModelTest, StateJsonShowsWhatHappened) {
    CCardModel model;
    Send(model, Request(64, {{0, CMD_CONNECT}, {4, 1}}));
    Frame header = Request(64, {{0, CMD_EFFECT_FILE_HEADER}, {5, 9}});  // target 9: refused
    Send(model, header);
    Frame change;
    model.MakeDeviceChange({{0, 5}}, change);
    const std::string json = model.StateJson();
    for (const char* part :
         {"\"hostConnected\":true", "\"params\":[5,6,6,70,", "\"lastAckStatus\":-1", "\"0x90\":1",
          "\"status\":\"failed\"", "\"error\":\"target 9 out of range\"", "\"packet\":64"})
        EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
    int depth = 0;
    for (char ch : json) {
        depth += (ch == '{' || ch == '[') - (ch == '}' || ch == ']');
        ASSERT_GE(depth, 0);
    }
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(json.find('\n'), std::string::npos) << "one line";
}
