#include "ThreadObject.h"

#include "Log.h"

using ccm_util::CEvent;

CThreadObject::CThreadObject()
    : m_runningEvent(std::make_shared<CEvent>(true)),
      m_stopEvent(std::make_shared<CEvent>(true)),
      m_endedEvent(std::make_shared<CEvent>(true)) {}

CThreadObject::~CThreadObject() {
    // Run() of a derived class is gone by now; the derived destructor must have stopped
    // the thread. This is the last line of defence for a base-only object.
    Stop(1000);
}

bool CThreadObject::Start(std::shared_ptr<void> keepAlive) {
    if (m_runningEvent->IsSet()) return false;
    if (m_thread.joinable()) m_thread.join();  // a previous run that ended by itself
    auto running = m_runningEvent;
    auto stop = m_stopEvent;
    auto ended = m_endedEvent;
    ended->Reset();
    stop->Reset();
    running->Set();
    m_thread = std::thread([this, running, ended, keepAlive = std::move(keepAlive)]() mutable {
        Run();
        running->Reset();
        ended->Set();
        // Last: the owner may be this thread now, and the object may go with the pointer.
        keepAlive.reset();
    });
    return true;
}

bool CThreadObject::Stop(uint32_t timeoutMs) {
    if (!m_thread.joinable()) return true;
    m_stopEvent->Set();
    if (m_endedEvent->Wait(timeoutMs)) {
        m_thread.join();
    } else {
        QV_LOG("thread did not end within %u ms; left detached", timeoutMs);
        m_thread.detach();
        m_runningEvent->Reset();
    }
    return true;
}
