#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "AudioStream.h"

namespace audio {

// Delivers the stream's notify callback on a thread of its own, holding no lock of the stream,
// so the callback may call the stream (even Release). Post is cheap and never blocks on the
// callback: the mainloop thread posts.
class Notifier {
  public:
    explicit Notifier(void* stream) : m_stream(stream) {}
    ~Notifier() { Shutdown(); }
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    void Set(NotifyCallback callback, uint32_t codes, void* context);
    // Queues code for the callback (if the callback asked for it).
    void Post(uint32_t code);
    // Forgets what was posted and not yet delivered.
    void Cancel();
    bool OnNotifierThread() const;
    // Ends the thread after a callback in progress returns (the callback may still call the
    // stream meanwhile); nothing is delivered after it. Not from inside the callback.
    void Shutdown();
    // Release came from inside the callback: once it returns, the thread runs destroy (which
    // deletes the owner, this included) and ends.
    void DestroyAfterCallback(std::function<void()> destroy);

  private:
    void Run();

    void* m_stream;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    NotifyCallback m_callback = nullptr;
    uint32_t m_codes = 0;
    void* m_context = nullptr;
    uint32_t m_pending = 0;
    bool m_quit = false;
    std::function<void()> m_destroy;
};

}  // namespace audio
