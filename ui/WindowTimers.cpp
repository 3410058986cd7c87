#include "WindowTimers.h"

#include <QMetaObject>

#include "TickCount.h"

void CWindowTimers::StartTimer(int timerId, uint32_t intervalMs) {
    QTimer*& timer = m_timers[timerId];
    if (!timer) {
        timer = new QTimer(this);
        QObject::connect(timer, &QTimer::timeout, this, [this, timerId] { m_onTimer(timerId); });
    }
    timer->start(static_cast<int>(intervalMs));
}

void CWindowTimers::StopTimer(int timerId) {
    const auto it = m_timers.find(timerId);
    if (it != m_timers.end()) it->second->stop();
}

uint64_t CWindowTimers::TickCount() {
    return GetTickCountMs();
}

bool CWindowTimers::IsRunning(int timerId) const {
    const auto it = m_timers.find(timerId);
    return it != m_timers.end() && it->second->isActive();
}

int CWindowTimers::Interval(int timerId) const {
    const auto it = m_timers.find(timerId);
    return it == m_timers.end() ? 0 : it->second->interval();
}

void CMessagePoster::PostMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
    Handler handler = m_handler;
    QMetaObject::invokeMethod(
        m_target, [handler, message, wParam, lParam] { handler(message, wParam, lParam); },
        Qt::QueuedConnection);
}
