#include "Recorder.h"

#include <algorithm>
#include <chrono>

namespace audio {

namespace {

struct SourceFormat {
    PulseConnection* connection;
    uint32_t rate = 0;
};

void OnSourceFormat(pa_context*, const pa_source_info* info, int eol, void* user) {
    auto* found = static_cast<SourceFormat*>(user);
    if (eol == 0 && info) found->rate = info->sample_spec.rate;
    found->connection->Signal();
}

}  // namespace

Recorder::Recorder(PulseConnection& pulse, FailedHandler failed, void* owner)
    : m_pulse(pulse), m_failed(failed), m_owner(owner) {
    m_meter.Configure(m_rate, {0, 1});
}

Recorder::~Recorder() {
    Close();
    ReapRetired();
}

int Recorder::SourceRate(const std::string& source, int timeoutMs) {
    SourceFormat found{&m_pulse};
    pa_operation* op = pa_context_get_source_info_by_name(
        m_pulse.Context(), source.empty() ? "@DEFAULT_SOURCE@" : source.c_str(), &OnSourceFormat,
        &found);
    // Unknown (no answer, no such source): the fallback; a missing source fails the connect.
    m_pulse.WaitOperation(op, timeoutMs);
    return found.rate == 44100 || found.rate == 48000 ? static_cast<int>(found.rate)
                                                      : kFallbackRate;
}

bool Recorder::Open(const std::string& source, int timeoutMs, std::string& error) {
    Close();
    m_hasFile = false;
    // One deadline for the question and the connect.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    m_rate = SourceRate(source, timeoutMs);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const int connectMs = std::max(1, static_cast<int>(left.count()));
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(m_rate), kChannels};
    m_stream = pa_stream_new(m_pulse.Context(), "line input", &format, nullptr);
    if (!m_stream) {
        error = "cannot open the input: " + m_pulse.ErrorText();
        return false;
    }
    pa_stream_set_state_callback(m_stream, &Recorder::OnState, this);
    pa_stream_set_read_callback(m_stream, &Recorder::OnRead, this);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = attr.prebuf = attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(20 * PA_USEC_PER_MSEC, &format));
    m_source = source;
    m_ready = false;
    m_meter.Configure(m_rate, {0, 1});
    // A selected input that goes away ends the capture: the server would move it to another
    // input, and the card's recording would go on from whatever microphone that is.
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                      (source.empty() ? 0 : PA_STREAM_DONT_MOVE));
    if (pa_stream_connect_record(m_stream, source.empty() ? nullptr : source.c_str(), &attr,
                                 flags) < 0) {
        error = "cannot open the input: " + m_pulse.ErrorText();
        Close();
        return false;
    }
    pa_stream* stream = m_stream;
    const bool answered = m_pulse.Wait(
        [this, stream] {
            return m_stream != stream || pa_stream_get_state(stream) != PA_STREAM_CREATING;
        },
        connectMs);
    if (m_stream == stream && m_ready) return true;
    error = answered ? FailureText()
                     : "cannot open the input: no answer from the sound server within " +
                           std::to_string(timeoutMs) + " ms";
    Close();
    return false;
}

std::string Recorder::FailureText() const {
    if (!m_pulse.IsReady()) return "sound server connection lost: " + m_pulse.ErrorText();
    const int code = pa_context_errno(m_pulse.Context());
    if (code == PA_ERR_NOENTITY || code == PA_ERR_KILLED)
        return "input device gone: " + (m_source.empty() ? std::string("default") : m_source);
    return std::string("capture failed: ") + pa_strerror(code);
}

void Recorder::Close() {
    std::string ignored;
    FinishFile(ignored);
    if (!m_stream) return;
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_set_read_callback(m_stream, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream))) pa_stream_disconnect(m_stream);
    m_retired.push_back(m_stream);  // callbacks may be running on it
    m_stream = nullptr;
    m_ready = false;
    m_meter.Reset();
}

bool Recorder::RecordTo(const std::string& path, std::string& error) {
    if (!m_stream) {
        error = "the line input is not open";
        return false;
    }
    std::string ignored;
    FinishFile(ignored);
    m_hasFile = m_writer.Open(path, m_rate, kChannels, error);
    return m_hasFile;
}

bool Recorder::Start(std::string& error) {
    if (!m_stream) {
        error = "the line input is not open";
        return false;
    }
    if (m_hasFile && m_writer.Failed()) {
        error = m_writer.FailureText();
        return false;
    }
    m_started = true;
    return true;
}

bool Recorder::FinishFile(std::string& error) {
    m_started = false;
    return !m_writer.IsOpen() || m_writer.Close(error);
}

void Recorder::ReapRetired() {
    for (pa_stream* s : m_retired) pa_stream_unref(s);
    m_retired.clear();
}

void Recorder::OnState(pa_stream* s, void* self) {
    auto* r = static_cast<Recorder*>(self);
    if (s != r->m_stream) return;
    const pa_stream_state_t state = pa_stream_get_state(s);
    if (state == PA_STREAM_READY) r->m_ready = true;
    if (!PA_STREAM_IS_GOOD(state) && r->m_ready) {
        const std::string error = r->FailureText();
        r->Close();  // the file keeps what was recorded
        r->m_failed(r->m_owner, error);
    }
    r->m_pulse.Signal();
}

void Recorder::OnRead(pa_stream* s, size_t, void* self) {
    auto* r = static_cast<Recorder*>(self);
    const void* data = nullptr;
    size_t size = 0;
    while (s == r->m_stream && pa_stream_readable_size(s) > 0 &&
           pa_stream_peek(s, &data, &size) == 0 && size > 0) {
        const size_t frames = size / (kChannels * sizeof(float));
        const auto* samples = static_cast<const float*>(data);
        // A hole (data null) carries no samples: it is recorded as silence of its length.
        if (samples) r->m_meter.Feed(samples, frames);
        if (r->m_started && r->m_writer.IsOpen()) r->Record(samples, frames);
        pa_stream_drop(s);
    }
}

void Recorder::Record(const float* frames, size_t count) {
    static constexpr size_t kSilenceFrames = 512;
    static constexpr float kSilence[kSilenceFrames * kChannels] = {};
    std::string error;
    bool ok = true;
    if (frames) {
        ok = m_writer.Write(frames, count, error);
    } else {
        for (size_t n = 0; ok && count > 0; count -= n) {
            n = std::min(count, kSilenceFrames);
            ok = m_writer.Write(kSilence, n, error);
        }
    }
    if (ok) return;
    // The recording stops; the file keeps what was written, the capture goes on for the levels.
    std::string ignored;
    m_writer.Close(ignored);
    m_started = false;
    m_failed(m_owner, error);
}

void Recorder::Levels(int& left, int& right) const {
    left = right = 0;
    if (m_stream) m_meter.Levels(left, right);
}

}  // namespace audio
