#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "DataRecvThread.h"
#include "Event.h"
#include "ICommDeviceMgmt.h"
#include "Lock.h"

// Request/reply link: one request outstanding at a time, its reply matched by command byte
// (request + 1) on the receive thread; everything else the card sends goes to the protocol.
class CDeviceManager : public ICommDeviceMgmt {
  public:
    CDeviceManager();
    ~CDeviceManager() override;
    CDeviceManager(const CDeviceManager&) = delete;
    CDeviceManager& operator=(const CDeviceManager&) = delete;

    bool IsConnected() override;
    bool AttachDevice(ICommunicateDevice* device, ICommProtocol* protocol) override;
    void DetachDevice() override;
    bool SendAndReceive(uint8_t* request, uint8_t* reply, int attempts,
                        uint32_t timeoutMs) override;
    bool SendNotReceive(uint8_t* request) override;
    void RecvThreadProc() override;
    ICommunicateDevice* GetDevice() override { return m_device.load(); }
    bool IsIdle() override;

    uint32_t IdleTimeout() const { return m_idleTimeout.load(); }

    // Called on the receive thread when the attached device went away by itself (end of
    // file, hang-up, a read error that closed it): the receive loop has ended and requests
    // fail at once, but the device stays attached until the owner detaches it on its own
    // thread. The handler only hands the news over (posts, sets a flag). Setting a new one
    // (or none) waits for a call in progress.
    void SetGoneHandler(std::function<void()> handler);

  private:
    void ClearWaiting();
    void NotifyGone();

    std::unique_ptr<CDataRecvThread> m_recvThread;
    std::atomic<ICommunicateDevice*> m_device{nullptr};  // not owned
    std::atomic<ICommProtocol*> m_protocol{nullptr};     // not owned

    // m_lock guards exactly these three: the waiting request's reply command, its event and
    // its reply buffer (which points into the caller's storage for the call's duration).
    ccm_util::CLock m_lock;
    uint8_t m_expectedCmd = 0;
    ccm_util::CEvent* m_replyEvent = nullptr;
    uint8_t* m_replyBuffer = nullptr;

    ccm_util::CEvent m_loopExited{true, false};
    ccm_util::CEvent m_replyArrived{false, false};
    std::atomic<bool> m_running{false};
    // A receive loop was started for the attachment and DetachDevice waits for its end (it
    // may have ended on its own already). Owner's thread only.
    bool m_loopStarted = false;
    std::atomic<uint64_t> m_lastActivity{0};
    std::atomic<uint32_t> m_idleTimeout{5000};

    // Serialises SendAndReceive callers (UI thread, upload workers) and lets DetachDevice
    // wait until a request in flight has let go of the device.
    std::mutex m_requestMutex;

    std::mutex m_goneMutex;  // guards m_goneHandler
    std::function<void()> m_goneHandler;
};
