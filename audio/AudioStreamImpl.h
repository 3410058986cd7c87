#pragma once

#include <string>
#include <vector>

#include "AudioStream.h"
#include "Notifier.h"
#include "Player.h"
#include "PulseConnection.h"
#include "Recorder.h"

namespace audio {

// IAudioStream on the sound server: a player (Open/OpenMemory of a clip) or a line-input
// recorder (Open(kLineInputUrl)), whichever was opened last.
class AudioStreamImpl final : public IAudioStream {
  public:
    AudioStreamImpl();
    bool Init();

    int SetOption(int id, int value) override;
    const char* GetLastErrorText() override;
    int GetOutputDeviceCount() override;
    int GetOutputDeviceInfo(int index, DeviceInfo& info) override;
    int SelectOutputDevice(int index) override;
    int GetInputDeviceCount() override;
    int GetInputDeviceInfo(int index, DeviceInfo& info) override;
    int SelectInputDevice(int index) override;
    int Open(const std::string& url, int timeoutMs) override;
    int OpenMemory(int a, int b, const void* bytes, size_t size, int format) override;
    int GetMediaInfo(MediaInfo& info) override;
    int GetStatus(Status& status) override;
    int Start() override;
    int Seek(int mode, const double* seconds, int flags) override;
    int Stop() override;
    int SetVolume(int left, int right) override;
    int GetState(State& state) override;
    int GetLevels(int& left, int& right) override;
    int SetNotify(NotifyCallback callback, uint32_t codes, void* context) override;
    int RecordToFile(const std::string& path, int a, int b) override;
    void Release() override;

  private:
    ~AudioStreamImpl() override;
    int Fail(std::string text);
    bool Connect(int timeoutMs);
    bool RefreshDevices(bool output);
    int OpenClip(std::unique_ptr<Decoder> clip, int timeoutMs);
    void StopAll();
    static void OnPlaybackEnded(void* self, const std::string& error);
    static void OnCaptureFailed(void* self, const std::string& error);

    PulseConnection m_pulse;
    Notifier m_notifier;
    Player m_player;
    Recorder m_recorder;
    bool m_recorderMode = false;
    std::vector<DeviceInfo> m_outputs, m_inputs;
    bool m_outputsListed = false, m_inputsListed = false;
    std::string m_outputName, m_inputName;  // empty: the server's default
    int m_volume[2] = {100, 100};
    std::string m_error;       // what GetLastErrorText hands out (public thread only)
    std::string m_asyncError;  // set by the mainloop thread (lock held), taken by m_error
    bool m_hasAsyncError = false;
};

}  // namespace audio
