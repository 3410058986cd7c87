#pragma once

#include <pulse/pulseaudio.h>

#include <functional>
#include <string>
#include <vector>

#include "AudioStream.h"

namespace audio {

// One connection to the sound server: a threaded mainloop (its own thread) and a context.
// Every libpulse call and every piece of state the mainloop callbacks touch is guarded by the
// mainloop's lock (recursive): public code takes it with Lock, callbacks already hold it.
class PulseConnection {
  public:
    PulseConnection() = default;
    ~PulseConnection();  // disconnects and stops the thread (not on the mainloop thread)
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // RAII lock of the mainloop; never taken on the mainloop thread by our own code.
    class Lock {
      public:
        explicit Lock(PulseConnection& c);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

      private:
        pa_threaded_mainloop* m_loop;
    };

    // Starts the mainloop thread; false when libpulse cannot.
    bool Start();

    // Connects unless already connected (a connection lost earlier is replaced). Bounded by
    // timeoutMs; on failure error says "no sound server: ...". Lock held.
    bool Connect(int timeoutMs, std::string& error);
    bool IsReady() const;  // lock held
    pa_context* Context() const { return m_context; }
    pa_mainloop_api* Api() const;
    // Wakes a thread in Wait; callbacks call it after changing anything a waiter looks at.
    void Signal();
    // Waits (lock held, never on the mainloop thread) until done() or timeoutMs passed; false
    // on timeout. The lock is released while waiting, so callbacks run meanwhile.
    bool Wait(const std::function<bool()>& done, int timeoutMs);
    // Waits for an operation to finish (and unrefs it); false on timeout or a null op.
    bool WaitOperation(pa_operation* op, int timeoutMs);

    // Sinks, non-monitor sources, and the server's defaults. Lock held, connected.
    bool ListOutputs(std::vector<DeviceInfo>& out, int timeoutMs, std::string& error);
    bool ListInputs(std::vector<DeviceInfo>& out, int timeoutMs, std::string& error);
    // Whether a sink (output) or source (input) of that name exists now.
    bool DeviceExists(bool output, const std::string& name, int timeoutMs);

    // The level of the default output: its loudest channel, 1.0 at the server's 100 %
    // (levels above that count as 1.0). Lock held, connected.
    bool DefaultOutputLevel(double& level, int timeoutMs, std::string& error);

    // The text for the context's last error.
    std::string ErrorText() const;

  private:
    void DropContext();
    bool ServerDefaults(std::string& sink, std::string& source, int timeoutMs);
    static void OnContextState(pa_context* c, void* self);

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
};

}  // namespace audio
