#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "InProcessCardDevice.h"
#include "TestFrames.h"

using namespace lw52;
using namespace lw52::emu;
using namespace lw52::emu::test;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint32_t kForever = ICommunicateDevice::kInfinite;

bool AllZero(const uint8_t* data, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
        if (data[i] != 0) return false;
    return true;
}

}  // namespace

TEST(InProcessCardDeviceTest, RequestAndReplyAtBothPacketSizes) {
    for (int n : {64, 40}) {
        SCOPED_TRACE(n);
        CInProcessCardDevice device(n + 1, n + 1, CardConfig{n});
        ASSERT_TRUE(device.OpenDevice());
        EXPECT_EQ(device.GetMaxWriteLength(), n);
        EXPECT_EQ(device.GetMaxReadLength(), n);
        const Frame request = Request(n, {{0, CMD_GET_DEVICE_INFO}});
        ASSERT_TRUE(device.Write(request.data(), n));
        const uint8_t* reply = nullptr;
        ASSERT_TRUE(device.Read(&reply, 1000));
        EXPECT_EQ(reply[0], 0x93);
        EXPECT_EQ(reply[3], kFlagReplyOk);
        EXPECT_EQ(reply[4], 10);
        EXPECT_TRUE(ChecksumMatches(reply, n));
        EXPECT_TRUE(AllZero(reply, static_cast<size_t>(n), CInProcessCardDevice::kBufferSize));
        EXPECT_FALSE(device.Read(&reply, 0)) << "one reply per request";
    }
}

TEST(InProcessCardDeviceTest, WriteTakesOneToReportLengthMinusOneBytes) {
    struct Case {
        int reportLength;
        int length;
        bool ok;
    } cases[] = {{65, 64, true}, {65, 1, true},   {65, 65, false}, {65, 0, false},
                 {41, 40, true}, {41, 41, false}, {33, 32, true},  {33, 33, false}};
    const uint8_t data[80] = {CMD_GET_DEVICE_INFO};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.reportLength << "/" << c.length);
        CInProcessCardDevice device(c.reportLength, c.reportLength);
        ASSERT_TRUE(device.OpenDevice());
        EXPECT_EQ(device.Write(data, c.length), c.ok);
        // A short write reaches the card zero-padded to its packet: here a bad checksum.
        EXPECT_EQ(device.Model().Counters().hostFrames, c.ok ? 1u : 0u);
    }
    CInProcessCardDevice closed(65, 65);
    EXPECT_FALSE(closed.Write(data, 64));
    EXPECT_FALSE(closed.Inject(Frame(64, 0)));
}

TEST(InProcessCardDeviceTest, DelayedReplyBecomesReadableLaterWithoutBlockingWrite) {
    CInProcessCardDevice device(65, 65);
    ASSERT_TRUE(device.OpenDevice());
    constexpr auto kDelay = milliseconds(400);
    device.Model().SetReplyDelay(static_cast<int>(kDelay.count()));
    const Frame request = Request(64, {{0, CMD_GET_DEVICE_INFO}});
    const auto start = Clock::now();
    ASSERT_TRUE(device.Write(request.data(), 64));
    const uint8_t* reply = nullptr;
    const bool early = device.Read(&reply, 0);
    if (Clock::now() - start < kDelay) {
        EXPECT_FALSE(early) << "the reply is not due yet";
    }
    EXPECT_EQ(device.QueuedFrames(), 1u);
    ASSERT_TRUE(device.Read(&reply, 5000));
    EXPECT_GE(Clock::now() - start, kDelay);
    EXPECT_EQ(reply[0], 0x93);
}

