// Sound output from the command line: the sound server's devices and playing clips and pads
// through the same player the sound-pad page uses.
#include <json/json.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>

#include "AudioStreamPair.h"
#include "Commands.h"
#include "DeviceFilter.h"
#include "HotkeyConfig.h"
#include "Json.h"
#include "SoundPads.h"

namespace {

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) {
    g_interrupted = true;
}

struct EndWatch {
    std::mutex mutex;
    std::condition_variable wake;
    bool ended = false;
};

int OnNotify(void*, void* context, uint32_t code, uintptr_t, uintptr_t) {
    if (code != audio::kNotifyPlaybackEnded) return 0;
    auto* watch = static_cast<EndWatch*>(context);
    {
        std::lock_guard<std::mutex> lock(watch->mutex);
        watch->ended = true;
    }
    watch->wake.notify_all();
    return 0;
}

Json::Value DeviceJson(const audio::DeviceInfo& info, bool picked) {
    Json::Value d;
    d["name"] = info.name;
    d["displayName"] = info.displayName;
    d["default"] = info.isDefault;
    d["picked"] = picked;
    return d;
}

int AudioDevices(const CliContext& ctx) {
    audio::IAudioStream* stream = audio::CreateAudioStream();
    if (!stream) return Fail("cannot create an audio stream");
    const int outputs = stream->GetOutputDeviceCount();
    if (outputs <= 0) {
        const char* why = stream->GetLastErrorText();
        std::string text = why ? why : "";
        stream->Release();
        if (!text.empty()) return Fail(text);
    }
    const int pickedOut = audio::SelectDeviceByFilter(*stream, true, "LW52");
    const int pickedIn = audio::SelectDeviceByFilter(*stream, false, "LW52");
    Json::Value out(Json::objectValue);
    out["outputs"] = Json::Value(Json::arrayValue);
    out["inputs"] = Json::Value(Json::arrayValue);
    for (int output = 1; output >= 0; --output) {
        const int count = output ? stream->GetOutputDeviceCount() : stream->GetInputDeviceCount();
        const int picked = output ? pickedOut : pickedIn;
        if (!ctx.json) printf("%s:\n", output ? "outputs" : "inputs");
        for (int i = 0; i < count; ++i) {
            audio::DeviceInfo info;
            if (!(output ? stream->GetOutputDeviceInfo(i, info)
                         : stream->GetInputDeviceInfo(i, info)))
                continue;
            // Without an LW52 device the default one is used.
            const bool used = picked >= 0 ? i == picked : info.isDefault;
            if (ctx.json) {
                out[output ? "outputs" : "inputs"].append(DeviceJson(info, used));
            } else {
                printf("%s %-32s %s%s\n", used ? "*" : " ", info.displayName.c_str(),
                       info.name.c_str(), info.isDefault ? " (default)" : "");
            }
        }
    }
    stream->Release();
    if (ctx.json)
        PrintJson(out);
    else
        printf("* = used by the panel (the first device named LW52, else the default)\n");
    return kExitOk;
}

bool ParseInt(const std::string& text, int min, int max, int& out) {
    try {
        size_t used = 0;
        const int value = std::stoi(text, &used);
        if (used != text.size() || value < min || value > max) return false;
        out = value;
        return true;
    } catch (...) {
        return false;
    }
}

