// The audio component against a private sound server: the delay from Start to the first
// samples the sink renders, the process CPU time a second of playback costs, and decoding a
// 3-minute MP3 with our decoder against ffmpeg on the same file.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>

#include "AudioBenchSupport.h"
#include "AudioStream.h"
#include "AudioTestKit.h"
#include "BenchMain.h"
#include "ChildProcess.h"
#include "Decoder.h"
#include "DeviceFilter.h"
#include "PulseDaemon.h"

namespace {

using namespace benchaudio;

using Clock = std::chrono::steady_clock;

const TempDir& Folder() {
    static TempDir dir;
    return dir;
}

// The 3-minute MP3 (a sweep, so the encoder has work), made once.
const std::string& ThreeMinuteMp3(std::string& error) {
    static std::string path;
    static std::string why;
    if (path.empty() && why.empty()) {
        const std::string p = Folder().Path() + "/three-minutes.mp3";
        const auto frames = audiokit::Tone(
            180, 0.5, [](double t) { return 200 + 10 * std::fmod(t, 60.0); }, 2, 44100);
        if (!audiokit::CanWriteMp3())
            why = "this libsndfile cannot write MP3";
        else if (audiokit::WriteClip(p, "mp3", frames, 2, 44100, &why))
            path = p;
    }
    error = why;
    return path;
}

void BM_StartToFirstSample(benchmark::State& state) {
    std::string why;
    if (!Daemon(why)) return state.SkipWithError(why.c_str());
    audiokit::Capture monitor;
    if (!monitor.Start("lw52_out.monitor", &why)) return state.SkipWithError(why.c_str());
    StreamPtr player(audio::CreateAudioStream());
    audio::SelectDeviceByFilter(*player, true, "LW52");
    const std::vector<float> tone = audiokit::Tone(0.2, 0.5, 1000);
    const std::string clip = Folder().Path() + "/start.wav";
    audiokit::WriteClip(clip, "wav", tone);
    for (auto _ : state) {
        if (!player->Open(clip, 1000)) return state.SkipWithError("cannot open the clip");
        // Start from silence: what an earlier round left in the sink has played out.
        monitor.WaitForFrames(monitor.Frames() + audiokit::kRate / 10, 2000);
        const size_t from = monitor.Frames();
        const auto t0 = Clock::now();
        player->Start();
        const long first = monitor.WaitForSound(from, 0.05f, 3000);
        const auto seen = Clock::now();
        if (first < 0) return state.SkipWithError("no sound reached the sink");
        // The first loud sample came in (frames after it)/rate before it was seen.
        const double late =
            static_cast<double>(monitor.Frames() - static_cast<size_t>(first)) / audiokit::kRate;
        const double delay = std::chrono::duration<double>(seen - t0).count() - late;
        state.SetIterationTime(delay > 0 ? delay : 0);
        player->Stop();
    }
}
BENCHMARK(BM_StartToFirstSample)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

// Plays 3 s of a clip (0: WAV, 1: MP3) into the card's output; reports the CPU time this
// process (decoding, volume, meter, libpulse) and the sound server spent per second played.
void BM_PlaybackCpuPerSecond(benchmark::State& state) {
    std::string why;
    PulseDaemon* daemon = Daemon(why);
    if (!daemon) return state.SkipWithError(why.c_str());
    const bool mp3 = state.range(0) == 1;
    std::string clip;
    if (mp3) {
        clip = ThreeMinuteMp3(why);
        if (clip.empty()) return state.SkipWithError(why.c_str());
    } else {
        clip = Folder().Path() + "/cpu.wav";
        audiokit::WriteClip(clip, "wav", audiokit::Tone(10, 0.5, 440));
    }
    StreamPtr player(audio::CreateAudioStream());
    audio::SelectDeviceByFilter(*player, true, "LW52");
    player->SetVolume(80, 80);
    double cpu = 0, server = 0, played = 0;
    for (auto _ : state) {
        if (!player->Open(clip, 1000) || !player->Start())
            return state.SkipWithError(player->GetLastErrorText());
        const double cpu0 = ProcessCpuSeconds(), server0 = ChildCpuSeconds(daemon->Pid());
        audio::Status status;
        audiokit::WaitUntil(
            [&] {
                player->GetStatus(status);
                return status.positionUnits >= 3000;
            },
            10000);
        cpu += ProcessCpuSeconds() - cpu0;
        server += ChildCpuSeconds(daemon->Pid()) - server0;
        played += status.positionUnits / 1000.0;
        player->Stop();
    }
    state.counters["cpu_ms_per_s"] = 1000 * cpu / played;
    state.counters["server_cpu_ms_per_s"] = 1000 * server / played;
}
BENCHMARK(BM_PlaybackCpuPerSecond)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Decodes the whole 3-minute MP3 to PCM (ours: float frames, as the player reads them) against
// `ffmpeg -f s16le` on the same file as a child process, its start-up included (best of 3).
void BM_DecodeThreeMinuteMp3(benchmark::State& state) {
    const std::string ffmpeg = "/usr/bin/ffmpeg";
    if (access(ffmpeg.c_str(), X_OK) != 0) return state.SkipWithError("ffmpeg is not installed");
    std::string why;
    const std::string& mp3 = ThreeMinuteMp3(why);
    if (mp3.empty()) return state.SkipWithError(why.c_str());
    std::vector<float> buffer(4096 * 2);
    uint64_t frames = 0;
    double ours = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        audio::Decoder decoder;
        if (!decoder.OpenFile(mp3, why)) return state.SkipWithError(why.c_str());
        frames = 0;
        while (const size_t n = decoder.Read(buffer.data(), 4096)) frames += n;
        benchmark::DoNotOptimize(buffer.data());
        ours += std::chrono::duration<double>(Clock::now() - t0).count();
    }
    ours /= static_cast<double>(state.iterations());
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Clock::now();
        const RunResult r = RunProgram(
            ffmpeg, {"-nostdin", "-v", "error", "-i", mp3, "-f", "s16le", "-y", "/dev/null"});
        const double took = std::chrono::duration<double>(Clock::now() - t0).count();
        if (r.exitCode != 0) return state.SkipWithError(("ffmpeg failed: " + r.err).c_str());
        best = std::min(best, took);
    }
    state.counters["audio_s"] = static_cast<double>(frames) / 44100;
    state.counters["ours_ms"] = ours * 1000;
    state.counters["ffmpeg_ms"] = best * 1000;
    state.counters["ffmpeg_over_ours"] = best / ours;
}
BENCHMARK(BM_DecodeThreeMinuteMp3)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

LW52_BENCHMARK_MAIN()
