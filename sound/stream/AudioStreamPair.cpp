#include "AudioStreamPair.h"

#include "BuiltInClipData.h"
#include "DeviceFilter.h"
#include "Log.h"
#include "NotifyCenter.h"
#include "UiEvents.h"

int PostPlaybackEnded(void* /*stream*/, void* context, uint32_t code, uintptr_t, uintptr_t) {
    auto* gate = static_cast<CNotifyGate*>(context);
    auto event = std::make_shared<EventPlaybackMsg>();
    event->code = code;
    event->context = gate;
    gate->FireEventAsync(std::move(event));
    return 0;
}

int AudioStreamPair::ReleaseStreams() {
    ReleaseRecorder();
    ReleasePlayer();
    return 1;
}

void AudioStreamPair::ReleasePlayer() {
    if (player) player->Release();
    player = nullptr;
}

void AudioStreamPair::ReleaseRecorder() {
    if (recorder) recorder->Release();
    recorder = nullptr;
}

bool AudioStreamPair::EnsurePlayer(const std::string& filter) {
    if (player) return true;
    player = audio::CreateAudioStream();
    if (!player) return false;
    player->SetOption(2, 1);
    player->SetOption(3, 1);
    audio::SelectDeviceByFilter(*player, true, filter);
    player->SetNotify(notify, audio::kNotifyPlaybackEnded, notifyContext);
    return true;
}

int AudioStreamPair::PlayResourceClip(const std::string& resource, const std::string& filter) {
    const clips::ClipBytes clip = clips::FindClip(resource);
    if (!clip.data) return kResourceMissing;
    if (clip.size == 0 || !EnsurePlayer(filter)) return kPlayFailed;
    if (!player->OpenMemory(1, 0, clip.data, clip.size, audio::kFormatMp3)) {
        const char* text = player->GetLastErrorText();
        QV_LOG("打开失败:%s", text ? text : "");
        ReleasePlayer();
        return kPlayFailed;
    }
    return kPlayOk;
}

int AudioStreamPair::OpenPlayerFile(const std::string& filter, const std::string& path,
                                    std::string* error) {
    if (!EnsurePlayer(filter)) {
        if (error) *error = "cannot create the audio stream";
        return 0;
    }
    if (player->Open(path, 1000)) return 1;
    const char* text = player->GetLastErrorText();
    QV_LOG("打开失败:%s", text ? text : "");
    if (error) *error = text ? text : "";
    ReleasePlayer();
    return 0;
}

int AudioStreamPair::OpenLineRecorder(const std::string& filter, const std::string& outputPath,
                                      std::string* error) {
    if (!recorder) {
        recorder = audio::CreateAudioStream();
        if (!recorder) {
            if (error) *error = "cannot create the audio stream";
            return 0;
        }
        recorder->SetOption(1, 100);
        audio::SelectDeviceByFilter(*recorder, false, filter);
        if (!recorder->Open(audio::kLineInputUrl, 1000)) {
            const char* text = recorder->GetLastErrorText();
            if (error) *error = text ? text : "";
            ReleaseRecorder();
            return 0;
        }
    }
    if (recorder->RecordToFile(outputPath, 1, 0)) return 1;
    const char* text = recorder->GetLastErrorText();
    if (error) *error = text ? text : "";
    ReleaseRecorder();
    return 0;
}

int AudioStreamPair::StopPlayer() {
    return player ? player->Stop() : 0;
}

bool AudioStreamPair::IsPlayerRunning() const {
    audio::State state;
    return player && player->GetState(state) && state.running != 0;
}

int AudioStreamPair::SeekPlayer(double seconds) {
    return player ? player->Seek(2, &seconds, 1) : 0;
}

const char* AudioStreamPair::PlayerErrorText() const {
    return player ? player->GetLastErrorText() : nullptr;
}
