// The real socket transport against the emulator process: discovery, requests, the card's
// own frames, a second program refused as busy, and the cable pulled during a request.
#include <gtest/gtest.h>

#include <future>

#include "ChildProcess.h"
#include "DeviceManager.h"
#include "FrameDefs.h"
#include "HidDeviceBuilder.h"
#include "NotifyCenter.h"
#include "QvAudioProtocol.h"
#include "TickCount.h"

namespace {

class EmulatorLinkTest : public ::testing::Test {
  protected:
    void StartEmulator(std::vector<std::string> extraArgs = {}) {
        setenv("LW52_VHID_DIR", dir.Path().c_str(), 1);
        std::vector<std::string> args = {"--dir", dir.Path()};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        ASSERT_TRUE(emulator.Start(LW52_EMULATOR_PATH, args));
        ASSERT_NE(emulator.WaitForLine("listening on", 10000), "");
    }
    void TearDown() override {
        builder.reset();
        emulator.Stop();
        unsetenv("LW52_VHID_DIR");
    }
    bool OpenCard() {
        builder = std::make_unique<CHidDeviceBuilder>();
        protocol.SetNotifyCenter(&center, this);
        return builder->Init(&protocol) && builder->FindDevices(lw52::kProductId61) == 1 &&
               builder->OpenFirstFound();
    }
    std::string Command(const std::string& line) {
        emulator.WriteLine(line);
        std::string reply;
        emulator.ReadLine(reply, 10000);
        return reply;
    }

    TempDir dir;
    ChildProcess emulator;
    CNotifyCenter center;
    CQvAudioProtocol protocol;
    std::unique_ptr<CHidDeviceBuilder> builder;
};

TEST_F(EmulatorLinkTest, FindsOpensAndQueriesTheVirtualCard) {
    StartEmulator({"--hw", "12", "--fw", "105"});
    ASSERT_TRUE(OpenCard());
    EXPECT_EQ(builder->FoundCount(), 1);
    EXPECT_NE(builder->CurrentPath().find("hid#VID_2B53&PID_0061#"), std::string::npos);
    EXPECT_EQ(builder->GetDevice()->GetMaxWriteLength(), 64);
    EXPECT_EQ(builder->FindDevices(lw52::kProductId7B), 0);

    uint8_t reply[64];
    ASSERT_TRUE(protocol.QueryDeviceInfo(reply));
    EXPECT_EQ(reply[4], 12);
    EXPECT_EQ(reply[6], 105);
    EXPECT_EQ(reply[14], 1);
}

TEST_F(EmulatorLinkTest, FortyBytePacketsAndTheCardsKnobs) {
    StartEmulator({"--packet", "40", "--product", "0x7B"});
    builder = std::make_unique<CHidDeviceBuilder>();
    protocol.SetNotifyCenter(&center, this);
    ASSERT_TRUE(builder->Init(&protocol));
    ASSERT_EQ(builder->FindDevices(lw52::kProductId61), 0);
    ASSERT_EQ(builder->FindDevices(lw52::kProductId7B), 1);
    ASSERT_TRUE(builder->OpenFirstFound());
    EXPECT_EQ(protocol.GetPacketSize(), 40);

    std::vector<EventRecvData> events;
    center.Subscribe(EventRecvData::kId, EventRecvData::kName,
                     [&](EventArgs& e) { events.push_back(static_cast<EventRecvData&>(e)); });
    Command("knob 36 55");
    for (int i = 0; i < 500 && events.empty(); ++i) center.PumpFor(20);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].frame[0], 0x9E);
    EXPECT_EQ(events[0].frame[4], 1);
    EXPECT_EQ(events[0].frame[5], 36);
    EXPECT_EQ(events[0].frame[7], 55);
    // The card saw a valid acknowledgement.
    std::string state;
    for (int i = 0; i < 500; ++i) {
        state = Command("state");
        if (state.find("\"lastAckStatus\":255") != std::string::npos) break;
        SleepMs(10);
    }
    EXPECT_NE(state.find("\"lastAckStatus\":255"), std::string::npos) << state;
}

TEST_F(EmulatorLinkTest, ASecondProgramFindsTheCardBusy) {
    StartEmulator();
    ASSERT_TRUE(OpenCard());
    CQvAudioProtocol otherProtocol;
    CHidDeviceBuilder other;
    ASSERT_TRUE(other.Init(&otherProtocol));
    ASSERT_EQ(other.FindDevices(lw52::kProductId61), 1);
    EXPECT_FALSE(other.OpenFirstFound());
    EXPECT_TRUE(other.LastErrorWasBusy()) << other.LastError();
    // The first program is not disturbed.
    uint8_t reply[64];
    EXPECT_TRUE(protocol.QueryDeviceInfo(reply));
}

TEST_F(EmulatorLinkTest, UnplugDuringARequestFailsItAndDetachStillReturns) {
    StartEmulator();
    ASSERT_TRUE(OpenCard());
    Command("fault delay 3000");
    uint8_t reply[64];
    auto pending = std::async(std::launch::async, [&] { return protocol.QueryDeviceInfo(reply); });
    SleepMs(50);  // let the request go out; correctness does not depend on it
    Command("unplug");
    EXPECT_FALSE(pending.get());
    CDeviceManager* manager = builder->GetDeviceManager();
    const auto start = GetTickCountMs();
    manager->DetachDevice();
    EXPECT_LT(GetTickCountMs() - start, 3500u);
    EXPECT_EQ(builder->FindDevices(lw52::kProductId61), 0) << "the socket file is gone";
    Command("fault clear");
    Command("plug");
    ASSERT_EQ(builder->FindDevices(lw52::kProductId61), 1);
    ASSERT_TRUE(builder->OpenFirstFound());
    EXPECT_TRUE(protocol.QueryDeviceInfo(reply));
}

}  // namespace
