// A full equaliser refresh as the effects page does it when the card reports new gains:
// ten bands set, the sums rebuilt, the curve repainted on an offscreen widget. Also the
// engine alone, and the repaint alone at device pixel ratios 1 and 2.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <memory>

#include "BenchMain.h"
#include "EqResponse.h"
#include "QvEQ.h"
#include "QvEqCurve.h"
#include "QvEqGrid.h"

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "bench_eq_refresh";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

// The main window's curve: no margins, left edge 20 Hz, no grid.
std::unique_ptr<QvEQ> MainWindowEq(bool withGrid) {
    App();
    auto eq = std::make_unique<QvEQ>();
    if (withGrid) new QvEqGrid(eq.get());
    new QvEqCurve(eq.get());
    if (!withGrid)
        for (const char* name : {"ldist", "tdist", "rdist", "bdist"}) eq->setProperty(name, 0);
    eq->setProperty("zeroXFreq", 20);
    eq->resize(420, 140);
    for (double freq : lw52::kCardEqFreqs) eq->AddBand(lw52::kEqPeaking, freq, 0, lw52::kCardEqQ);
    eq->Refresh();
    eq->show();
    return eq;
}

// Raw values that change every band on every pass (0 dB never repeats back to back).
int RawFor(int64_t pass, int band) {
    return static_cast<int>((pass * 37 + band * 23) % 241);
}

void BM_EngineSetTenGains(benchmark::State& state) {
    lw52::EqResponse eq(20);
    lw52::AddCardEqBands(eq);
    int64_t pass = 0;
    for (auto _ : state) {
        for (int k = 0; k < lw52::kCardEqBands; ++k)
            eq.SetBand(k, lw52::CardEqGainDb(RawFor(pass, k)), lw52::kEqGain);
        benchmark::DoNotOptimize(eq.Largest());
        ++pass;
    }
    state.counters["refreshes_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EngineSetTenGains)->Unit(benchmark::kMicrosecond);

// arg 0: device pixel ratio; arg 1: with the grid.
void BM_FullRefresh(benchmark::State& state) {
    const auto eq = MainWindowEq(state.range(1) != 0);
    const qreal dpr = static_cast<qreal>(state.range(0));
    QImage target(eq->size() * dpr, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(dpr);
    int64_t pass = 0;
    for (auto _ : state) {
        for (int k = 0; k < lw52::kCardEqBands; ++k)
            eq->SetBandGain(k, lw52::CardEqGainDb(RawFor(pass, k)));
        eq->Redraw();
        eq->render(&target);
        benchmark::DoNotOptimize(target.constBits());
        ++pass;
    }
    state.counters["refreshes_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FullRefresh)
    ->ArgNames({"dpr", "grid"})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

LW52_BENCHMARK_MAIN()
