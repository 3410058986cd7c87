#include "DeviceManager.h"

#include <cstring>

#include "FrameDefs.h"
#include "ICommProtocol.h"
#include "ICommunicateDevice.h"
#include "Log.h"
#include "TickCount.h"

using ccm_util::CAutoLock;

CDeviceManager::CDeviceManager() : m_recvThread(std::make_unique<CDataRecvThread>()) {
    m_recvThread->Start(this);
}

CDeviceManager::~CDeviceManager() {
    // Ends a receive loop still blocked in Read before the thread is stopped; the device
    // itself belongs to the builder, which closes it.
    m_running = false;
    if (m_loopStarted) {
        if (ICommunicateDevice* device = m_device.load()) device->AbortRead();
        m_loopExited.Wait(3000);
    }
    m_recvThread->StopThread();
    m_recvThread.reset();
    m_device = nullptr;
}

void CDeviceManager::SetGoneHandler(std::function<void()> handler) {
    std::lock_guard<std::mutex> guard(m_goneMutex);
    m_goneHandler = std::move(handler);
}

bool CDeviceManager::IsConnected() {
    ICommunicateDevice* device = m_device.load();
    return device && device->IsOpen();
}

bool CDeviceManager::AttachDevice(ICommunicateDevice* device, ICommProtocol* protocol) {
    if (!device || !protocol) return false;
    if (m_device.load()) DetachDevice();

    m_device = device;
    m_protocol = protocol;
    if (!device->IsOpen() && !device->OpenDevice()) {
        m_device = nullptr;
        m_protocol = nullptr;
        return false;
    }
    const int packet = device->GetMaxWriteLength();
    if (packet != protocol->GetPacketSize()) {
        if (packet != lw52::kPacketSize40 && packet != lw52::kPacketSize64) {
            DetachDevice();
            return false;
        }
        protocol->SetPacketSize(packet);
    }
    m_loopExited.Reset();
    m_running = true;
    m_loopStarted = true;
    m_recvThread->OnConnectDevice();
    protocol->SetDeviceManager(this);  // sends the connect request at once
    return true;
}

void CDeviceManager::DetachDevice() {
    ICommunicateDevice* device = m_device.load();
    m_running = false;
    if (device) device->AbortRead();  // wakes the blocked read
    m_replyArrived.Set();             // and a request waiting for its reply
    // The loop may have ended already, when the device went away by itself.
    if (m_loopStarted && !m_loopExited.Wait(3000))
        QV_LOG("receive loop did not end within 3000 ms");
    m_loopStarted = false;

    // A request in flight stops at its next check of m_running; wait for it to let go.
    std::lock_guard<std::mutex> requestGuard(m_requestMutex);
    if (device) device->CloseDevice();
    m_device = nullptr;
    if (ICommProtocol* protocol = m_protocol.exchange(nullptr)) protocol->ResetDeviceManager();
    m_replyArrived.Reset();
}

void CDeviceManager::ClearWaiting() {
    CAutoLock guard(m_lock);
    m_expectedCmd = 0;
    m_replyBuffer = nullptr;
    m_replyEvent = nullptr;
}

bool CDeviceManager::SendAndReceive(uint8_t* request, uint8_t* reply, int attempts,
                                    uint32_t timeoutMs) {
    std::lock_guard<std::mutex> requestGuard(m_requestMutex);
    ICommProtocol* protocol = m_protocol.load();
    ICommunicateDevice* device = m_device.load();
    if (!protocol || !device || !request || !reply) return false;

    m_idleTimeout = timeoutMs < 5000 ? 5000 : timeoutMs + 1000;
    protocol->OnBeforeSend(request);
    protocol->SetChecksum(request);
    memset(reply, 0, lw52::kFrameBufferSize);
    m_replyArrived.Reset();
    const uint8_t expected = lw52::ReplyCode(request[0]);
    {
        CAutoLock guard(m_lock);
        m_replyBuffer = reply;
        m_expectedCmd = expected;
        m_replyEvent = &m_replyArrived;
    }

    const int packet = protocol->GetPacketSize();
    for (int attempt = 0; attempt < attempts && m_running.load(); ++attempt) {
        if (!device->Write(request, packet)) {
            QV_LOG("Send failed. cmd=0x%02x", request[0]);
            continue;
        }
        if (m_replyArrived.Wait(timeoutMs) && m_running.load()) {
            bool accepted;
            {
                // Checked under the lock: the receive thread may store a late duplicate.
                CAutoLock guard(m_lock);
                accepted = protocol->CheckReply(reply, expected);
                if (accepted) {
                    m_expectedCmd = 0;
                    m_replyBuffer = nullptr;
                    m_replyEvent = nullptr;
                }
            }
            if (accepted) {
                m_lastActivity = GetTickCountMs();
                protocol->OnReplyReceived(reply);
                return true;
            }
        }
        QV_LOG("WaitTimeout. cmd=0x%02x", request[0]);
    }
    m_lastActivity = GetTickCountMs();
    ClearWaiting();
    return false;
}

bool CDeviceManager::SendNotReceive(uint8_t* request) {
    ICommProtocol* protocol = m_protocol.load();
    if (!protocol || !request) return false;
    protocol->OnBeforeSend(request);
    protocol->SetChecksum(request);
    const int packet = protocol->GetPacketSize();
    for (int attempt = 0; attempt < 5; ++attempt) {
        ICommunicateDevice* device = m_device.load();
        if (!device) break;
        m_lastActivity = GetTickCountMs();
        if (device->Write(request, packet)) return true;
        QV_LOG("send failed. cmd=0x%02x", request[0]);
    }
    return false;
}

void CDeviceManager::RecvThreadProc() {
    ICommunicateDevice* device = m_device.load();
    while (m_running.load() && device) {
        const uint8_t* report = nullptr;
        const bool ok = device->Read(&report, ICommunicateDevice::kInfinite);
        if (!m_running.load()) break;
        if (ok && report) {
            bool consumed = false;
            {
                CAutoLock guard(m_lock);
                if (m_expectedCmd != 0 && m_expectedCmd == report[0] && m_replyBuffer) {
                    memcpy(m_replyBuffer, report, lw52::kFrameBufferSize);
                    m_replyEvent->Set();
                    consumed = true;
                }
            }
            if (!consumed) {
                if (ICommProtocol* protocol = m_protocol.load()) {
                    m_lastActivity = GetTickCountMs();
                    protocol->OnRecvData(report);
                }
            }
        } else if (!device->IsOpen()) {
            // Hung up or failed for good (pulled out, its connection closed): no read will
            // succeed again. End here rather than retry forever, and tell the owner, who may
            // never hear of a removal.
            NotifyGone();
            break;
        } else {
            QV_LOG(" CDeviceManager::RecvThreadProc() -- read return %d", 0);
            SleepMs(200);
        }
    }
    m_loopExited.Set();
}

void CDeviceManager::NotifyGone() {
    m_running = false;     // a request in flight stops at its next check
    m_replyArrived.Set();  // and one waiting for its reply gives up now
    std::lock_guard<std::mutex> guard(m_goneMutex);
    if (m_goneHandler) m_goneHandler();
}

bool CDeviceManager::IsIdle() {
    {
        CAutoLock guard(m_lock);
        if (m_replyEvent) return false;
    }
    return GetTickCountMs() - m_lastActivity.load() > m_idleTimeout.load();
}
