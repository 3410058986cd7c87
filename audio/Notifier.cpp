#include "Notifier.h"

namespace audio {

void Notifier::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void Notifier::Set(NotifyCallback callback, uint32_t codes, void* context) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_callback = callback;
    m_codes = codes;
    m_context = context;
    m_pending = 0;
    // Started with the first callback: a stream nobody listens to needs no thread.
    if (callback && !m_thread.joinable()) m_thread = std::thread([this] { Run(); });
}

void Notifier::Post(uint32_t code) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_callback || !(m_codes & code)) return;
        m_pending |= code;
    }
    m_wake.notify_all();
}

void Notifier::Cancel() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending = 0;
}

bool Notifier::OnNotifierThread() const {
    return std::this_thread::get_id() == m_thread.get_id();
}

void Notifier::DestroyAfterCallback(std::function<void()> destroy) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_destroy = std::move(destroy);
}

void Notifier::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return m_quit || m_pending != 0; });
        if (m_quit) return;
        const uint32_t codes = m_pending;
        m_pending = 0;
        const NotifyCallback callback = m_callback;
        void* context = m_context;
        lock.unlock();
        for (uint32_t bit = 1; bit != 0; bit <<= 1)
            if ((codes & bit) && callback) callback(m_stream, context, bit, 0, 0);
        lock.lock();
        if (m_destroy) {
            std::function<void()> destroy = std::move(m_destroy);
            m_thread.detach();
            lock.unlock();
            destroy();  // this object is gone from here on
            return;
        }
    }
}

}  // namespace audio
