#pragma once

#include <mutex>

namespace ccm_util {

// Critical-section lock. Recursive like the Windows critical section it stands for, so a
// holder may call back into code that takes the same lock.
class CLock {
  public:
    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }
    bool TryLock() { return m_mutex.try_lock(); }

    // BasicLockable, so std::lock_guard<CLock> works.
    void lock() { Lock(); }
    void unlock() { Unlock(); }

  private:
    std::recursive_mutex m_mutex;
};

// Scope guard: locks on construction, unlocks on destruction.
class CAutoLock {
  public:
    explicit CAutoLock(CLock& lock) : m_lock(lock) { m_lock.Lock(); }
    ~CAutoLock() { m_lock.Unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

  private:
    CLock& m_lock;
};

}  // namespace ccm_util
