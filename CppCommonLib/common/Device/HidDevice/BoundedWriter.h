#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>

// Writes whole reports to a descriptor whose write() may block for long (a hidraw node: the
// kernel waits for the USB output report, up to its own timeout, whatever O_NONBLOCK says),
// without ever blocking the caller longer than it asks. The writes run on a thread of their
// own; a write that has not finished in time is reported as failed and finishes in the
// background, and until it has, further writes fail at once.
class CBoundedWriter {
  public:
    // Takes a duplicate of fd, so the caller may close its own at any time.
    explicit CBoundedWriter(int fd);
    // Does not wait for a write stuck in the kernel: the thread finishes it on its own,
    // then closes its descriptor.
    ~CBoundedWriter();
    CBoundedWriter(const CBoundedWriter&) = delete;
    CBoundedWriter& operator=(const CBoundedWriter&) = delete;

    bool Ok() const { return m_thread.joinable(); }
    // True when all size bytes were written within timeoutMs.
    bool Write(const uint8_t* data, size_t size, uint32_t timeoutMs);

  private:
    struct Shared;
    static void Run(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};
