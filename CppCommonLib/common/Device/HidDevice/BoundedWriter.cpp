#include "BoundedWriter.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "Log.h"

struct CBoundedWriter::Shared {
    std::mutex mutex;  // guards everything below
    std::condition_variable wake;
    int fd = -1;
    std::vector<uint8_t> report;
    uint64_t requested = 0;  // writes handed over
    uint64_t finished = 0;   // writes done (ok or not)
    bool lastOk = false;
    bool stop = false;
};

CBoundedWriter::CBoundedWriter(int fd) : m_shared(std::make_shared<Shared>()) {
    m_shared->fd = fd >= 0 ? dup(fd) : -1;
    if (m_shared->fd < 0) return;
    m_thread = std::thread(Run, m_shared);
}

CBoundedWriter::~CBoundedWriter() {
    if (!m_thread.joinable()) return;
    bool busy;
    {
        std::lock_guard<std::mutex> guard(m_shared->mutex);
        m_shared->stop = true;
        busy = m_shared->finished != m_shared->requested;
    }
    m_shared->wake.notify_all();
    if (busy) {
        QV_LOG("a write is still in progress; it finishes on its own");
        m_thread.detach();
    } else {
        m_thread.join();
    }
}

void CBoundedWriter::Run(std::shared_ptr<Shared> shared) {
    std::unique_lock<std::mutex> lock(shared->mutex);
    for (;;) {
        shared->wake.wait(lock,
                          [&] { return shared->stop || shared->requested > shared->finished; });
        if (shared->requested == shared->finished) break;  // stopped with nothing to write
        const std::vector<uint8_t> report = shared->report;
        const int fd = shared->fd;
        lock.unlock();
        ssize_t written;
        do {
            written = write(fd, report.data(), report.size());
        } while (written < 0 && errno == EINTR);
        const bool ok = written == static_cast<ssize_t>(report.size());
        if (!ok) QV_LOG("error code %ld", static_cast<long>(written < 0 ? errno : EIO));
        lock.lock();
        shared->lastOk = ok;
        ++shared->finished;
        shared->wake.notify_all();
        if (shared->stop) break;
    }
    close(shared->fd);
    shared->fd = -1;
}

bool CBoundedWriter::Write(const uint8_t* data, size_t size, uint32_t timeoutMs) {
    if (!m_thread.joinable() || !data || size == 0) return false;
    std::unique_lock<std::mutex> lock(m_shared->mutex);
    if (m_shared->finished != m_shared->requested) {
        QV_LOG("the previous write has not finished: the device does not take reports");
        return false;
    }
    m_shared->report.assign(data, data + size);
    const uint64_t ticket = ++m_shared->requested;
    m_shared->wake.notify_all();
    const bool done = m_shared->wake.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                              [&] { return m_shared->finished >= ticket; });
    if (!done) {
        QV_LOG("write did not finish within %u ms", timeoutMs);
        return false;
    }
    return m_shared->lastOk;
}
