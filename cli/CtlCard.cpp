#include "CtlCard.h"

#include <chrono>
#include <thread>

#include "AppPaths.h"
#include "DeviceManager.h"
#include "TickCount.h"

void LoopTimerHost::StartTimer(int timerId, uint32_t intervalMs) {
    m_due[timerId] = TickCount() + intervalMs;
}

uint64_t LoopTimerHost::TickCount() {
    return GetTickCountMs();
}

int LoopTimerHost::NextDueInMs() {
    if (m_due.empty()) return -1;
    uint64_t next = UINT64_MAX;
    for (const auto& [id, at] : m_due) next = at < next ? at : next;
    const uint64_t now = TickCount();
    return next <= now ? 0 : static_cast<int>(next - now);
}

void MessageQueue::PostMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_queue.push_back({message, wParam, lParam});
    }
    m_cond.notify_one();
}

bool MessageQueue::Wait(Message& out, int timeoutMs) {
    std::unique_lock<std::mutex> guard(m_mutex);
    if (!m_cond.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                         [this] { return !m_queue.empty(); }))
        return false;
    out = m_queue.front();
    m_queue.pop_front();
    return true;
}

CtlCard::CtlCard() {
    m_session.Protocol().SetNotifyCenter(&m_center, this);
    m_session.Protocol().SetMessageSink(&m_messages);
    CWorkSpace::Context context;
    context.notifyCenter = &m_center;
    context.eventSender = this;
    context.protocol = &m_session.Protocol();
    context.settingsPath = app_paths::SettingsPath();
    m_workspace = std::make_unique<CWorkSpace>(context);
    m_workspace->ConfigureThrottle(&m_timers, kThrottleIntervalMs, kThrottleTimerId);
}

CtlCard::~CtlCard() {
    RunUntilIdle();
    m_session.Protocol().WaitForSender();
    if (m_session.IsConnected())
        m_workspace->SaveLastStatus();  // stores the state and lets the card go
    m_session.Protocol().SetNotifyCenter(nullptr, nullptr);
    m_session.Protocol().SetMessageSink(nullptr);
}

bool CtlCard::Open(const std::string& devicePath) {
    m_noCard = false;
    if (!m_session.Init()) {
        m_error = m_session.LastError();
        return false;
    }
    m_workspace->SetDeviceManager(m_session.Manager());
    m_session.onStartupConnected = [this] { m_workspace->ReadStateFromCard(); };
    m_session.onWorkspaceNotify = [this](bool removed) { m_workspace->OnDeviceChanged(removed); };

    const bool attached =
        devicePath.empty() ? m_session.ConnectAtStartup() : m_session.ConnectPath(devicePath);
    if (!attached) {
        m_noCard = devicePath.empty() && m_session.Builder().FoundCount() == 0;
        m_error = m_session.LastError();
        return false;
    }
    if (!devicePath.empty()) m_workspace->ReadStateFromCard();
    if (!m_workspace->IsConnected()) {
        m_error = "no reply: the card did not accept the connection request";
        return false;
    }
    return true;
}

void CtlCard::RunUntilIdle(int maxMs) {
    const uint64_t deadline = GetTickCountMs() + static_cast<uint64_t>(maxMs);
    // A card that hung up is let go here, on the command's own loop, as on its removal.
    m_session.OnCardGone();
    m_center.Pump();
    while (m_timers.Pending() && GetTickCountMs() < deadline) {
        const int wait = m_timers.NextDueInMs();
        if (wait > 0) SleepMs(static_cast<uint32_t>(wait));
        m_session.OnCardGone();
        m_timers.FireDue([this](int id) { m_workspace->OnTimer(id); });
        m_center.Pump();
    }
}