int Play(const CliContext& ctx) {
    std::string target;
    int volume = -1;
    for (size_t i = 1; i < ctx.args.size(); ++i) {
        if (ctx.args[i] == "--volume") {
            if (i + 1 >= ctx.args.size() || !ParseInt(ctx.args[i + 1], 0, 100, volume))
                return UsageError("--volume takes 0..100");
            ++i;
        } else if (target.empty()) {
            target = ctx.args[i];
        } else {
            return UsageError("play takes one FILE or PAD_ID");
        }
    }
    if (target.empty()) return UsageError("play needs a FILE or a PAD_ID");

    HotkeyConfig config;
    config.Init();
    if (volume < 0) volume = config.Volume();
    SoundEntry entry;
    int padId = 0;
    if (ParseInt(target, 1, 99999, padId)) {
        if (pads::Classify(padId).list == pads::PadList::Cloud)
            return Fail("pad " + target +
                        " is a cloud pad: download it first (cloud sounds --download ID)");
        if (pads::FindEntry(config, padId, entry) != pads::Lookup::kFound)
            return Fail("no pad with id " + target + " (see: lw52ctl sounds list)");
    } else {
        entry.kind = SoundEntry::kFile;
        if (!entry.SetPathUtf8(target)) return Fail("path too long: " + target);
    }

    EndWatch watch;
    AudioStreamPair pair;
    pair.notify = &OnNotify;
    pair.notifyContext = &watch;
    std::string error;
    if (entry.kind == SoundEntry::kBuiltIn) {
        const int result = pair.PlayResourceClip(entry.PathUtf8(), pair.deviceFilter);
        if (result == AudioStreamPair::kResourceMissing)
            return Fail("no built-in clip " + entry.PathUtf8());
        if (result != AudioStreamPair::kPlayOk) return Fail("cannot play " + entry.PathUtf8());
    } else if (!pair.OpenPlayerFile(pair.deviceFilter, entry.PathUtf8(), &error)) {
        return Fail(error.empty() ? "cannot play " + entry.PathUtf8() : error);
    }
    pair.player->SetVolume(volume, volume);
    audio::MediaInfo media;
    pair.player->GetMediaInfo(media);
    if (!pair.player->Start()) {
        const char* why = pair.player->GetLastErrorText();
        return Fail(why ? why : "cannot start playback");
    }
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    const auto started = std::chrono::steady_clock::now();
    auto lastReport = started;
    bool stopped = false;
    for (;;) {
        std::unique_lock<std::mutex> lock(watch.mutex);
        // Short waits so that Ctrl+C is seen at once.
        watch.wake.wait_for(lock, std::chrono::milliseconds(100), [&] { return watch.ended; });
        if (watch.ended) break;
        lock.unlock();
        if (g_interrupted) {
            pair.StopPlayer();
            stopped = true;
            break;
        }
        if (!pair.IsPlayerRunning()) break;  // ended by an error: the text says why
        const auto now = std::chrono::steady_clock::now();
        if (ctx.verbose && now - lastReport >= std::chrono::seconds(1)) {
            lastReport = now;
            audio::Status status;
            int left = 0, right = 0;
            pair.player->GetStatus(status);
            pair.player->GetLevels(left, right);
            fprintf(stderr, "%02u:%02u:%02u  level %d %d\n", status.hours, status.minutes,
                    status.seconds, left, right);
        }
    }
    // An end by an error (the server gone) is notified too: the text tells them apart.
    const char* why = stopped ? nullptr : pair.player->GetLastErrorText();
    const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - started)
                             .count();
    if (why) return Fail(why);
    if (ctx.json) {
        Json::Value out;
        out["played"] = entry.PathUtf8();
        out["lengthMs"] = media.lengthUnits;
        out["elapsedMs"] = static_cast<Json::Int64>(ms);
        out["stopped"] = stopped;
        PrintJson(out);
    } else {
        printf("%s %s (%u ms)\n", stopped ? "stopped" : "played", entry.PathUtf8().c_str(),
               media.lengthUnits);
    }
    return kExitOk;
}

}  // namespace

int CmdAudio(const CliContext& ctx) {
    if (ctx.args.size() == 1 && ctx.args[0] == "devices") return AudioDevices(ctx);
    return UsageError("usage: audio devices");
}

int CmdPlay(const CliContext& ctx) {
    CliContext shifted = ctx;
    shifted.args.insert(shifted.args.begin(), "play");
    return Play(shifted);
}
