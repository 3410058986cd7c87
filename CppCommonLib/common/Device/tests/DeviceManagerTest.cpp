#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "CardLinkFixture.h"
#include "TickCount.h"
#include "VirtualCardBench.h"

class DeviceManagerTest : public CardLink {};

TEST_F(DeviceManagerTest, AttachSendsTheConnectRequestAndTakesTheCardsPacketSize) {
    struct Case {
        int reportLength;
        bool attaches;
        int packet;
    } cases[] = {{65, true, 64}, {41, true, 40}, {33, false, 64}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reportLength);
        CQvAudioProtocol fresh;
        lw52::emu::CardConfig config;
        config.packetSize = c.reportLength == 41 ? 40 : 64;
        lw52::emu::CInProcessCardDevice card(c.reportLength, c.reportLength, config);
        CDeviceManager mgr;
        EXPECT_EQ(mgr.AttachDevice(&card, &fresh), c.attaches);
        EXPECT_EQ(fresh.GetPacketSize(), c.packet);
        EXPECT_EQ(mgr.IsConnected(), c.attaches);
        EXPECT_EQ(card.Model().HostConnected(), c.attaches);  // 0x90 with byte 4 = 1 went out
        EXPECT_EQ(fresh.GetDeviceManager(), c.attaches ? &mgr : nullptr);
        mgr.DetachDevice();
        EXPECT_FALSE(mgr.IsConnected());
        EXPECT_EQ(fresh.GetDeviceManager(), nullptr);
    }
}

TEST_F(DeviceManagerTest, AttemptsAndTimeouts) {
    Attach();
    std::array<uint8_t, 64> reply{};

    auto info = Request(lw52::CMD_GET_DEVICE_INFO);
    EXPECT_FALSE(manager.SendAndReceive(info.data(), reply.data(), 0, 300));
    EXPECT_EQ(HostFrames(0x92), 0u) << "0 attempts send nothing";

    device->Model().DropReplies(1);
    EXPECT_TRUE(manager.SendAndReceive(info.data(), reply.data(), 3, 100));
    EXPECT_EQ(HostFrames(0x92), 2u) << "a dropped reply costs one attempt";
    EXPECT_EQ(reply[0], 0x93);
    EXPECT_EQ(reply[3], 0xFF);

    device->Model().CorruptChecksums(1);
    EXPECT_TRUE(manager.SendAndReceive(info.data(), reply.data(), 2, 300));
    EXPECT_EQ(HostFrames(0x92), 4u) << "a corrupted reply costs one attempt";

    device->Model().BadFlags(3);
    LogCapture log;
    EXPECT_FALSE(manager.SendAndReceive(info.data(), reply.data(), 3, 300));
    EXPECT_EQ(HostFrames(0x92), 7u);
    EXPECT_TRUE(log.Contains("CheckReply error: reply falg"));
    EXPECT_TRUE(log.Contains("WaitTimeout. cmd=0x92"));
    EXPECT_EQ(info[63], lw52::Checksum(info.data(), 63)) << "the request was stamped";
}

TEST_F(DeviceManagerTest, IdleTimeoutFollowsTheRequestTimeout) {
    Attach();
    std::array<uint8_t, 64> reply{};
    auto info = Request(lw52::CMD_GET_DEVICE_INFO);
    manager.SendAndReceive(info.data(), reply.data(), 1, 300);
    EXPECT_EQ(manager.IdleTimeout(), 5000u);
    manager.SendAndReceive(info.data(), reply.data(), 1, 15000);
    EXPECT_EQ(manager.IdleTimeout(), 16000u);
    EXPECT_FALSE(manager.IsIdle());  // just talked to the card
}

TEST_F(DeviceManagerTest, LateReplyGoesToOnRecvDataAndIsDropped) {
    Attach();
    std::array<uint8_t, 64> reply{};
    auto info = Request(lw52::CMD_GET_DEVICE_INFO);
    device->Model().SetReplyDelay(200);
    EXPECT_FALSE(manager.SendAndReceive(info.data(), reply.data(), 1, 20));
    // The reply comes after the wait ended.
    ASSERT_TRUE(WaitUntil([&] { return !protocol.Received().empty(); }));
    EXPECT_EQ(protocol.Received()[0][0], 0x93);
    EXPECT_EQ(center.Pump(), 0) << "a stray reply is not a card-initiated frame";
}

