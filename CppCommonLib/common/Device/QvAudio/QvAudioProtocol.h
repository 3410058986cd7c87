#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "Protocol.h"
#include "UiEvents.h"

class INotifyCenter;
class IMessageSink;

// Private message to the main window carrying effect-file transfer progress and result.
constexpr uint32_t kMsgTransfer = 1125;
constexpr uint64_t kTransferProgress = 3;  // lParam: percent
constexpr uint64_t kTransferResult = 7;    // lParam: 1 every frame acknowledged, 0 failure

using Frame64 = std::array<uint8_t, 64>;

// The card's protocol: card-initiated frames (levels, changes made on the card), the connect
// request on attachment, device information and frame lists sent in order, synchronously or
// on the sender thread with progress messages.
class CQvAudioProtocol : public CProtocol {
  public:
    CQvAudioProtocol();
    ~CQvAudioProtocol() override;

    void OnRecvData(const uint8_t* frame) override;
    void SetDeviceManager(ICommDeviceMgmt* manager) override;
    void ResetDeviceManager() override;

    // Where card-initiated frames are posted (null: not posted, as while the hidden window
    // does not exist) and the sender the events carry.
    void SetNotifyCenter(INotifyCenter* center, const void* sender);
    // Where transfer progress and result messages go (the main window); null drops them.
    // Posting must not block: it happens under a lock.
    void SetMessageSink(IMessageSink* sink);

    ICommDeviceMgmt* GetDeviceManager() const { return m_manager.load(); }
    bool QueryDeviceInfo(uint8_t* reply);
    bool SendFrames(const std::vector<Frame64>& frames);
    // One transfer at a time: a call while one runs is dropped.
    void SendFramesAsync(const std::vector<Frame64>& frames);
    bool IsSenderBusy() const { return m_senderBusy.load(); }
    // Waits until the running transfer (if any) has ended.
    void WaitForSender();

    std::atomic<bool> soundTransferActive{false};

  private:
    void SenderThreadProc();
    void PostEvent(const uint8_t* frame);
    void PostTransferMessage(uint64_t wParam, int64_t lParam);
    bool SendFrame(const Frame64& frame);

    std::atomic<ICommDeviceMgmt*> m_manager{nullptr};
    std::atomic<INotifyCenter*> m_notifyCenter{nullptr};
    std::atomic<const void*> m_eventSender{nullptr};
    std::mutex m_sinkMutex;  // held while posting, so a sink is never used after its reset
    IMessageSink* m_messageSink = nullptr;

    std::mutex m_senderMutex;  // guards m_senderThread and m_pendingFrames hand-over
    std::thread m_senderThread;
    std::vector<Frame64> m_pendingFrames;
    std::atomic<bool> m_senderBusy{false};
    std::atomic<bool> m_stopSender{false};
};
