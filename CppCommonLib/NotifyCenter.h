#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "UiEvents.h"

// The notification centre's contract: subscribers register by event id on the owning (UI)
// thread; FireEventAsync may be called from any thread and delivers on the owning thread
// later; FireEvent delivers at once and is for the owning thread only.
class INotifyCenter {
  public:
    using Handler = std::function<void(EventArgs&)>;
    virtual ~INotifyCenter() = default;

    // Returns a token for Unsubscribe (> 0).
    virtual int Subscribe(int eventId, const char* name, Handler handler) = 0;
    virtual void Unsubscribe(int token) = 0;
    virtual void FireEventAsync(std::shared_ptr<EventArgs> event) = 0;
    virtual void FireEvent(EventArgs& event) = 0;
};

// A centre that may go away before a worker posting to it has ended: the worker holds the
// gate, the owner closes it before the centre goes, and posts made after that are dropped.
class CNotifyGate {
  public:
    explicit CNotifyGate(INotifyCenter& center) : m_center(&center) {}
    CNotifyGate(const CNotifyGate&) = delete;
    CNotifyGate& operator=(const CNotifyGate&) = delete;

    // False (event dropped) once closed.
    bool FireEventAsync(std::shared_ptr<EventArgs> event);
    // Waits for a post in progress; nothing reaches the centre afterwards.
    void Close();

  private:
    std::mutex m_mutex;  // guards m_center
    INotifyCenter* m_center;
};

// Window-message sink: the stand-in for posting a private message to a window (1125 with
// wParam 3/7 to the main window, ...). Any thread may post; delivery is the owner's business.
class IMessageSink {
  public:
    virtual ~IMessageSink() = default;
    virtual void PostMessage(uint32_t message, uint64_t wParam, int64_t lParam) = 0;
};

// Core notification centre for tests and the command-line tool: events posted from other
// threads wait in a queue until the owning thread pumps it.
class CNotifyCenter : public INotifyCenter {
  public:
    CNotifyCenter();

    int Subscribe(int eventId, const char* name, Handler handler) override;
    void Unsubscribe(int token) override;
    void FireEventAsync(std::shared_ptr<EventArgs> event) override;
    void FireEvent(EventArgs& event) override;

    // Delivers every queued event on the calling thread; returns how many were delivered.
    int Pump();
    // Waits up to timeoutMs for at least one queued event, then pumps.
    int PumpFor(uint32_t timeoutMs);

  private:
    struct Subscription {
        int token;
        std::shared_ptr<Handler> handler;
    };

    std::mutex m_queueMutex;  // guards m_queue
    std::condition_variable m_queueCond;
    std::deque<std::shared_ptr<EventArgs>> m_queue;

    // Touched by the owning thread only.
    std::map<int, std::vector<Subscription>> m_subscribers;
    int m_nextToken = 1;
};
