#include "InProcessCardDevice.h"

#include <algorithm>
#include <cstring>

#include "FrameDefs.h"
#include "VirtualHid.h"

namespace lw52::emu {

CInProcessCardDevice::CInProcessCardDevice(int inputReportLength, int outputReportLength,
                                           const CardConfig& config)
    : m_inputReportLength(inputReportLength),
      m_outputReportLength(outputReportLength),
      m_model(config) {}

bool CInProcessCardDevice::IsOpen() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_open;
}

bool CInProcessCardDevice::OpenDevice() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_unplugged) return false;
    m_open = true;
    m_abortPending = false;  // an abort belongs to the handle it was meant for
    return true;
}

void CInProcessCardDevice::CloseDevice() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = false;
        m_queue.clear();  // reports nobody reads are lost, as with a closed node
    }
    m_changed.notify_all();
}

std::string CInProcessCardDevice::GetDevicePath() {
    return "inproc/" + vhid::VirtualDeviceName(kVendorId, m_model.Config().productId, "card0");
}

bool CInProcessCardDevice::Write(const uint8_t* data, int length) {
    if (!data || length <= 0 || length > m_outputReportLength - 1) return false;
    const int n = m_model.PacketSize();
    Frame request(static_cast<size_t>(n), 0);
    memcpy(request.data(), data, static_cast<size_t>(std::min(length, n)));

    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_open || m_unplugged) return false;
    std::vector<Frame> replies;
    // The model has its own lock and never calls back, so holding ours keeps a reply's
    // queue position in step with the order of writes.
    m_model.HandleHostReport(request.data(), n, replies);
    const Clock::time_point due = Clock::now() + std::chrono::milliseconds(m_model.ReplyDelayMs());
    for (Frame& reply : replies) Enqueue(std::move(reply), due);
    if (m_model.TakeUnplugRequest()) m_unplugged = true;
    m_changed.notify_all();
    return true;
}

void CInProcessCardDevice::Enqueue(Frame frame, Clock::time_point due) {
    auto later = std::upper_bound(m_queue.begin(), m_queue.end(), due,
                                  [](Clock::time_point t, const Pending& p) { return t < p.due; });
    m_queue.insert(later, Pending{due, std::move(frame)});
}

bool CInProcessCardDevice::Read(const uint8_t** outData, uint32_t timeoutMs) {
    std::lock_guard<std::mutex> readLock(m_readMutex);
    std::unique_lock<std::mutex> lock(m_mutex);
    const bool forever = timeoutMs == kInfinite;
    const Clock::time_point deadline =
        forever ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(timeoutMs);
    memset(m_readBuffer, 0, sizeof m_readBuffer);
    for (;;) {
        if (!m_open || m_unplugged) return false;
        if (m_abortPending) {
            m_abortPending = false;
            if (outData) *outData = m_readBuffer;
            return true;
        }
        const Clock::time_point now = Clock::now();
        if (!m_queue.empty() && m_queue.front().due <= now) break;
        if (now >= deadline) return false;
        Clock::time_point wakeAt = deadline;
        if (!m_queue.empty()) wakeAt = std::min(wakeAt, m_queue.front().due);
        if (wakeAt == Clock::time_point::max())
            m_changed.wait(lock);
        else
            m_changed.wait_until(lock, wakeAt);
    }
    const Frame& frame = m_queue.front().frame;
    const size_t reportBytes = static_cast<size_t>(std::max(m_inputReportLength - 1, 0));
    memcpy(m_readBuffer, frame.data(), std::min({frame.size(), reportBytes, sizeof m_readBuffer}));
    m_queue.pop_front();
    if (outData) *outData = m_readBuffer;
    return true;
}

void CInProcessCardDevice::AbortRead() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_abortPending = true;
    }
    m_changed.notify_all();
}

bool CInProcessCardDevice::Inject(const Frame& frame) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_open || m_unplugged) return false;
        Enqueue(frame, Clock::now());
    }
    m_changed.notify_all();
    return true;
}

bool CInProcessCardDevice::TurnKnobs(const std::vector<ParamEntry>& entries) {
    Frame frame;
    return m_model.MakeDeviceChange(entries, frame) && Inject(frame);
}

void CInProcessCardDevice::Unplug() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_unplugged = true;
        m_queue.clear();
    }
    m_changed.notify_all();
}

bool CInProcessCardDevice::IsUnplugged() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_unplugged;
}

size_t CInProcessCardDevice::QueuedFrames() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size();
}

}  // namespace lw52::emu
