#pragma once

#include <pulse/pulseaudio.h>

#include <string>
#include <vector>

#include "LevelMeter.h"
#include "PulseConnection.h"

namespace audio {

// Captures from an input (a source) while open, for its levels. Writing the capture to a file
// comes with the MP3 encoder. Every call with the connection's lock held.
class Recorder {
  public:
    // Told on the mainloop thread (lock held) when the capture stops by itself, with the reason.
    using FailedHandler = void (*)(void* owner, const std::string& error);

    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;

    Recorder(PulseConnection& pulse, FailedHandler failed, void* owner);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // source empty: the server's default input.
    bool Open(const std::string& source, int timeoutMs, std::string& error);
    void Close();
    bool IsOpen() const { return m_stream != nullptr; }
    void Levels(int& left, int& right) const;
    void ReapRetired();

  private:
    static void OnState(pa_stream* s, void* self);
    static void OnRead(pa_stream* s, size_t bytes, void* self);
    std::string FailureText() const;

    PulseConnection& m_pulse;
    FailedHandler m_failed;
    void* m_owner;
    pa_stream* m_stream = nullptr;
    std::vector<pa_stream*> m_retired;
    std::string m_source;
    bool m_ready = false;
    LevelMeter m_meter;
};

}  // namespace audio
