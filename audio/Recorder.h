#pragma once

#include <pulse/pulseaudio.h>

#include <string>
#include <vector>

#include "LevelMeter.h"
#include "Mp3Writer.h"
#include "PulseConnection.h"

namespace audio {

// Captures from an input (a source) while open, for its levels, and once started writes the
// capture to an MP3 file. Every call with the connection's lock held.
//
// The encoding runs in the read callback on the mainloop thread: LAME needs about 1 % of a core
// for 48 kHz stereo (a 20 ms fragment in a quarter of a millisecond), so the lock is held only
// briefly, every piece of recording state stays under the connection's one lock, and no
// second copy of the audio or hand-over to another thread is needed. While a callback is late
// (a slow write), the server keeps the capture in the stream's buffer (seconds of it), so a
// stall loses nothing; the public calls wait for the lock meanwhile.
class Recorder {
  public:
    // Told on the mainloop thread (lock held) when the capture or the recording stops by
    // itself, with the reason.
    using FailedHandler = void (*)(void* owner, const std::string& error);

    static constexpr int kChannels = 2;
    static constexpr int kFallbackRate = 44100;  // for sources at other rates

    Recorder(PulseConnection& pulse, FailedHandler failed, void* owner);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // source empty: the server's default input. Captures at the source's own rate when it is
    // 44100 or 48000 Hz, else at kFallbackRate (the server converts).
    bool Open(const std::string& source, int timeoutMs, std::string& error);
    // Stops the capture and finishes the file (its errors are dropped: FinishFile reports).
    void Close();
    bool IsOpen() const { return m_stream != nullptr; }
    int Rate() const { return m_rate; }

    // Creates the MP3 file the capture goes to once started; a file being written is finished
    // first and the recording waits for Start again.
    bool RecordTo(const std::string& path, std::string& error);
    // Begins the recording: captured audio goes to the file from now on (before, it only
    // feeds the levels). False when the input is not open or the file has failed.
    bool Start(std::string& error);
    // Ends the recording and completes the file; false with the reason when its last bytes
    // could not be written. True when no file is open.
    bool FinishFile(std::string& error);
    // Started, the capture alive and the file not failed.
    bool Recording() const { return m_started && m_stream && !(m_hasFile && m_writer.Failed()); }
    // MP3 bytes written to the file of the last RecordTo (kept after the recording ended).
    uint64_t RecordedBytes() const { return m_hasFile ? m_writer.BytesWritten() : 0; }

    void Levels(int& left, int& right) const;
    void ReapRetired();

  private:
    static void OnState(pa_stream* s, void* self);
    static void OnRead(pa_stream* s, size_t bytes, void* self);
    std::string FailureText() const;
    int SourceRate(const std::string& source, int timeoutMs);
    void Record(const float* frames, size_t count);

    PulseConnection& m_pulse;
    FailedHandler m_failed;
    void* m_owner;
    pa_stream* m_stream = nullptr;
    std::vector<pa_stream*> m_retired;
    std::string m_source;
    bool m_ready = false;
    int m_rate = kFallbackRate;
    LevelMeter m_meter;
    Mp3Writer m_writer;
    bool m_hasFile = false;  // RecordTo succeeded since the last Open
    bool m_started = false;
};

}  // namespace audio
