#pragma once

#include <cstdint>
#include <functional>

#include "WorkSpaceInterfaces.h"

// At most one send per interval, with a trailing send by timer: dragging a slider produces
// one batch per interval instead of one frame per pixel.
class CSendThrottle {
  public:
    explicit CSendThrottle(std::function<void()> send) : m_send(std::move(send)) {}

    void Configure(ITimerHost* host, uint32_t intervalMs, int timerId);
    // A change is waiting: send now when the interval has passed, else let the timer do it.
    void Kick();
    // The host's timer fired; true when it was ours.
    bool OnTimer(int timerId);
    bool IsConfigured() const { return m_host != nullptr; }
    // A send failed and its changes wait: the timer sends them again after a back-off that
    // doubles with each failure in a row (1 s up to 8 s), so a card that stopped answering
    // does not hold the UI thread every interval. A change meanwhile sends them sooner.
    void RetryLater();
    void Succeeded() { m_retryMs = kFirstRetryMs; }

  private:
    static constexpr uint32_t kFirstRetryMs = 1000;
    static constexpr uint32_t kLastRetryMs = 8000;

    std::function<void()> m_send;
    ITimerHost* m_host = nullptr;
    uint32_t m_intervalMs = 200;
    int m_timerId = 1000;
    uint64_t m_lastSend = 0;
    bool m_sentOnce = false;
    uint32_t m_retryMs = kFirstRetryMs;
};
