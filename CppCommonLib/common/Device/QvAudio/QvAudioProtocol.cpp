#include "QvAudioProtocol.h"

#include <cstring>
#include <memory>

#include "Checksum.h"
#include "FrameDefs.h"
#include "ICommDeviceMgmt.h"
#include "Log.h"
#include "NotifyCenter.h"

namespace {
constexpr int kAttempts = 3;
constexpr uint32_t kConnectTimeoutMs = 500;
constexpr uint32_t kDeviceInfoTimeoutMs = 300;
constexpr uint32_t kFrameTimeoutMs = 1500;
}  // namespace

CQvAudioProtocol::CQvAudioProtocol() = default;

CQvAudioProtocol::~CQvAudioProtocol() {
    m_stopSender = true;  // the sender stops after the frame in flight
    WaitForSender();
}

void CQvAudioProtocol::SetNotifyCenter(INotifyCenter* center, const void* sender) {
    m_eventSender = sender;
    m_notifyCenter = center;
}

void CQvAudioProtocol::SetMessageSink(IMessageSink* sink) {
    // Waits for a post in flight, so the old sink may be destroyed once this returns.
    std::lock_guard<std::mutex> lock(m_sinkMutex);
    m_messageSink = sink;
}

void CQvAudioProtocol::SetDeviceManager(ICommDeviceMgmt* manager) {
    m_manager = manager;
    if (!manager) return;
    // Take control at once; the workspace repeats the request and evaluates the reply.
    uint8_t request[lw52::kFrameBufferSize] = {lw52::CMD_CONNECT};
    request[4] = 1;
    uint8_t reply[lw52::kFrameBufferSize];
    manager->SendAndReceive(request, reply, kAttempts, kConnectTimeoutMs);
}

void CQvAudioProtocol::ResetDeviceManager() {
    m_manager = nullptr;
}

void CQvAudioProtocol::PostEvent(const uint8_t* frame) {
    INotifyCenter* center = m_notifyCenter.load();
    if (!center) return;
    auto event = std::make_shared<EventRecvData>(m_eventSender.load());
    memcpy(event->frame.data(), frame, event->frame.size());
    center->FireEventAsync(std::move(event));
}

void CQvAudioProtocol::OnRecvData(const uint8_t* frame) {
    const int n = GetPacketSize();
    if (frame[0] == lw52::MSG_LEVELS) {
        PostEvent(frame);
        return;
    }
    if (frame[0] != lw52::MSG_DEVICE_CHANGE) return;

    uint8_t status = lw52::kAckStatusOk;
    const uint8_t computed = lw52::Checksum(frame, static_cast<size_t>(n - 1));
    if (frame[n - 1] != computed) {
        QV_LOG("CheckReply error: reply crc 0x%02x != 0x%02x  cmd=0x%02x", frame[n - 1], computed,
               frame[0]);
        status = lw52::kAckStatusBadChecksum;
    }
    if (frame[3] != 0) {  // checked second: a bad flag wins over a bad checksum
        QV_LOG("CheckReply error: reply falg 0x%02x != 0  cmd=0x%02x", frame[3], frame[0]);
        status = lw52::kAckStatusBadFlag;
    }
    OnReplyReceived(frame);
    uint8_t ack[lw52::kFrameBufferSize];
    memcpy(ack, frame, sizeof ack);
    ack[0] = lw52::ACK_DEVICE_CHANGE;
    ack[3] = status;
    if (ICommDeviceMgmt* manager = m_manager.load()) manager->SendNotReceive(ack);
    if (status == lw52::kAckStatusOk) PostEvent(frame);
}

bool CQvAudioProtocol::QueryDeviceInfo(uint8_t* reply) {
    ICommDeviceMgmt* manager = m_manager.load();
    if (!manager) return false;
    uint8_t request[lw52::kFrameBufferSize] = {lw52::CMD_GET_DEVICE_INFO};
    return manager->SendAndReceive(request, reply, kAttempts, kDeviceInfoTimeoutMs);
}

bool CQvAudioProtocol::SendFrame(const Frame64& frame) {
    ICommDeviceMgmt* manager = m_manager.load();
    if (!manager) return false;
    Frame64 request = frame;  // the checksum is stamped into the copy
    uint8_t reply[lw52::kFrameBufferSize];
    return manager->SendAndReceive(request.data(), reply, kAttempts, kFrameTimeoutMs);
}

bool CQvAudioProtocol::SendFrames(const std::vector<Frame64>& frames) {
    for (const Frame64& frame : frames)
        if (!SendFrame(frame)) return false;
    return true;
}

void CQvAudioProtocol::PostTransferMessage(uint64_t wParam, int64_t lParam) {
    std::lock_guard<std::mutex> lock(m_sinkMutex);
    if (m_messageSink) m_messageSink->PostMessage(kMsgTransfer, wParam, lParam);
}

void CQvAudioProtocol::SendFramesAsync(const std::vector<Frame64>& frames) {
    bool expected = false;
    if (!m_senderBusy.compare_exchange_strong(expected, true)) return;  // one at a time
    std::lock_guard<std::mutex> guard(m_senderMutex);
    if (m_senderThread.joinable()) m_senderThread.join();  // the previous one has ended
    m_pendingFrames = frames;
    m_stopSender = false;
    m_senderThread = std::thread(&CQvAudioProtocol::SenderThreadProc, this);
}

void CQvAudioProtocol::SenderThreadProc() {
    const size_t count = m_pendingFrames.size();
    int result = 1;
    PostTransferMessage(kTransferProgress, 0);
    for (size_t i = 0; i < count; ++i) {
        if (m_stopSender.load() || !SendFrame(m_pendingFrames[i])) {
            result = 0;
            break;
        }
        PostTransferMessage(kTransferProgress, static_cast<int64_t>(100 * (i + 1) / count));
    }
    m_senderBusy = false;
    PostTransferMessage(kTransferResult, result);
}

void CQvAudioProtocol::WaitForSender() {
    std::lock_guard<std::mutex> guard(m_senderMutex);
    if (m_senderThread.joinable()) m_senderThread.join();
}
