#include "AudioTestKit.h"

#include <pulse/error.h>
#include <pulse/simple.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>

namespace audiokit {

std::vector<float> Tone(double seconds, double amplitude, const std::function<double(double)>& hz,
                        int channels, int rate) {
    const auto frames = static_cast<size_t>(std::llround(seconds * rate));
    std::vector<float> out(frames * static_cast<size_t>(channels));
    double phase = 0;
    for (size_t f = 0; f < frames; ++f) {
        const auto v = static_cast<float>(amplitude * std::sin(phase));
        for (int c = 0; c < channels; ++c) out[f * static_cast<size_t>(channels) + c] = v;
        phase += 2 * std::numbers::pi * hz(static_cast<double>(f) / rate) / rate;
        if (phase > 2 * std::numbers::pi) phase -= 2 * std::numbers::pi;
    }
    return out;
}

std::vector<float> Tone(double seconds, double amplitude, double hz, int channels, int rate) {
    return Tone(
        seconds, amplitude, [hz](double) { return hz; }, channels, rate);
}

bool WriteClip(const std::string& path, const std::string& kind, const std::vector<float>& frames,
               int channels, int rate, std::string* error) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = kind == "mp3" ? SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III
                                : SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        if (error) *error = sf_strerror(nullptr);
        return false;
    }
    const auto count = static_cast<sf_count_t>(frames.size() / static_cast<size_t>(channels));
    const bool ok = sf_writef_float(file, frames.data(), count) == count;
    if (!ok && error) *error = sf_strerror(file);
    sf_close(file);
    return ok;
}

bool CanWriteMp3() {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    return sf_format_check(&info) != 0;
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Capture::Start(const std::string& source, std::string* error) {
    Stop();
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kRate, 2};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(5000, &format));  // 5 ms
    int code = 0;
    pa_simple* simple = pa_simple_new(nullptr, "lw52-test-capture", PA_STREAM_RECORD,
                                      source.c_str(), "capture", &format, nullptr, &attr, &code);
    if (!simple) {
        if (error) *error = std::string("cannot record ") + source + ": " + pa_strerror(code);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_samples.clear();
    }
    m_stop = false;
    m_failed = false;
    m_thread = std::thread([this, simple] { Run(simple); });
    if (WaitForFrames(kRate / 50, 5000)) return true;
    if (error) *error = "no samples from " + source;
    Stop();
    return false;
}

void Capture::Run(void* handle) {
    auto* simple = static_cast<pa_simple*>(handle);
    std::vector<float> chunk(kRate / 200 * 2);  // 5 ms
    while (!m_stop) {
        int code = 0;
        if (pa_simple_read(simple, chunk.data(), chunk.size() * sizeof(float), &code) < 0) {
            m_failed = true;
            break;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_samples.insert(m_samples.end(), chunk.begin(), chunk.end());
    }
    pa_simple_free(simple);
}

void Capture::Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

size_t Capture::Frames() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_samples.size() / 2;
}

std::vector<float> Capture::Samples() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_samples;
}

bool Capture::WaitForFrames(size_t frames, int timeoutMs) const {
    return WaitUntil([&] { return Frames() >= frames || m_failed; }, timeoutMs) && !m_failed;
}

long Capture::WaitForSound(size_t from, float threshold, int timeoutMs) const {
    long found = -1;
    size_t checked = from;
    WaitUntil(
        [&] {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (; checked < m_samples.size() / 2; ++checked)
                if (std::fabs(m_samples[checked * 2]) > threshold ||
                    std::fabs(m_samples[checked * 2 + 1]) > threshold) {
                    found = static_cast<long>(checked);
                    return true;
                }
            return static_cast<bool>(m_failed);
        },
        timeoutMs);
    return found;
}

float Peak(const std::vector<float>& s, int channel, size_t from, size_t to) {
    float peak = 0;
    for (size_t f = from; f < to && f * 2 + 1 < s.size(); ++f)
        peak = std::max(peak, std::fabs(s[f * 2 + static_cast<size_t>(channel)]));
    return peak;
}

long FirstAbove(const std::vector<float>& s, float threshold, size_t from) {
    for (size_t i = from * 2; i < s.size(); ++i)
        if (std::fabs(s[i]) > threshold) return static_cast<long>(i / 2);
    return -1;
}

long LastAbove(const std::vector<float>& s, float threshold) {
    for (size_t i = s.size(); i-- > 0;)
        if (std::fabs(s[i]) > threshold) return static_cast<long>(i / 2);
    return -1;
}

double Frequency(const std::vector<float>& s, int channel, size_t from, size_t to, int rate) {
    double first = -1, last = -1;
    int crossings = 0;
    const auto at = [&](size_t f) { return s[f * 2 + static_cast<size_t>(channel)]; };
    for (size_t f = from + 1; f < to && f * 2 + 1 < s.size(); ++f) {
        const float a = at(f - 1), b = at(f);
        if (a < 0 && b >= 0) {
            const double x = static_cast<double>(f - 1) + a / (a - b);
            if (first < 0)
                first = x;
            else
                ++crossings;
            last = x;
        }
    }
    return crossings > 0 ? crossings * rate / (last - first) : 0;
}

bool WaitUntil(const std::function<bool()>& cond, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace audiokit
