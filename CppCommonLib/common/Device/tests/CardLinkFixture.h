#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <vector>

#include "Checksum.h"
#include "DeviceManager.h"
#include "FrameDefs.h"
#include "InProcessCardDevice.h"
#include "Log.h"
#include "NotifyCenter.h"
#include "QvAudioProtocol.h"

// Records every diagnostic line, so tests can check the texts the layer logs.
class LogCapture : public diag::ILogSink {
  public:
    LogCapture() { diag::SetLogSink(this); }
    ~LogCapture() override { diag::SetLogSink(nullptr); }
    void OnLog(int, const char*, const char* message, const char*, int, const char*) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_lines.emplace_back(message);
    }
    bool Contains(const std::string& part) const {
        std::lock_guard<std::mutex> guard(m_mutex);
        for (const auto& line : m_lines)
            if (line.find(part) != std::string::npos) return true;
        return false;
    }

  private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

// Collects posted window messages (1125/3 progress, 1125/7 result) in order.
class MessageLog : public IMessageSink {
  public:
    void PostMessage(uint32_t message, uint64_t wParam, int64_t lParam) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_messages.push_back({message, wParam, lParam});
        m_cond.notify_all();
    }
    struct Message {
        uint32_t message;
        uint64_t wParam;
        int64_t lParam;
    };
    // Waits (bounded) until a result message (wParam 7) arrived; returns all messages.
    std::vector<Message> WaitForResult(int count = 1) {
        std::unique_lock<std::mutex> guard(m_mutex);
        m_cond.wait_for(guard, std::chrono::seconds(30), [&] {
            int results = 0;
            for (const auto& m : m_messages) results += m.wParam == kTransferResult;
            return results >= count;
        });
        return m_messages;
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::vector<Message> m_messages;
};

// A protocol that also records the frames handed to OnRecvData.
class RecordingProtocol : public CQvAudioProtocol {
  public:
    void OnRecvData(const uint8_t* frame) override {
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_received.emplace_back(frame, frame + 64);
        }
        CQvAudioProtocol::OnRecvData(frame);
    }
    std::vector<std::vector<uint8_t>> Received() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_received;
    }

  private:
    std::mutex m_mutex;
    std::vector<std::vector<uint8_t>> m_received;
};

// A manager attached to the in-process card.
class CardLink : public ::testing::Test {
  protected:
    void Attach(int reportLength = 65, int packet = 64) {
        lw52::emu::CardConfig config;
        config.packetSize = packet;
        device =
            std::make_unique<lw52::emu::CInProcessCardDevice>(reportLength, reportLength, config);
        protocol.SetNotifyCenter(&center, this);
        protocol.SetMessageSink(&messages);
        ASSERT_TRUE(manager.AttachDevice(device.get(), &protocol));
    }
    void TearDown() override {
        manager.DetachDevice();
        protocol.WaitForSender();
    }
    uint64_t HostFrames(uint8_t command) {
        auto counters = device->Model().Counters();
        auto it = counters.byCommand.find(command);
        return it == counters.byCommand.end() ? 0 : it->second;
    }
    static std::array<uint8_t, 64> Request(uint8_t command) {
        std::array<uint8_t, 64> frame{};
        frame[0] = command;
        return frame;
    }

    CNotifyCenter center;
    MessageLog messages;
    RecordingProtocol protocol;
    CDeviceManager manager;
    std::unique_ptr<lw52::emu::CInProcessCardDevice> device;
};
