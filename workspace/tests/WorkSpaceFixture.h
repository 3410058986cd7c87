#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>

#include "ChildProcess.h"
#include "DeviceManager.h"
#include "InProcessCardDevice.h"
#include "NotifyCenter.h"
#include "QvAudioProtocol.h"
#include "WorkSpace.h"

// A clock and timers moved by hand.
class FakeTimerHost : public ITimerHost {
  public:
    void StartTimer(int id, uint32_t ms) override { timers[id] = ms; }
    void StopTimer(int id) override { timers.erase(id); }
    uint64_t TickCount() override { return now; }
    bool Running(int id) const { return timers.count(id) > 0; }
    uint64_t now = 100000;
    std::map<int, uint32_t> timers;
};

// Records what the workspace pushes to the controls.
class RecordingBinder : public IParamBinder {
  public:
    void SetControlValue(int id, int value) override { controls[id] = value; }
    std::map<int, int> controls;
};

// A workspace attached to the in-process card, with its settings file in a temp folder.
class WorkSpaceTest : public ::testing::Test {
  protected:
    void SetUp() override { settingsPath = dir.Path() + "/QvH31ConfigData.db"; }
    void TearDown() override {
        workspace.reset();
        manager.DetachDevice();
        protocol.WaitForSender();
    }

    void Build() {
        CWorkSpace::Context context;
        context.notifyCenter = &center;
        context.eventSender = this;
        context.protocol = &protocol;
        context.settingsPath = settingsPath;
        workspace = std::make_unique<CWorkSpace>(context);
        workspace->SetDeviceManager(&manager);
    }
    // Card attached and its state read, as after a start with the card plugged in.
    void Connect(int packet = 64) {
        lw52::emu::CardConfig config;
        config.packetSize = packet;
        device = std::make_unique<lw52::emu::CInProcessCardDevice>(packet + 1, packet + 1, config);
        ASSERT_TRUE(manager.AttachDevice(device.get(), &protocol));
        if (!workspace) Build();
        workspace->ReadStateFromCard();
        ASSERT_TRUE(workspace->IsConnected());
    }
    uint64_t CardFrames(uint8_t command) {
        const auto counters = device->Model().Counters();
        const auto it = counters.byCommand.find(command);
        return it == counters.byCommand.end() ? 0 : it->second;
    }
    // Delivers the posted events; returns the ids in order.
    std::vector<int> PumpEvents() {
        std::vector<int> ids;
        std::vector<int> tokens;
        for (const auto& info : AllUiEvents())
            tokens.push_back(
                center.Subscribe(info.id, info.name, [&](EventArgs& e) { ids.push_back(e.Id()); }));
        center.Pump();
        for (int t : tokens) center.Unsubscribe(t);
        return ids;
    }

    TempDir dir;
    std::string settingsPath;
    CNotifyCenter center;
    CQvAudioProtocol protocol;
    CDeviceManager manager;
    std::unique_ptr<lw52::emu::CInProcessCardDevice> device;
    std::unique_ptr<CWorkSpace> workspace;
};
