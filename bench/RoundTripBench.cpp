// Request/reply round trips through the socket transport to a zero-delay emulator process:
// the software overhead of the device link (a USB full-speed HID round trip takes ~2 ms).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "BenchMain.h"
#include "ChildProcess.h"
#include "DeviceManager.h"
#include "FrameDefs.h"
#include "HidDeviceBuilder.h"
#include "QvAudioProtocol.h"

namespace {

void BM_SocketRoundTrip(benchmark::State& state) {
    const int packet = static_cast<int>(state.range(0));
    TempDir dir;
    setenv("LW52_VHID_DIR", dir.Path().c_str(), 1);
    ChildProcess emulator;
    if (!emulator.Start(LW52_EMULATOR_PATH,
                        {"--dir", dir.Path(), "--packet", std::to_string(packet)}) ||
        emulator.WaitForLine("listening on", 10000).empty()) {
        state.SkipWithError("emulator did not start");
        return;
    }
    CQvAudioProtocol protocol;
    CHidDeviceBuilder builder;
    if (!builder.Init(&protocol) || builder.FindDevices(lw52::kProductId61) < 1 ||
        !builder.OpenFirstFound()) {
        state.SkipWithError("cannot open the virtual card");
        return;
    }
    CDeviceManager* manager = builder.GetDeviceManager();
    uint8_t request[64];
    uint8_t reply[64];
    int64_t failures = 0;
    for (auto _ : state) {
        request[0] = lw52::CMD_GET_DEVICE_INFO;
        for (int i = 1; i < 64; ++i) request[i] = 0;
        if (!manager->SendAndReceive(request, reply, 3, 1500)) ++failures;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["round_trips_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["failures"] = static_cast<double>(failures);
    unsetenv("LW52_VHID_DIR");
}
BENCHMARK(BM_SocketRoundTrip)->Arg(64)->Arg(40)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

LW52_BENCHMARK_MAIN()
