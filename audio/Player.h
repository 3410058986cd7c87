#pragma once

#include <pulse/pulseaudio.h>

#include <memory>
#include <string>
#include <vector>

#include "Decoder.h"
#include "LevelMeter.h"
#include "PulseConnection.h"

namespace audio {

// Plays one clip at a time into a sink: decodes on the mainloop thread as the server asks for
// data (float samples at the clip's own rate and channels; the server converts), applies the
// gain, and drains at the end. Every call with the connection's lock held.
class Player {
  public:
    // Told on the mainloop thread (lock held) when a started clip stops by itself: error is
    // empty when it played to its end, else the reason.
    using EndedHandler = void (*)(void* owner, const std::string& error);

    Player(PulseConnection& pulse, EndedHandler ended, void* owner);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Stops what plays and takes the clip (null: none).
    void SetClip(std::unique_ptr<Decoder> clip);
    const Decoder* Clip() const { return m_clip.get(); }

    // Plays from the current position (the start, or where Seek put it). sink empty: the
    // server's default.
    bool Start(const std::string& sink, int timeoutMs, std::string& error);
    // Discards what was sent and rewinds; no end is told.
    void Stop();
    // To that many seconds from the start; while playing, what the server holds is dropped.
    bool Seek(double seconds, int timeoutMs, std::string& error);
    bool Running() const { return m_running; }
    // The frame being heard now (what was sent minus what the server still holds).
    uint64_t PositionFrames() const;
    // Linear gains per side, applied to samples sent from now on.
    void SetGain(float left, float right);
    void Levels(int& left, int& right) const;
    // Frees streams that ended inside callbacks.
    void ReapRetired();

  private:
    static void OnState(pa_stream* s, void* self);
    static void OnWrite(pa_stream* s, size_t bytes, void* self);
    static void OnDrained(pa_stream* s, int success, void* self);
    bool OpenStream(int timeoutMs, std::string& error);
    void Write(size_t bytes);
    void Finish(const std::string& error);
    void RetireStream();
    void CancelDrain();
    void Rewind(uint64_t frame);
    std::string FailureText() const;

    PulseConnection& m_pulse;
    EndedHandler m_ended;
    void* m_owner;
    std::unique_ptr<Decoder> m_clip;
    pa_stream* m_stream = nullptr;
    std::vector<pa_stream*> m_retired;
    pa_operation* m_drain = nullptr;
    std::string m_sink;
    bool m_running = false;
    bool m_ready = false;  // the stream reached READY: a failure from now on ends playback
    bool m_endOfClip = false;
    uint64_t m_baseFrame = 0;  // the clip frame the stream's first sent frame is
    uint64_t m_sentFrames = 0;
    std::vector<int> m_sides;  // per channel: 0 left, 1 right, 2 both
    float m_gain[2] = {1.0f, 1.0f};
    LevelMeter m_meter;
};

}  // namespace audio
