#pragma once

#include <atomic>
#include <cstdint>
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

  private:
    void ClearWaiting();

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
    std::atomic<uint64_t> m_lastActivity{0};
    std::atomic<uint32_t> m_idleTimeout{5000};

    // Serialises SendAndReceive callers (UI thread, upload workers) and lets DetachDevice
    // wait until a request in flight has let go of the device.
    std::mutex m_requestMutex;
};
