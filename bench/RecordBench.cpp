// Recording to MP3: the encoder alone on ten minutes of audio (CPU time per second of audio, and
// the resident memory from the first minute to the end, which must not grow with the length),
// and a real recording of the private sound server's LW52 line input while lw52ctl plays a tone
// into the card (CPU time of this process per second recorded; capturing for the levels alone
// is the baseline).
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "AudioBenchSupport.h"
#include "AudioStream.h"
#include "AudioTestKit.h"
#include "BenchMain.h"
#include "ChildProcess.h"
#include "DeviceFilter.h"
#include "Mp3Writer.h"
#include "PulseDaemon.h"

namespace {

using namespace benchaudio;

const TempDir& Folder() {
    static TempDir dir;
    return dir;
}

// Ten minutes of 48 kHz stereo as ten seconds fed sixty times: a slow sweep, a steady tone
// louder on the left, and a little noise, so the encoder has work on both sides.
void BM_EncodeTenMinutes(benchmark::State& state) {
    constexpr int kRate = 48000;
    constexpr int kMinutes = 10;
    std::vector<float> block = audiokit::Tone(
        10, 0.3, [](double t) { return 200 + 60 * t; }, 2, kRate);
    const std::vector<float> steady = audiokit::Tone(10, 0.2, 659.3, 2, kRate);
    uint32_t noise = 1;
    for (size_t i = 0; i < block.size(); ++i) {
        noise = noise * 1664525u + 1013904223u;
        const float n = static_cast<float>(noise >> 8) / 16777216.0f - 0.5f;
        block[i] += (i % 2 ? 0.5f : 1.0f) * steady[i] + 0.02f * n;
    }
    const size_t blockFrames = block.size() / 2;
    const size_t chunk = kRate / 50;  // 20 ms, as the capture hands it over
    const std::string path = Folder().Path() + "/ten-minutes.mp3";
    double cpu = 0, growth = 0, bytes = 0;
    for (auto _ : state) {
        audio::Mp3Writer writer;
        std::string error;
        if (!writer.Open(path, kRate, 2, error)) return state.SkipWithError(error.c_str());
        double afterFirstMinute = 0;
        const double cpu0 = ProcessCpuSeconds();
        for (int round = 0; round < kMinutes * 6; ++round) {
            for (size_t f = 0; f < blockFrames; f += chunk)
                if (!writer.Write(&block[f * 2], std::min(chunk, blockFrames - f), error))
                    return state.SkipWithError(error.c_str());
            if (round == 5) afterFirstMinute = ResidentKb();
        }
        if (!writer.Close(error)) return state.SkipWithError(error.c_str());
        cpu += ProcessCpuSeconds() - cpu0;
        growth = ResidentKb() - afterFirstMinute;
        bytes = static_cast<double>(writer.BytesWritten());
    }
    const double audioSeconds = kMinutes * 60.0 * static_cast<double>(state.iterations());
    state.counters["cpu_ms_per_audio_s"] = cpu * 1000 / audioSeconds;
    state.counters["x_realtime"] = audioSeconds / cpu;
    state.counters["rss_growth_kB"] = growth;
    state.counters["mp3_bytes_per_s"] = bytes / (kMinutes * 60.0);
}
BENCHMARK(BM_EncodeTenMinutes)->Iterations(1)->Unit(benchmark::kMillisecond);

// Records 5 s of the card's line input while the card plays a tone (lw52ctl play, another
// process): 0 captures for the levels only, 1 writes the MP3 as the recording page does.
void BM_RecordCpuPerSecond(benchmark::State& state) {
    std::string why;
    PulseDaemon* daemon = Daemon(why);
    if (!daemon) return state.SkipWithError(why.c_str());
    const bool toFile = state.range(0) == 1;
    const std::string tone = Folder().Path() + "/tone.wav";
    if (!audiokit::WriteClip(tone, "wav", audiokit::Tone(30, 0.5, 440, 1), 1, audiokit::kRate,
                             &why))
        return state.SkipWithError(why.c_str());
    ChildProcess player;
    if (!player.Start(LW52CTL_PATH, {"play", tone}, {"XDG_DATA_HOME=" + Folder().Path()}))
        return state.SkipWithError("cannot start lw52ctl play");
    double cpu = 0, server = 0, recorded = 0;
    for (auto _ : state) {
        StreamPtr recorder(audio::CreateAudioStream());
        recorder->SetOption(1, 100);
        audio::SelectDeviceByFilter(*recorder, false, "LW52");
        if (!recorder->Open(audio::kLineInputUrl, 1000))
            return state.SkipWithError(recorder->GetLastErrorText());
        if (toFile && !recorder->RecordToFile(Folder().Path() + "/record.mp3", 1, 0))
            return state.SkipWithError(recorder->GetLastErrorText());
        // The capture is under way (the tone is heard) before the clock starts.
        int left = 0, right = 0;
        audiokit::WaitUntil(
            [&] {
                recorder->GetLevels(left, right);
                return left > 0;
            },
            5000);
        recorder->Start();
        const double cpu0 = ProcessCpuSeconds(), server0 = ChildCpuSeconds(daemon->Pid());
        const auto t0 = std::chrono::steady_clock::now();
        audio::Status status;
        audiokit::WaitUntil(
            [&] {
                // Waits in 20 ms steps, as a page's level timer would.
                std::this_thread::sleep_for(std::chrono::milliseconds(18));
                recorder->GetStatus(status);
                recorder->GetLevels(left, right);
                return toFile ? status.bytes >= 5 * audio::Mp3Writer::kBytesPerSecond
                              : std::chrono::steady_clock::now() - t0 >= std::chrono::seconds(5);
            },
            15000);
        cpu += ProcessCpuSeconds() - cpu0;
        server += ChildCpuSeconds(daemon->Pid()) - server0;
        recorded += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        recorder->Stop();
    }
    state.counters["cpu_ms_per_s"] = cpu * 1000 / recorded;
    state.counters["server_cpu_ms_per_s"] = server * 1000 / recorded;
}
BENCHMARK(BM_RecordCpuPerSecond)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

LW52_BENCHMARK_MAIN();
