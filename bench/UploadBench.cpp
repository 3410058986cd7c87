// A clip into a sound slot: preparing 20 seconds of a stereo 44.1 kHz MP3 (decode, WAV file
// written and read back, 48 kHz mono) against ffmpeg doing the same conversion, in-process and
// as processes; and sending the 1,920,000 bytes to a zero-delay emulator process frame by frame.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchMain.h"
#include "ChildProcess.h"
#include "ClipPipeline.h"
#include "DeviceSession.h"
#include "SoundSender.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kClip = std::string(LW52_UPLOAD_FIXTURES) + "/stereo30.mp3";
const char* const kFfmpeg = "/usr/bin/ffmpeg";
constexpr int kProcessRuns = 3;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Best of kProcessRuns runs of a program (its start-up included); negative when it failed,
// with the reason in error.
double BestRun(const std::string& program, const std::vector<std::string>& args,
               std::string& error) {
    double best = 1e9;
    for (int i = 0; i < kProcessRuns; ++i) {
        const auto t0 = Clock::now();
        const RunResult r = RunProgram(program, args);
        const double took = Seconds(t0);
        if (r.exitCode != 0) {
            error = program + " failed: " + r.err;
            return -1;
        }
        best = std::min(best, took);
    }
    return best;
}

// The same conversion by ffmpeg: the first 20 s, mixed to mono, at 48 kHz, 16-bit WAV
// (-nostdin only keeps it off the terminal).
double FfmpegSeconds(const std::string& out, std::string& error) {
    return BestRun(
        kFfmpeg,
        {"-nostdin", "-v", "error", "-y", "-t", "20", "-i", kClip, "-ac", "1", "-ar", "48000", out},
        error);
}

bool HaveFfmpeg() {
    return access(kFfmpeg, X_OK) == 0;
}

// PrepareClip on the caller's thread, as upload-sound runs it; then ffmpeg on the same file.
// The ratio compares the best runs of each.
void BM_PrepareTwentySeconds(benchmark::State& state) {
    std::vector<uint8_t> pcm;
    double best = 1e9;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (upload::PrepareClip(kClip, 0, 100, 1.0, pcm) != upload::PrepareResult::kOk)
            return state.SkipWithError("the clip did not prepare");
        best = std::min(best, Seconds(t0));
        benchmark::DoNotOptimize(pcm.data());
    }
    state.counters["bytes"] = static_cast<double>(pcm.size());
    state.counters["ours_ms"] = best * 1000;
    if (!HaveFfmpeg()) return state.SetLabel("ffmpeg is not installed: no comparison");
    TempDir dir;
    std::string error;
    const double ffmpeg = FfmpegSeconds(dir.Path() + "/ffmpeg.wav", error);
    if (ffmpeg < 0) return state.SkipWithError(error.c_str());
    state.counters["ffmpeg_ms"] = ffmpeg * 1000;
    state.counters["ours_over_ffmpeg"] = best / ffmpeg;
}
BENCHMARK(BM_PrepareTwentySeconds)->Iterations(5)->Unit(benchmark::kMillisecond);

// Process against process: `lw52ctl convert-sound` against the ffmpeg command, start-up and
// the output file included, best of three each.
void BM_ConvertSoundProcess(benchmark::State& state) {
    TempDir dir;
    std::string error;
    double ctl = 0;
    for (auto _ : state) {
        ctl = BestRun(LW52CTL_PATH,
                      {"convert-sound", kClip, dir.Path() + "/ours.wav", "--master", "1"}, error);
        if (ctl < 0) return state.SkipWithError(error.c_str());
        state.SetIterationTime(ctl);
    }
    state.counters["lw52ctl_ms"] = ctl * 1000;
    if (!HaveFfmpeg()) return state.SetLabel("ffmpeg is not installed: no comparison");
    const double ffmpeg = FfmpegSeconds(dir.Path() + "/ffmpeg.wav", error);
    if (ffmpeg < 0) return state.SkipWithError(error.c_str());
    state.counters["ffmpeg_ms"] = ffmpeg * 1000;
    state.counters["lw52ctl_over_ffmpeg"] = ctl / ffmpeg;
}
BENCHMARK(BM_ConvertSoundProcess)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// The 20-second clip (1,920,000 bytes) sent into sound slot 1 of a zero-delay emulator
// process with 64- or 40-byte packets: every data frame waits for its reply.
void BM_SendTwentySeconds(benchmark::State& state) {
    const int packet = static_cast<int>(state.range(0));
    std::vector<uint8_t> pcm;
    if (upload::PrepareClip(kClip, 0, 100, 1.0, pcm) != upload::PrepareResult::kOk)
        return state.SkipWithError("the clip did not prepare");
    TempDir dir;
    setenv("LW52_VHID_DIR", dir.Path().c_str(), 1);
    ChildProcess emulator;
    if (!emulator.Start(LW52_EMULATOR_PATH,
                        {"--dir", dir.Path(), "--packet", std::to_string(packet)}) ||
        emulator.WaitForLine("listening on", 10000).empty()) {
        unsetenv("LW52_VHID_DIR");
        return state.SkipWithError("emulator did not start");
    }
    CDeviceSession session;
    if (!session.Init() || !session.ConnectAtStartup()) {
        unsetenv("LW52_VHID_DIR");
        return state.SkipWithError("cannot attach the virtual card");
    }
    const int frames = upload::DataFrameCount(static_cast<int>(pcm.size()), packet);
    int failures = 0;
    for (auto _ : state)
        if (upload::CSoundSender::Send(session.Protocol(), 1, pcm, nullptr) != 0) ++failures;
    const double total = static_cast<double>(state.iterations()) * frames;
    state.counters["frames"] = frames;
    state.counters["frames_per_s"] = benchmark::Counter(total, benchmark::Counter::kIsRate);
    state.counters["us_per_frame"] =
        benchmark::Counter(total, benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
                           benchmark::Counter::OneK::kIs1000);
    state.counters["failures"] = failures;
    unsetenv("LW52_VHID_DIR");
}
BENCHMARK(BM_SendTwentySeconds)
    ->Arg(64)
    ->Arg(40)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The whole `lw52ctl upload-sound` of the clip: preparation, attaching the card, the frames.
void BM_UploadSoundProcess(benchmark::State& state) {
    TempDir dir;
    ChildProcess emulator;
    if (!emulator.Start(LW52_EMULATOR_PATH, {"--dir", dir.Path()}) ||
        emulator.WaitForLine("listening on", 10000).empty())
        return state.SkipWithError("emulator did not start");
    for (auto _ : state) {
        const RunResult r =
            RunProgram(LW52CTL_PATH, {"upload-sound", kClip, "--slot", "1", "--master", "1"},
                       {"LW52_VHID_DIR=" + dir.Path()}, 120000);
        if (r.exitCode != 0) return state.SkipWithError(("upload-sound failed: " + r.err).c_str());
    }
}
BENCHMARK(BM_UploadSoundProcess)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

LW52_BENCHMARK_MAIN()
