#include "Recorder.h"

namespace audio {

Recorder::Recorder(PulseConnection& pulse, FailedHandler failed, void* owner)
    : m_pulse(pulse), m_failed(failed), m_owner(owner) {
    m_meter.Configure(kRate, {0, 1});
}

Recorder::~Recorder() {
    Close();
    ReapRetired();
}

bool Recorder::Open(const std::string& source, int timeoutMs, std::string& error) {
    Close();
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kRate, kChannels};
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
    m_meter.Reset();
    if (pa_stream_connect_record(m_stream, source.empty() ? nullptr : source.c_str(), &attr,
                                 PA_STREAM_ADJUST_LATENCY) < 0) {
        error = "cannot open the input: " + m_pulse.ErrorText();
        Close();
        return false;
    }
    pa_stream* stream = m_stream;
    const bool answered = m_pulse.Wait(
        [this, stream] {
            return m_stream != stream || pa_stream_get_state(stream) != PA_STREAM_CREATING;
        },
        timeoutMs);
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
    if (!m_stream) return;
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_set_read_callback(m_stream, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream))) pa_stream_disconnect(m_stream);
    m_retired.push_back(m_stream);  // callbacks may be running on it
    m_stream = nullptr;
    m_ready = false;
    m_meter.Reset();
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
        r->Close();
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
        // A hole (data null) carries no samples.
        if (data) r->m_meter.Feed(static_cast<const float*>(data), size / (kChannels * 4));
        pa_stream_drop(s);
    }
}

void Recorder::Levels(int& left, int& right) const {
    left = right = 0;
    if (m_stream) m_meter.Levels(left, right);
}

}  // namespace audio
