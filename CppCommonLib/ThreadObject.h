#pragma once

#include <cstdint>
#include <memory>
#include <thread>

#include "Event.h"

// Base of the program's worker threads. runningEvent is signalled while Run() executes;
// stopEvent asks Run() to return. Derived classes poll or wait on StopEvent().
class CThreadObject {
  public:
    CThreadObject();
    virtual ~CThreadObject();
    CThreadObject(const CThreadObject&) = delete;
    CThreadObject& operator=(const CThreadObject&) = delete;

    // False when the thread already runs; otherwise starts it and returns once Run() began.
    // keepAlive (the shared pointer that owns this object, if any) is held by the thread
    // until Run() returns, so an owner that lets go of a thread Stop() could not end never
    // frees the object under it; the last owner may then be the thread itself.
    bool Start(std::shared_ptr<void> keepAlive = nullptr);
    // Signals stopEvent and waits up to timeoutMs. A thread that does not end in time cannot
    // be killed safely here (unlike the Windows original); it is left running detached and
    // logged. Always returns true.
    bool Stop(uint32_t timeoutMs);
    bool IsRunning() const { return m_runningEvent->IsSet(); }

  protected:
    virtual void Run() = 0;
    ccm_util::CEvent& StopEvent() { return *m_stopEvent; }
    ccm_util::CEvent& RunningEvent() { return *m_runningEvent; }

  private:
    // Shared with the thread entry so a detached thread never touches freed events.
    std::shared_ptr<ccm_util::CEvent> m_runningEvent;
    std::shared_ptr<ccm_util::CEvent> m_stopEvent;
    std::shared_ptr<ccm_util::CEvent> m_endedEvent;
    std::thread m_thread;
};
