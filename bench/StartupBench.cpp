// Start-up of the panel to its main window shown (offscreen), with the virtual card
// attached: the whole process, as a user waits for it.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "BenchMain.h"
#include "ChildProcess.h"

namespace {

void BM_PanelStartup(benchmark::State& state) {
    TempDir dir;
    const std::string vhid = dir.Path() + "/vhid";
    ChildProcess emulator;
    if (!emulator.Start(LW52_EMULATOR_PATH, {"--dir", vhid}) ||
        emulator.WaitForLine("listening on", 10000).empty()) {
        state.SkipWithError("emulator did not start");
        return;
    }
    const std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "LW52_VHID_DIR=" + vhid,
                                          "XDG_DATA_HOME=" + dir.Path() + "/data",
                                          "XDG_RUNTIME_DIR=" + dir.Path()};
    for (auto _ : state) {
        ChildProcess panel;
        if (!panel.Start(LW52PANEL_PATH, {}, env) ||
            panel.WaitForLine("main window shown", 20000).empty()) {
            state.SkipWithError("the panel did not show its window");
            return;
        }
        state.PauseTiming();
        panel.Stop(5000);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PanelStartup)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

LW52_BENCHMARK_MAIN()