TEST(InProcessCardDeviceTest, KnobChangeIsReadAndTheHostsAckReachesTheCard) {
    CInProcessCardDevice device(65, 65);
    ASSERT_TRUE(device.OpenDevice());
    ASSERT_TRUE(device.TurnKnobs({{36, 55}}));
    const uint8_t* frame = nullptr;
    ASSERT_TRUE(device.Read(&frame, 1000));
    EXPECT_EQ(frame[0], MSG_DEVICE_CHANGE);
    Frame ack(frame, frame + 64);
    ack[0] = ACK_DEVICE_CHANGE;
    ack[3] = kAckStatusOk;
    Restamp(ack);
    ASSERT_TRUE(device.Write(ack.data(), 64));
    const DeviceChangeLog log = device.Model().DeviceChanges();
    EXPECT_EQ(log.acks, 1);
    ASSERT_EQ(log.recent.size(), 1u);
    EXPECT_TRUE(log.recent[0].acked);
    EXPECT_TRUE(log.recent[0].ackCopiesFrame);
    EXPECT_EQ(device.QueuedFrames(), 0u) << "no reply to an acknowledgement";
    EXPECT_EQ(device.Model().LiveParams()[36], 55);
}

TEST(InProcessCardDeviceTest, AbortReadWakesAWaitingReadOrTheNextOne) {
    CInProcessCardDevice device(65, 65);
    ASSERT_TRUE(device.OpenDevice());
    auto waiting = std::async(std::launch::async, [&] {
        const uint8_t* data = nullptr;
        const bool ok = device.Read(&data, kForever);
        return ok && AllZero(data, 0, 64);
    });
    device.AbortRead();
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(waiting.get());

    device.AbortRead();  // no Read waits now: the next one returns at once
    const uint8_t* data = nullptr;
    EXPECT_TRUE(device.Read(&data, kForever));
    EXPECT_FALSE(device.Read(&data, 0)) << "one abort, one wake-up";
}

TEST(InProcessCardDeviceTest, UnplugFailsAWaitingReadAndEverythingAfter) {
    CInProcessCardDevice device(65, 65);
    ASSERT_TRUE(device.OpenDevice());
    auto waiting = std::async(std::launch::async, [&] {
        const uint8_t* data = nullptr;
        return device.Read(&data, kForever);
    });
    device.Unplug();
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(waiting.get());
    const Frame request = Request(64, {{0, CMD_GET_DEVICE_INFO}});
    EXPECT_FALSE(device.Write(request.data(), 64));
    EXPECT_FALSE(device.Inject(request));
    EXPECT_TRUE(device.IsOpen()) << "the handle stays until closed";
    device.CloseDevice();
    EXPECT_FALSE(device.OpenDevice());
}

TEST(InProcessCardDeviceTest, UnplugAfterFaultPullsTheCableOnTheNthWrite) {
    CInProcessCardDevice device(65, 65);
    ASSERT_TRUE(device.OpenDevice());
    device.Model().UnplugAfter(2);
    const Frame request = Request(64, {{0, CMD_GET_DEVICE_INFO}});
    const uint8_t* reply = nullptr;
    ASSERT_TRUE(device.Write(request.data(), 64));
    ASSERT_TRUE(device.Read(&reply, 1000));
    EXPECT_TRUE(device.Write(request.data(), 64)) << "the frame went out before the cable";
    EXPECT_TRUE(device.IsUnplugged());
    EXPECT_FALSE(device.Read(&reply, 0));
}

TEST(InProcessCardDeviceTest, CloseDropsQueuedFramesAndWakesAReader) {
    CInProcessCardDevice device(65, 65);
    ASSERT_TRUE(device.OpenDevice());
    auto waiting = std::async(std::launch::async, [&] {
        const uint8_t* data = nullptr;
        return device.Read(&data, kForever);
    });
    device.CloseDevice();
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(waiting.get());

    ASSERT_TRUE(device.OpenDevice());
    ASSERT_TRUE(device.Inject(device.Model().MakeLevels(1, 2)));
    device.CloseDevice();
    ASSERT_TRUE(device.OpenDevice());
    const uint8_t* data = nullptr;
    EXPECT_FALSE(device.Read(&data, 0));
}
