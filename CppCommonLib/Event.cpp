#include "Event.h"

#include <chrono>

namespace ccm_util {

void CEvent::Set() {
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_signalled = true;
    }
    if (m_manualReset)
        m_cond.notify_all();
    else
        m_cond.notify_one();
}

void CEvent::Reset() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_signalled = false;
}

bool CEvent::IsSet() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_signalled;
}

bool CEvent::Wait(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> guard(m_mutex);
    auto ready = [this] { return m_signalled; };
    if (timeoutMs == kInfinite) {
        m_cond.wait(guard, ready);
    } else if (!m_cond.wait_for(guard, std::chrono::milliseconds(timeoutMs), ready)) {
        return false;
    }
    if (!m_manualReset) m_signalled = false;
    return true;
}

}  // namespace ccm_util
