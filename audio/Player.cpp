#include "Player.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace audio {

namespace {

// The server keeps about this much audio ahead of what is heard: seeks, volume changes and
// Stop take effect within it.
constexpr pa_usec_t kBufferUsec = 100 * PA_USEC_PER_MSEC;

bool ChannelMapFor(int channels, pa_channel_map& map) {
    if (pa_channel_map_init_auto(&map, static_cast<unsigned>(channels), PA_CHANNEL_MAP_DEFAULT))
        return true;
    return pa_channel_map_init_extend(&map, static_cast<unsigned>(channels),
                                      PA_CHANNEL_MAP_DEFAULT) != nullptr;
}

// Which side's gain and meter a channel belongs to, from its position's name.
std::vector<int> SidesOf(const pa_channel_map& map) {
    std::vector<int> sides;
    for (unsigned c = 0; c < map.channels; ++c) {
        const char* name = pa_channel_position_to_string(map.map[c]);
        const bool left = name && std::strstr(name, "left");
        const bool right = name && std::strstr(name, "right");
        sides.push_back(left ? 0 : right ? 1 : 2);
    }
    return sides;
}

}  // namespace

Player::Player(PulseConnection& pulse, EndedHandler ended, void* owner)
    : m_pulse(pulse), m_ended(ended), m_owner(owner) {}

Player::~Player() {
    Stop();
    ReapRetired();
}

void Player::SetClip(std::unique_ptr<Decoder> clip) {
    Stop();
    m_clip = std::move(clip);
    m_sides.clear();
    pa_channel_map map;
    if (m_clip && ChannelMapFor(m_clip->Channels(), map)) m_sides = SidesOf(map);
    m_meter.Configure(m_clip ? m_clip->Rate() : 48000, m_sides);
}

void Player::Rewind(uint64_t frame) {
    if (m_clip) m_clip->Seek(frame);
    m_baseFrame = frame;
    m_sentFrames = 0;
    m_endOfClip = false;
    m_meter.Reset();
}

bool Player::Start(const std::string& sink, int timeoutMs, std::string& error) {
    if (m_running) return true;
    if (!m_clip) {
        error = "nothing to play: open a clip first";
        return false;
    }
    m_sink = sink;
    m_running = true;
    if (OpenStream(timeoutMs, error)) return true;
    m_running = false;
    return false;
}

bool Player::OpenStream(int timeoutMs, std::string& error) {
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(m_clip->Rate()),
                                static_cast<uint8_t>(std::min(m_clip->Channels(), 255))};
    pa_channel_map map;
    if (!pa_sample_spec_valid(&format) || m_clip->Channels() > static_cast<int>(PA_CHANNELS_MAX) ||
        !ChannelMapFor(m_clip->Channels(), map)) {
        error = "cannot play " + std::to_string(m_clip->Channels()) + " channels at " +
                std::to_string(m_clip->Rate()) + " Hz";
        return false;
    }
    m_stream = pa_stream_new(m_pulse.Context(), "clip", &format, &map);
    if (!m_stream) {
        error = "cannot start playback: " + m_pulse.ErrorText();
        return false;
    }
    pa_stream_set_state_callback(m_stream, &Player::OnState, this);
    pa_stream_set_write_callback(m_stream, &Player::OnWrite, this);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kBufferUsec, &format));
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    m_ready = false;
    m_sentFrames = 0;
    m_endOfClip = false;
    if (pa_stream_connect_playback(m_stream, m_sink.empty() ? nullptr : m_sink.c_str(), &attr,
                                   flags, nullptr, nullptr) < 0) {
        error = "cannot start playback: " + m_pulse.ErrorText();
        RetireStream();
        return false;
    }
    pa_stream* stream = m_stream;
    const bool answered = m_pulse.Wait(
        [this, stream] {
            return m_stream != stream || !m_running ||
                   pa_stream_get_state(stream) != PA_STREAM_CREATING;
        },
        timeoutMs);
    // A very short clip may already have played and ended here: that is a success.
    if (m_stream != stream || m_ready) return true;
    error = !answered ? "cannot start playback: no answer from the sound server within " +
                            std::to_string(timeoutMs) + " ms"
                      : FailureText();
    RetireStream();
    return false;
}

std::string Player::FailureText() const {
    if (!m_pulse.IsReady()) return "sound server connection lost: " + m_pulse.ErrorText();
    const int code = pa_context_errno(m_pulse.Context());
    if (code == PA_ERR_NOENTITY || code == PA_ERR_KILLED)
        return "output device gone: " + (m_sink.empty() ? std::string("default") : m_sink);
    return std::string("playback failed: ") + pa_strerror(code);
}

