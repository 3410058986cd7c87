#include "NotifyCenter.h"

#include <chrono>

CNotifyCenter::CNotifyCenter() = default;

int CNotifyCenter::Subscribe(int eventId, const char* /*name*/, Handler handler) {
    const int token = m_nextToken++;
    m_subscribers[eventId].push_back({token, std::make_shared<Handler>(std::move(handler))});
    return token;
}

void CNotifyCenter::Unsubscribe(int token) {
    for (auto& [id, list] : m_subscribers) {
        for (auto it = list.begin(); it != list.end(); ++it) {
            if (it->token == token) {
                *it->handler = nullptr;  // a delivery in progress skips it from now on
                list.erase(it);
                return;
            }
        }
    }
}

void CNotifyCenter::FireEventAsync(std::shared_ptr<EventArgs> event) {
    if (!event) return;
    {
        std::lock_guard<std::mutex> guard(m_queueMutex);
        m_queue.push_back(std::move(event));
    }
    m_queueCond.notify_one();
}

void CNotifyCenter::FireEvent(EventArgs& event) {
    auto it = m_subscribers.find(event.Id());
    if (it == m_subscribers.end()) return;
    // Handlers may (un)subscribe while we deliver: walk a copy.
    std::vector<std::shared_ptr<Handler>> handlers;
    for (const auto& sub : it->second) handlers.push_back(sub.handler);
    for (const auto& handler : handlers)
        if (*handler) (*handler)(event);
}

int CNotifyCenter::Pump() {
    std::deque<std::shared_ptr<EventArgs>> batch;
    {
        std::lock_guard<std::mutex> guard(m_queueMutex);
        batch.swap(m_queue);
    }
    for (auto& event : batch) FireEvent(*event);
    return static_cast<int>(batch.size());
}

int CNotifyCenter::PumpFor(uint32_t timeoutMs) {
    {
        std::unique_lock<std::mutex> guard(m_queueMutex);
        m_queueCond.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                             [this] { return !m_queue.empty(); });
    }
    return Pump();
}

bool CNotifyGate::FireEventAsync(std::shared_ptr<EventArgs> event) {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (!m_center) return false;
    m_center->FireEventAsync(std::move(event));
    return true;
}

void CNotifyGate::Close() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_center = nullptr;
}
