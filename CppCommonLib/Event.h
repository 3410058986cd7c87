#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace ccm_util {

// A waitable event with the semantics of a Win32 event object: manual-reset events stay
// signalled until Reset(); auto-reset events release one waiter and reset themselves.
class CEvent {
  public:
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

    explicit CEvent(bool manualReset, bool initiallySignalled = false)
        : m_manualReset(manualReset), m_signalled(initiallySignalled) {}
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;

    // Waits up to timeoutMs (kInfinite: without limit). True when the event was signalled.
    bool Wait(uint32_t timeoutMs = kInfinite);

  private:
    const bool m_manualReset;
    mutable std::mutex m_mutex;  // guards m_signalled
    std::condition_variable m_cond;
    bool m_signalled;
};

}  // namespace ccm_util
