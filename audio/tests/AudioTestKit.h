#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Test clips, a capture of what a sink plays, and measures of captured signals: shared by the
// audio tests and the audio benchmark.
namespace audiokit {

constexpr int kRate = 48000;  // the private daemon's sinks run at this rate: no resampling

// Interleaved float frames of a sine whose frequency may change over time (phase-continuous).
std::vector<float> Tone(double seconds, double amplitude, const std::function<double(double)>& hz,
                        int channels = 2, int rate = kRate);
std::vector<float> Tone(double seconds, double amplitude, double hz, int channels = 2,
                        int rate = kRate);

// Writes a clip with libsndfile: "wav" (16-bit PCM) or "mp3" (its MPEG layer III writer).
bool WriteClip(const std::string& path, const std::string& kind, const std::vector<float>& frames,
               int channels = 2, int rate = kRate, std::string* error = nullptr);
// Whether this libsndfile can write MP3.
bool CanWriteMp3();
std::vector<unsigned char> ReadBytes(const std::string& path);

// Records a source of the PULSE_SERVER daemon (float, stereo, kRate) on a thread of its own.
class Capture {
  public:
    Capture() = default;
    ~Capture() { Stop(); }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    // Starts recording and waits (bounded) until the first samples came in.
    bool Start(const std::string& source, std::string* error = nullptr);
    void Stop();
    size_t Frames() const;
    std::vector<float> Samples() const;
    // Waits until at least frames have been recorded; false on timeout or a capture error.
    bool WaitForFrames(size_t frames, int timeoutMs) const;
    // Waits until a sample from frame `from` on is above threshold; returns its frame or -1.
    long WaitForSound(size_t from, float threshold, int timeoutMs) const;
    bool Failed() const { return m_failed; }

  private:
    void Run(void* simple);

    mutable std::mutex m_mutex;
    std::vector<float> m_samples;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_failed{false};
};

// Measures over interleaved stereo frames [from, to).
float Peak(const std::vector<float>& s, int channel, size_t from, size_t to);
// First / last frame with a sample above threshold on any channel; -1 when none.
long FirstAbove(const std::vector<float>& s, float threshold, size_t from = 0);
long LastAbove(const std::vector<float>& s, float threshold);
// Frequency of a channel from its rising zero crossings (interpolated).
double Frequency(const std::vector<float>& s, int channel, size_t from, size_t to,
                 int rate = kRate);

// Polls cond (every 2 ms) until it holds or timeoutMs passed.
bool WaitUntil(const std::function<bool()>& cond, int timeoutMs);

}  // namespace audiokit
