#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "DeviceSession.h"
#include "NotifyCenter.h"
#include "WorkSpace.h"

// Timers for a command-line loop: the workspace's send throttle runs on them.
class LoopTimerHost : public ITimerHost {
  public:
    void StartTimer(int timerId, uint32_t intervalMs) override;
    void StopTimer(int timerId) override { m_due.erase(timerId); }
    uint64_t TickCount() override;
    bool Pending() const { return !m_due.empty(); }
    // Milliseconds until the next timer is due (0 when one is due, -1 when none).
    int NextDueInMs();
    // Fires every due timer through onFire.
    template <typename F>
    void FireDue(F&& onFire) {
        const uint64_t now = TickCount();
        std::map<int, uint64_t> due = m_due;
        for (const auto& [id, at] : due)
            if (at <= now) onFire(id);
    }

  private:
    std::map<int, uint64_t> m_due;  // timer id -> tick at which it fires
};

// Window messages posted by worker threads (1125 transfer progress and result), queued
// for the command's own loop.
class MessageQueue : public IMessageSink {
  public:
    struct Message {
        uint32_t message;
        uint64_t wParam;
        int64_t lParam;
    };
    void PostMessage(uint32_t message, uint64_t wParam, int64_t lParam) override;
    bool Wait(Message& out, int timeoutMs);

  private:
    std::mutex m_mutex;  // guards m_queue
    std::condition_variable m_cond;
    std::deque<Message> m_queue;
};

// One card for the length of a command, attached the way the panel attaches it, with the
// workspace that mirrors it and keeps its state in the user's settings file. On close the
// last state is stored and the card is let go.
class CtlCard {
  public:
    CtlCard();
    ~CtlCard();
    CtlCard(const CtlCard&) = delete;
    CtlCard& operator=(const CtlCard&) = delete;

    // devicePath empty: the start-up rule (0x61 first, else 0x7B). Reads the card's state.
    bool Open(const std::string& devicePath);
    bool NoCardFound() const { return m_noCard; }
    const std::string& Error() const { return m_error; }

    // Fires throttle timers and delivers posted events until nothing is pending; lets go of a
    // card that hung up meanwhile.
    void RunUntilIdle(int maxMs = 5000);

    CDeviceSession& Session() { return m_session; }
    CWorkSpace& Workspace() { return *m_workspace; }
    CNotifyCenter& Center() { return m_center; }
    LoopTimerHost& Timers() { return m_timers; }
    MessageQueue& Messages() { return m_messages; }

    static constexpr int kThrottleTimerId = 1000;
    static constexpr uint32_t kThrottleIntervalMs = 200;

  private:
    CNotifyCenter m_center;
    LoopTimerHost m_timers;
    MessageQueue m_messages;
    CDeviceSession m_session;
    std::unique_ptr<CWorkSpace> m_workspace;
    bool m_noCard = false;
    std::string m_error;
};
