#include "AudioStreamImpl.h"

#include <algorithm>

namespace audio {

namespace {

constexpr int kServerTimeoutMs = 1000;  // connecting when the call gives no bound
constexpr int kReplyTimeoutMs = 2000;   // one request to a connected server

void SplitTime(uint32_t totalSeconds, uint32_t& h, uint32_t& m, uint32_t& s) {
    h = totalSeconds / 3600;
    m = totalSeconds / 60 % 60;
    s = totalSeconds % 60;
}

}  // namespace

AudioStreamImpl::AudioStreamImpl()
    : m_notifier(static_cast<IAudioStream*>(this)),
      m_player(m_pulse, &AudioStreamImpl::OnPlaybackEnded, this),
      m_recorder(m_pulse, &AudioStreamImpl::OnCaptureFailed, this) {}

bool AudioStreamImpl::Init() {
    return m_pulse.Start();
}

AudioStreamImpl::~AudioStreamImpl() {
    if (!m_notifier.OnNotifierThread()) m_notifier.Shutdown();
    PulseConnection::Lock lock(m_pulse);
    StopAll();
    m_player.SetClip(nullptr);
    m_player.ReapRetired();
    m_recorder.ReapRetired();
}

void AudioStreamImpl::Release() {
    if (m_notifier.OnNotifierThread()) {
        // Called from inside the notify callback: the object goes when the callback returns.
        {
            PulseConnection::Lock lock(m_pulse);
            StopAll();
        }
        m_notifier.DestroyAfterCallback([this] { delete this; });
        return;
    }
    delete this;
}

int AudioStreamImpl::Fail(std::string text) {
    m_error = std::move(text);
    m_hasAsyncError = false;
    return 0;
}

bool AudioStreamImpl::Connect(int timeoutMs) {
    std::string error;
    if (m_pulse.Connect(timeoutMs, error)) return true;
    Fail(error);
    return false;
}

void AudioStreamImpl::StopAll() {
    m_player.Stop();
    m_recorder.Close();
    m_notifier.Cancel();  // an end not yet told belongs to what is stopped now
}

void AudioStreamImpl::OnPlaybackEnded(void* self, const std::string& error) {
    auto* s = static_cast<AudioStreamImpl*>(self);
    if (!error.empty()) {
        s->m_asyncError = error;
        s->m_hasAsyncError = true;
    }
    s->m_notifier.Post(kNotifyPlaybackEnded);
}

void AudioStreamImpl::OnCaptureFailed(void* self, const std::string& error) {
    auto* s = static_cast<AudioStreamImpl*>(self);
    s->m_asyncError = error;
    s->m_hasAsyncError = true;
}

int AudioStreamImpl::SetOption(int, int) {
    return 1;  // the options of the original call sequence need nothing here
}

const char* AudioStreamImpl::GetLastErrorText() {
    PulseConnection::Lock lock(m_pulse);
    if (m_hasAsyncError) {
        m_error = m_asyncError;
        m_hasAsyncError = false;
    }
    return m_error.empty() ? nullptr : m_error.c_str();
}

bool AudioStreamImpl::RefreshDevices(bool output) {
    if (!Connect(kServerTimeoutMs)) return false;
    std::string error;
    const bool ok = output ? m_pulse.ListOutputs(m_outputs, kReplyTimeoutMs, error)
                           : m_pulse.ListInputs(m_inputs, kReplyTimeoutMs, error);
    if (!ok) return Fail(error) != 0;
    (output ? m_outputsListed : m_inputsListed) = true;
    return true;
}

int AudioStreamImpl::GetOutputDeviceCount() {
    PulseConnection::Lock lock(m_pulse);
    return RefreshDevices(true) ? static_cast<int>(m_outputs.size()) : 0;
}

int AudioStreamImpl::GetInputDeviceCount() {
    PulseConnection::Lock lock(m_pulse);
    return RefreshDevices(false) ? static_cast<int>(m_inputs.size()) : 0;
}

int AudioStreamImpl::GetOutputDeviceInfo(int index, DeviceInfo& info) {
    PulseConnection::Lock lock(m_pulse);
    if (!m_outputsListed && !RefreshDevices(true)) return 0;
    if (index < 0 || index >= static_cast<int>(m_outputs.size()))
        return Fail("no output device " + std::to_string(index));
    info = m_outputs[static_cast<size_t>(index)];
    return 1;
}

int AudioStreamImpl::GetInputDeviceInfo(int index, DeviceInfo& info) {
    PulseConnection::Lock lock(m_pulse);
    if (!m_inputsListed && !RefreshDevices(false)) return 0;
    if (index < 0 || index >= static_cast<int>(m_inputs.size()))
        return Fail("no input device " + std::to_string(index));
    info = m_inputs[static_cast<size_t>(index)];
    return 1;
}

int AudioStreamImpl::SelectOutputDevice(int index) {
    PulseConnection::Lock lock(m_pulse);
    if (index < 0) {
        m_outputName.clear();  // back to the server's default
        return 1;
    }
    if (!m_outputsListed && !RefreshDevices(true)) return 0;
    if (index >= static_cast<int>(m_outputs.size()))
        return Fail("no output device " + std::to_string(index));
    m_outputName = m_outputs[static_cast<size_t>(index)].name;
    return 1;
}

int AudioStreamImpl::SelectInputDevice(int index) {
    PulseConnection::Lock lock(m_pulse);
    if (index < 0) {
        m_inputName.clear();
        return 1;
    }
    if (!m_inputsListed && !RefreshDevices(false)) return 0;
    if (index >= static_cast<int>(m_inputs.size()))
        return Fail("no input device " + std::to_string(index));
    m_inputName = m_inputs[static_cast<size_t>(index)].name;
    return 1;
}

int AudioStreamImpl::Open(const std::string& url, int timeoutMs) {
    PulseConnection::Lock lock(m_pulse);
    m_player.ReapRetired();
    m_recorder.ReapRetired();
    Fail("");
    StopAll();
    if (url == kLineInputUrl) {
        m_player.SetClip(nullptr);
        m_recorderMode = true;
        if (!Connect(timeoutMs)) return 0;
        if (!m_inputName.empty() && !m_pulse.DeviceExists(false, m_inputName, kReplyTimeoutMs))
            return Fail("input device gone: " + m_inputName);
        std::string error;
        if (!m_recorder.Open(m_inputName, kReplyTimeoutMs, error)) return Fail(error);
        return 1;
    }
    auto clip = std::make_unique<Decoder>();
    std::string error;
    if (!clip->OpenFile(url, error)) {
        m_player.SetClip(nullptr);
        return Fail(error);
    }
    return OpenClip(std::move(clip), timeoutMs);
}

int AudioStreamImpl::OpenMemory(int, int, const void* bytes, size_t size, int format) {
    PulseConnection::Lock lock(m_pulse);
    m_player.ReapRetired();
    m_recorder.ReapRetired();
    Fail("");
    StopAll();
    const char* name = format == kFormatMp3 ? "MP3" : format == kFormatWave ? "WAV" : "audio";
    auto clip = std::make_unique<Decoder>();
    std::string error;
    if (!clip->OpenMemory(bytes, size, name, error)) {
        m_player.SetClip(nullptr);
        return Fail(error);
    }
    return OpenClip(std::move(clip), kServerTimeoutMs);
}

int AudioStreamImpl::OpenClip(std::unique_ptr<Decoder> clip, int timeoutMs) {
    m_recorderMode = false;
    m_player.SetClip(nullptr);
    if (!Connect(timeoutMs)) return 0;
    if (!m_outputName.empty() && !m_pulse.DeviceExists(true, m_outputName, kReplyTimeoutMs))
        return Fail("output device gone: " + m_outputName);
    m_player.SetClip(std::move(clip));
    return 1;
}

int AudioStreamImpl::GetMediaInfo(MediaInfo& info) {
    PulseConnection::Lock lock(m_pulse);
    info = MediaInfo{};
    if (m_recorderMode) {
        // The recording's stream is the MP3 file: its byte rate holds whether or not the input
        // is still open, so a page that reads it after a failure keeps the failure's text.
        info.bytesPerSecond = Mp3Writer::BytesPerSecond();
        return 1;
    }
    const Decoder* clip = m_player.Clip();
    if (!clip) return Fail("nothing is open");
    const auto rate = static_cast<uint64_t>(clip->Rate());
    info.bytesPerSecond = static_cast<uint32_t>(rate * static_cast<uint64_t>(clip->Channels()) * 2);
    info.lengthSeconds = static_cast<uint32_t>(clip->Frames() / rate);
    info.lengthUnits = static_cast<uint32_t>(clip->Frames() * 1000 / rate);
    SplitTime(info.lengthSeconds, info.hours, info.minutes, info.seconds);
    return 1;
}

int AudioStreamImpl::GetStatus(Status& status) {
    PulseConnection::Lock lock(m_pulse);
    status = Status{};
    if (m_recorderMode) {
        status.bytes = m_recorder.RecordedBytes();
        status.positionUnits =
            static_cast<uint32_t>(status.bytes * 1000 / Mp3Writer::BytesPerSecond());
        SplitTime(status.positionUnits / 1000, status.hours, status.minutes, status.seconds);
        return 1;
    }
    const Decoder* clip = m_player.Clip();
    if (!clip) return 1;
    const uint64_t frame = m_player.PositionFrames();
    status.positionUnits =
        static_cast<uint32_t>(frame * 1000 / static_cast<uint64_t>(clip->Rate()));
    status.bytes = frame * static_cast<uint64_t>(clip->Channels()) * 2;
    SplitTime(status.positionUnits / 1000, status.hours, status.minutes, status.seconds);
    return 1;
}

int AudioStreamImpl::Start() {
    PulseConnection::Lock lock(m_pulse);
    m_player.ReapRetired();
    Fail("");
    if (m_recorderMode) {
        std::string error;
        return m_recorder.Start(error) ? 1 : Fail(error);
    }
    if (!m_player.Clip()) return Fail("nothing to play: open a clip first");
    if (m_player.Running()) return 1;
    if (!Connect(kServerTimeoutMs)) return 0;
    m_player.SetGain(m_volume[0] / 100.0f, m_volume[1] / 100.0f);
    std::string error;
    return m_player.Start(m_outputName, kReplyTimeoutMs, error) ? 1 : Fail(error);
}

int AudioStreamImpl::Seek(int mode, const double* seconds, int) {
    PulseConnection::Lock lock(m_pulse);
    if (mode != 2 || !seconds) return Fail("unsupported seek: mode " + std::to_string(mode));
    if (m_recorderMode) return Fail("cannot seek the line input");
    std::string error;
    return m_player.Seek(*seconds, kReplyTimeoutMs, error) ? 1 : Fail(error);
}

int AudioStreamImpl::Stop() {
    PulseConnection::Lock lock(m_pulse);
    std::string error;
    const bool finished = m_recorder.FinishFile(error);
    StopAll();
    m_player.ReapRetired();
    m_recorder.ReapRetired();
    return finished ? 1 : Fail(error);
}

int AudioStreamImpl::SetVolume(int left, int right) {
    PulseConnection::Lock lock(m_pulse);
    m_volume[0] = std::clamp(left, 0, 100);
    m_volume[1] = std::clamp(right, 0, 100);
    m_player.SetGain(m_volume[0] / 100.0f, m_volume[1] / 100.0f);
    return 1;
}

int AudioStreamImpl::GetState(State& state) {
    PulseConnection::Lock lock(m_pulse);
    state.running = (m_recorderMode ? m_recorder.Recording() : m_player.Running()) ? 1 : 0;
    return 1;
}

int AudioStreamImpl::GetLevels(int& left, int& right) {
    PulseConnection::Lock lock(m_pulse);
    if (m_recorderMode)
        m_recorder.Levels(left, right);
    else
        m_player.Levels(left, right);
    return 1;
}

int AudioStreamImpl::SetNotify(NotifyCallback callback, uint32_t codes, void* context) {
    m_notifier.Set(callback, codes, context);
    return 1;
}

int AudioStreamImpl::RecordToFile(const std::string& path, int, int) {
    PulseConnection::Lock lock(m_pulse);
    if (!m_recorderMode || !m_recorder.IsOpen()) return Fail("the line input is not open");
    std::string error;
    return m_recorder.RecordTo(path, error) ? 1 : Fail(error);
}

IAudioStream* CreateAudioStream() {
    auto* stream = new AudioStreamImpl();
    if (stream->Init()) return stream;
    stream->Release();
    return nullptr;
}

}  // namespace audio
