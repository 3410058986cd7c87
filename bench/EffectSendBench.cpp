// Building and sending a full effect (every effect parameter behind the effect number)
// through the socket transport to a zero-delay emulator process, as SendCurrentEffect does
// for a stored custom effect; and the frame building alone.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "BenchMain.h"
#include "ChildProcess.h"
#include "DeviceManager.h"
#include "DeviceSession.h"
#include "ParamFrames.h"
#include "ParamTable.h"
#include "WorkSpace.h"

namespace {

void BM_BuildEffectFrames(benchmark::State& state) {
    std::vector<lw52::ParamPair> entries;
    for (int id = 0; id < lw52::kParamCount; ++id)
        if (lw52::IsEffectParam(id) && id != lw52::kParamEffect) entries.emplace_back(id, id * 3);
    for (auto _ : state) {
        auto frames = lw52::BuildSetEffectFrames(0x45, entries, 4, 64);
        benchmark::DoNotOptimize(frames.data());
    }
}
BENCHMARK(BM_BuildEffectFrames);

void BM_SendFullEffect(benchmark::State& state) {
    TempDir dir;
    setenv("LW52_VHID_DIR", dir.Path().c_str(), 1);
    ChildProcess emulator;
    if (!emulator.Start(LW52_EMULATOR_PATH, {"--dir", dir.Path()}) ||
        emulator.WaitForLine("listening on", 10000).empty()) {
        state.SkipWithError("emulator did not start");
        return;
    }
    CDeviceSession session;
    CWorkSpace::Context context;
    context.protocol = &session.Protocol();
    context.settingsPath = dir.Path() + "/settings.db";
    CWorkSpace workspace(context);
    session.onStartupConnected = [&] { workspace.ReadStateFromCard(); };
    if (!session.Init()) return state.SkipWithError("no device manager");
    workspace.SetDeviceManager(session.Manager());
    if (!session.ConnectAtStartup() || !workspace.IsConnected()) {
        state.SkipWithError("cannot attach the virtual card");
        return;
    }
    lw52::EffectRecord record = workspace.Current();
    record.values[lw52::kParamEffect] = 0x45;
    int failures = 0, frames = 0;
    for (auto _ : state) {
        record.values[36] = (record.values[36] + 1) % 100;  // a different effect each time
        if (!workspace.SendRecord(record, 4)) ++failures;
        frames += 2;
    }
    state.counters["effects_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["frames"] = frames;
    state.counters["failures"] = failures;
    unsetenv("LW52_VHID_DIR");
}
BENCHMARK(BM_SendFullEffect)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

LW52_BENCHMARK_MAIN()