void Player::OnState(pa_stream* s, void* self) {
    auto* p = static_cast<Player*>(self);
    if (s != p->m_stream) return;
    const pa_stream_state_t state = pa_stream_get_state(s);
    if (state == PA_STREAM_READY) p->m_ready = true;
    if (!PA_STREAM_IS_GOOD(state) && p->m_ready) p->Finish(p->FailureText());
    p->m_pulse.Signal();
}

void Player::OnWrite(pa_stream* s, size_t bytes, void* self) {
    auto* p = static_cast<Player*>(self);
    if (s == p->m_stream) p->Write(bytes);
}

void Player::Write(size_t bytes) {
    const size_t channels = static_cast<size_t>(m_clip->Channels());
    const size_t frameBytes = channels * sizeof(float);
    float gains[3] = {m_gain[0], m_gain[1], (m_gain[0] + m_gain[1]) / 2};
    while (!m_endOfClip && bytes >= frameBytes) {
        void* data = nullptr;
        size_t size = bytes;
        if (pa_stream_begin_write(m_stream, &data, &size) < 0 || !data) return;
        const size_t frames = std::min(size, bytes) / frameBytes;
        auto* samples = static_cast<float*>(data);
        const size_t got = m_clip->Read(samples, frames);
        if (got == 0) {
            pa_stream_cancel_write(m_stream);
            m_endOfClip = true;
            break;
        }
        for (size_t f = 0; f < got; ++f)
            for (size_t c = 0; c < channels; ++c) samples[f * channels + c] *= gains[m_sides[c]];
        m_meter.Feed(samples, got);
        pa_stream_write(m_stream, data, got * frameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        m_sentFrames += got;
        bytes -= got * frameBytes;
    }
    // Drain plays out what the server holds (even below its start threshold), then ends.
    if (m_endOfClip && !m_drain) m_drain = pa_stream_drain(m_stream, &Player::OnDrained, this);
}

void Player::OnDrained(pa_stream* s, int success, void* self) {
    auto* p = static_cast<Player*>(self);
    if (s != p->m_stream || !p->m_drain) return;
    pa_operation_unref(p->m_drain);
    p->m_drain = nullptr;
    if (success) p->Finish("");
}

void Player::CancelDrain() {
    if (!m_drain) return;
    pa_operation_cancel(m_drain);
    pa_operation_unref(m_drain);
    m_drain = nullptr;
}

void Player::RetireStream() {
    CancelDrain();
    if (!m_stream) return;
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_set_write_callback(m_stream, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream))) pa_stream_disconnect(m_stream);
    // Callbacks may be running on this stream: free it on the next public call.
    m_retired.push_back(m_stream);
    m_stream = nullptr;
    m_ready = false;
}

void Player::ReapRetired() {
    for (pa_stream* s : m_retired) pa_stream_unref(s);
    m_retired.clear();
}

void Player::Finish(const std::string& error) {
    if (!m_running) return;
    m_running = false;
    RetireStream();
    Rewind(0);
    m_ended(m_owner, error);
}

void Player::Stop() {
    m_running = false;
    RetireStream();
    Rewind(0);
}

bool Player::Seek(double seconds, int timeoutMs, std::string& error) {
    if (!m_clip) {
        error = "cannot seek: nothing is open";
        return false;
    }
    if (!std::isfinite(seconds)) seconds = 0;
    auto frame = static_cast<uint64_t>(std::llround(std::max(seconds, 0.0) * m_clip->Rate()));
    if (m_clip->Frames() > 0) frame = std::min(frame, m_clip->Frames());
    CancelDrain();
    if (!m_clip->Seek(frame)) {
        error = "cannot seek to " + std::to_string(seconds) + " s";
        return false;
    }
    Rewind(frame);
    if (!m_running) return true;
    // A new stream from the new position: the old one goes with all the server still held of
    // it. (Flushing the old stream instead leaves the server asking for data it then drops:
    // the rest of the clip was written away within milliseconds.)
    RetireStream();
    if (OpenStream(timeoutMs, error)) return true;
    m_running = false;
    Rewind(0);
    return false;
}

uint64_t Player::PositionFrames() const {
    if (!m_stream || !m_ready) return m_baseFrame;
    pa_usec_t latency = 0;
    int negative = 0;
    uint64_t held = m_sentFrames;  // before the first timing report nothing counts as heard
    if (pa_stream_get_latency(m_stream, &latency, &negative) == 0)
        held = negative ? 0
                        : static_cast<uint64_t>(latency) * static_cast<uint64_t>(m_clip->Rate()) /
                              PA_USEC_PER_SEC;
    uint64_t position = m_baseFrame + (m_sentFrames > held ? m_sentFrames - held : 0);
    if (m_clip->Frames() > 0) position = std::min(position, m_clip->Frames());
    return position;
}

void Player::SetGain(float left, float right) {
    m_gain[0] = left;
    m_gain[1] = right;
}

void Player::Levels(int& left, int& right) const {
    left = right = 0;
    if (m_running) m_meter.Levels(left, right);
}

}  // namespace audio
