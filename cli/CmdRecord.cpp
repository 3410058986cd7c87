// Recording the card's line input to MP3 from the command line, through the same recorder and
// set-up steps the recording page uses.
#include <json/json.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "AppPaths.h"
#include "AudioStreamPair.h"
#include "Commands.h"
#include "Json.h"

namespace {

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) {
    g_interrupted = true;
}

constexpr double kDefaultSeconds = 10;
constexpr double kMaxSeconds = 7 * 24 * 3600.0;

bool ParseSeconds(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value) || value <= 0 || value > kMaxSeconds) return false;
    out = value;
    return true;
}

std::string Clock(uint64_t seconds) {
    char text[32];
    snprintf(text, sizeof text, "%02llu:%02llu:%02llu",
             static_cast<unsigned long long>(seconds / 3600),
             static_cast<unsigned long long>(seconds / 60 % 60),
             static_cast<unsigned long long>(seconds % 60));
    return text;
}

std::string ErrorOf(audio::IAudioStream& stream, const std::string& otherwise) {
    const char* text = stream.GetLastErrorText();
    return text && *text ? text : otherwise;
}

}  // namespace

int CmdRecord(const CliContext& ctx) {
    double seconds = kDefaultSeconds;
    std::string out;
    for (size_t i = 0; i < ctx.args.size(); ++i) {
        if (ctx.args[i] == "--seconds") {
            if (i + 1 >= ctx.args.size() || !ParseSeconds(ctx.args[i + 1], seconds))
                return UsageError("--seconds takes a number of seconds above 0");
            ++i;
        } else if (!ctx.args[i].empty() && ctx.args[i][0] == '-') {
            return UsageError("unknown option '" + ctx.args[i] + "' for record");
        } else if (out.empty()) {
            out = ctx.args[i];
        } else {
            return UsageError("record takes one OUT.mp3");
        }
    }
    if (out.empty()) {
        const std::string dir = app_paths::UserDir();  // made when missing
        if (dir.empty()) return Fail("cannot find or create the user folder: give OUT.mp3");
        out = dir + "/tmp_record.mp3";
    }

    // From here on Ctrl+C and SIGTERM end the recording with a complete file.
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    AudioStreamPair pair;
    std::string error;
    if (!pair.OpenLineRecorder(pair.deviceFilter, out, &error))
        return Fail(error.empty() ? "cannot record to " + out : error);
    audio::IAudioStream& recorder = *pair.recorder;
    audio::MediaInfo media;
    if (!recorder.GetMediaInfo(media) || media.bytesPerSecond == 0)
        return Fail(ErrorOf(recorder, "cannot record to " + out));
    if (!recorder.Start()) return Fail(ErrorOf(recorder, "cannot start recording"));

    const auto target = static_cast<uint64_t>(std::ceil(seconds * media.bytesPerSecond));
    uint64_t reported = 0;
    bool interrupted = false;
    for (;;) {
        audio::Status status;
        audio::State state;
        recorder.GetStatus(status);
        if (status.bytes >= target) break;
        if (g_interrupted) {
            interrupted = true;
            break;
        }
        // A recording that stopped by itself (a full disk, the input gone) keeps its file.
        if (!recorder.GetState(state) || !state.running)
            return Fail(ErrorOf(recorder, "the recording stopped"));
        const uint64_t whole = status.bytes / media.bytesPerSecond;
        if (ctx.verbose && whole > reported) {
            reported = whole;
            fprintf(stderr, "recorded %s\n", Clock(whole).c_str());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!recorder.Stop()) return Fail(ErrorOf(recorder, "cannot complete " + out));
    audio::Status status;
    recorder.GetStatus(status);
    const double recorded = static_cast<double>(status.bytes) / media.bytesPerSecond;
    if (ctx.json) {
        Json::Value result;
        result["path"] = out;
        result["seconds"] = std::round(recorded * 1000) / 1000;
        result["bytes"] = static_cast<Json::UInt64>(status.bytes);
        result["stopped"] = interrupted;
        PrintJson(result);
    } else {
        printf("recorded %.1f s to %s (%llu bytes)\n", recorded, out.c_str(),
               static_cast<unsigned long long>(status.bytes));
    }
    return kExitOk;
}
