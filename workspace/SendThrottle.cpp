#include "SendThrottle.h"

#include <algorithm>

void CSendThrottle::Configure(ITimerHost* host, uint32_t intervalMs, int timerId) {
    m_host = host;
    m_intervalMs = intervalMs;
    m_timerId = timerId;
}

void CSendThrottle::Kick() {
    if (!m_host) {  // no window to time with: send at once
        m_send();
        return;
    }
    m_host->StopTimer(m_timerId);
    const uint64_t now = m_host->TickCount();
    if (m_sentOnce && now - m_lastSend < m_intervalMs) {
        m_host->StartTimer(m_timerId, m_intervalMs);
        return;
    }
    m_lastSend = now;
    m_sentOnce = true;
    m_send();
}

bool CSendThrottle::OnTimer(int timerId) {
    if (!m_host || timerId != m_timerId) return false;
    m_host->StopTimer(m_timerId);
    m_lastSend = m_host->TickCount();
    m_sentOnce = true;
    m_send();
    return true;
}

void CSendThrottle::RetryLater() {
    if (!m_host) return;  // no window to time with: the next change sends them
    m_host->StopTimer(m_timerId);
    m_host->StartTimer(m_timerId, std::max(m_retryMs, m_intervalMs));
    m_retryMs = std::min(2 * m_retryMs, kLastRetryMs);
}