TEST_F(DeviceManagerTest, DetachWhileTheReadBlocksReturnsPromptly) {
    Attach();
    const auto start = std::chrono::steady_clock::now();
    manager.DetachDevice();  // the receive loop sits in an infinite Read
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(3));
    EXPECT_FALSE(manager.IsConnected());
    EXPECT_EQ(manager.GetDevice(), nullptr);
    // The same manager attaches again and its new receive loop works.
    Attach();
    std::array<uint8_t, 64> reply{};
    auto info = Request(lw52::CMD_GET_DEVICE_INFO);
    EXPECT_TRUE(manager.SendAndReceive(info.data(), reply.data(), 3, 300));
}

TEST_F(DeviceManagerTest, UnplugDuringARequestFailsItWithoutHanging) {
    Attach();
    device->Model().SetReplyDelay(5000);  // the reply would come long after the unplug
    std::array<uint8_t, 64> reply{};
    auto info = Request(lw52::CMD_GET_DEVICE_INFO);
    auto pending = std::async(std::launch::async, [&] {
        return manager.SendAndReceive(info.data(), reply.data(), 3, 300);
    });
    ASSERT_TRUE(WaitUntil([&] { return HostFrames(0x92) != 0; }));
    device->Unplug();
    EXPECT_FALSE(pending.get());
}

TEST_F(DeviceManagerTest, SendFramesStopsAtTheFirstFailure) {
    Attach();
    std::vector<Frame64> frames(3, Frame64{});
    for (auto& f : frames) f[0] = lw52::CMD_GET_DEVICE_INFO;
    EXPECT_TRUE(protocol.SendFrames({}));
    EXPECT_TRUE(protocol.SendFrames(frames));
    EXPECT_EQ(HostFrames(0x92), 3u);
    device->Model().DropReplies(3);  // the first frame fails all its attempts
    EXPECT_FALSE(protocol.SendFrames(frames));
    EXPECT_EQ(HostFrames(0x92), 6u);
}

TEST_F(DeviceManagerTest, SendFramesAsyncReportsProgressAndDropsASecondTransfer) {
    Attach();
    std::vector<Frame64> frames(4, Frame64{});
    for (auto& f : frames) f[0] = lw52::CMD_GET_DEVICE_INFO;
    // The first reply takes a second: the first transfer is surely still running when the
    // second one is asked for; the frames after it go quickly.
    device->Model().SetReplyDelay(1000);
    protocol.SendFramesAsync(frames);
    ASSERT_TRUE(WaitUntil([&] { return HostFrames(0x92) == 1; }));
    device->Model().SetReplyDelay(0);
    EXPECT_TRUE(protocol.IsSenderBusy());
    protocol.SendFramesAsync(std::vector<Frame64>(9, frames[0]));  // dropped
    const auto log = messages.WaitForResult();
    std::vector<int64_t> progress;
    for (const auto& m : log) {
        EXPECT_EQ(m.message, kMsgTransfer);
        if (m.wParam == kTransferProgress) progress.push_back(m.lParam);
    }
    EXPECT_EQ(progress, (std::vector<int64_t>{0, 25, 50, 75, 100}));
    EXPECT_EQ(log.back().wParam, kTransferResult);
    EXPECT_EQ(log.back().lParam, 1);
    protocol.WaitForSender();
    EXPECT_EQ(HostFrames(0x92), 4u);

    // A failing frame ends the transfer with result 0; an empty list succeeds at once.
    device->Model().SetReplyDelay(0);
    device->Model().DropReplies(3);
    protocol.SendFramesAsync(frames);
    EXPECT_EQ(messages.WaitForResult(2).back().lParam, 0);
    protocol.WaitForSender();
    protocol.SendFramesAsync({});
    EXPECT_EQ(messages.WaitForResult(3).back().lParam, 1);
}
