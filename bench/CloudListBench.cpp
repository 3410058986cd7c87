// The cloud effect list: a 10,000-entry reply parsed and shown in the tree (offscreen), and
// the real fetch of the fixture service's list over loopback HTTP.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeWidget>
#include <cstdlib>

#include "BenchMain.h"
#include "ChildProcess.h"
#include "CloudApi.h"
#include "CloudEffectFiles.h"
#include "CloudEffectListDownloader.h"
#include "CloudEffectListTreeViewAdapter.h"
#include "ICloudEffectHost.h"
#include "NotifyCenter.h"
#include "WorkSpace.h"

namespace {

struct NoHost : ICloudEffectHost {
    int ApplyEffectFile(const QString&, const QString&) override { return 0; }
    int StoreEffectFileInSlot(int, const QString&, const QString&) override { return 0; }
    void SetTipAnchor(int, int) override {}
    QString CurrentEffectPath() const override { return {}; }
    void RefetchCloudList() override {}
};

// A reply of n records in 20 categories, as the service sends it.
std::string ListReply(int n) {
    std::string text = "{\"message\":\"ok\",\"data\":[";
    for (int i = 0; i < n; ++i) {
        text += i ? "," : "";
        text += "{\"categoryName\":\"分类" + std::to_string(i % 20) + "\",\"soundName\":\"音效" +
                std::to_string(i) + "\",\"url\":\"http://127.0.0.1/tuning/files/effects/c/e" +
                std::to_string(i) + ".dteff\"}";
    }
    return text + "]}";
}

void BM_ParseAndFillTenThousand(benchmark::State& state) {
    const std::string reply = ListReply(10000);
    TempDir dir;
    CNotifyCenter center;
    CWorkSpace::Context context;
    context.settingsPath = dir.Path() + "/settings.db";
    CWorkSpace workspace(context);
    NoHost host;
    QWidget window;
    QTreeWidget tree(&window);
    for (auto _ : state) {
        std::vector<lw52::CloudEffectRecord> records;
        std::string error;
        cloud_effect::ParseEffectList(reply, records, error);
        workspace.SetCloudEffects(std::move(records));
        CCloudEffectListTreeViewAdapter adapter(host, &tree, &window, workspace, center,
                                                dir.Path());
        adapter.Fill(CCloudEffectListTreeViewAdapter::kSourceCloud);
        benchmark::DoNotOptimize(tree.topLevelItemCount());
    }
    state.counters["reply_bytes"] = static_cast<double>(reply.size());
}
BENCHMARK(BM_ParseAndFillTenThousand)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FetchFixtureList(benchmark::State& state) {
    ChildProcess service;
    if (!service.Start(LW52_CLOUD_FIXTURE_PATH, {"--port", "0"}))
        return state.SkipWithError("no fixture");
    const std::string line = service.WaitForLine("listening on", 10000);
    if (line.empty()) return state.SkipWithError("the fixture did not start");
    const std::string url = line.substr(line.find("http://")) + cloud::kPathEffectList;
    for (auto _ : state) {
        std::vector<lw52::CloudEffectRecord> records;
        std::string error;
        if (!CCloudEffectListDownloader::Fetch(url, records, error))
            state.SkipWithError(error.c_str());
    }
}
BENCHMARK(BM_FetchFixtureList)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

// A QApplication for the tree, on the offscreen platform.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
