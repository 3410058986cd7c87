#pragma once

#include <atomic>
#include <functional>
#include <thread>

// One worker thread of the upgrade at a time, with a stop flag its phase watches. The
// dialog starts the next phase only after the last one has posted its result.
namespace firmware {

class CUpgradeWorker {
  public:
    using Body = std::function<void(const std::atomic<bool>& stop)>;

    CUpgradeWorker() = default;
    ~CUpgradeWorker() { Stop(); }
    CUpgradeWorker(const CUpgradeWorker&) = delete;
    CUpgradeWorker& operator=(const CUpgradeWorker&) = delete;

    // Waits for the previous body to end, then runs body on a new thread.
    void Start(Body body);
    bool Busy() const { return m_busy.load(); }
    // Asks the body to end and waits for it. Every phase's waits and transfers watch the flag,
    // so this takes at most about a second (a stalled download's next progress call).
    void Stop();

  private:
    void Join();

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_busy{false};
};

}  // namespace firmware
