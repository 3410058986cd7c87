// How long the panel's UI thread is held when the card misbehaves: bursts of 1,000 frames the
// card sends on its own (level frames, knobs turned on the card), junk (replies nobody waits
// for, short reports), and requests answered with a wrong command byte. The panel runs
// in-process on the offscreen platform against the emulator; a 1 ms heartbeat timer on the
// UI thread measures the longest stall. The reported time is that longest stall.
#include <sys/stat.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchMain.h"
#include "ChildProcess.h"
#include "FrameDefs.h"
#include "MainApp.h"
#include "MainDlg.h"
#include "NotifyCenter.h"
#include "PanelWithCard.h"
#include "QvAudioProtocol.h"
#include "WorkSpace.h"

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "bench_ui_block";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

// The longest gap between ticks of a 1 ms timer on the UI thread while it runs.
class Heartbeat {
  public:
    Heartbeat() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    double LongestMs() {
        const qint64 tail = m_clock.nsecsElapsed() - m_last;
        return static_cast<double>(std::max(m_longest, tail)) / 1e6;
    }

  private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// The panel with its window, attached to a fresh virtual card.
class Panel : public PanelWithCard {
  public:
    bool Start() {
        App();
        if (!StartCard() || !StartPanel()) return false;
        m_token = app->NotifyCenter().Subscribe(
            EventRecvData::kId, EventRecvData::kName, [this](EventArgs& e) {
                const uint8_t command = static_cast<EventRecvData&>(e).frame[0];
                if (command == lw52::MSG_LEVELS) ++levels;
                if (command == lw52::MSG_DEVICE_CHANGE) ++changes;
            });
        return true;
    }
    ~Panel() {
        Join();
        if (app && m_token) app->NotifyCenter().Unsubscribe(m_token);
    }
    // Many console lines in one write: the card sends their frames back to back. The
    // emulator's answers are read on a thread of their own, so the UI thread only runs the
    // panel while it is measured.
    void Console(std::vector<std::string> lines) {
        Join();
        m_console = std::thread([this, lines = std::move(lines)] {
            std::string all;
            for (const std::string& line : lines) all += line + "\n";
            card.WriteLine(all.substr(0, all.size() - 1));
            std::string answer;
            for (size_t i = 0; i < lines.size(); ++i) card.ReadLine(answer, 5000);
        });
    }
    void Join() {
        if (m_console.joinable()) m_console.join();
    }
    CWorkSpace& Workspace() { return *app->Workspace(); }
    CQvAudioProtocol* Protocol() { return app->Workspace()->Protocol(); }
    int levels = 0;
    int changes = 0;

  private:
    int m_token = 0;
    std::thread m_console;
};

// kind 0: level frames, 1: knobs turned on the card, 2: junk of full length, 3: short junk.
void BM_CardBurst(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    constexpr int kFrames = 1000;
    Panel panel;
    if (!panel.Start()) {
        state.SkipWithError("the panel did not attach the virtual card");
        return;
    }
    double worst = 0;
    for (auto _ : state) {
        const int levelsBefore = panel.levels, changesBefore = panel.changes;
        Heartbeat heartbeat;
        QTest::qWait(20);
        std::vector<std::string> lines;
        for (int i = 0; i < (kind < 2 ? kFrames : 0); ++i)
            lines.push_back(kind == 0 ? "levels 3 5" : "knob 36 " + std::to_string(i % 101));
        if (kind >= 2) {
            lines.push_back(kind == 2 ? "junk 1000 64" : "junk 1000 7");
            lines.push_back("levels 1 1");  // behind the junk: it has all been read
        }
        panel.Console(std::move(lines));
        const int wantLevels = kind == 0 ? kFrames : kind >= 2 ? 1 : 0;
        const int wantChanges = kind == 1 ? kFrames : 0;
        const bool done = QTest::qWaitFor(
            [&] {
                return panel.levels - levelsBefore >= wantLevels &&
                       panel.changes - changesBefore >= wantChanges;
            },
            30000);
        QTest::qWait(50);  // what the burst left queued
        const double stall = heartbeat.LongestMs();
        panel.Join();
        worst = std::max(worst, stall);
        state.SetIterationTime(stall / 1000);
        if (!done) state.SkipWithError("not every frame reached the panel");
    }
    state.counters["longest_stall_ms"] = worst;
}
BENCHMARK(BM_CardBurst)
    ->ArgName("kind")
    ->DenseRange(0, 3)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A request every attempt of which is answered with a wrong command byte: it holds the UI
// thread for its attempts and timeouts. 0: a parameter frame (3 x 1500 ms), 1: the device
// information (3 x 300 ms).
void BM_WrongCommandReply(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    Panel panel;
    if (!panel.Start()) {
        state.SkipWithError("the panel did not attach the virtual card");
        return;
    }
    int value = 10;
    for (auto _ : state) {
        panel.Console({"fault command 3"});
        panel.Join();
        QTest::qWait(250);  // the throttle lets the next change go at once
        QElapsedTimer clock;
        clock.start();
        if (kind == 0) {
            panel.Workspace().SetParamFromRemote(36, ++value);
        } else {
            uint8_t reply[lw52::kFrameBufferSize];
            panel.Protocol()->QueryDeviceInfo(reply);
        }
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_WrongCommandReply)
    ->ArgName("kind")
    ->DenseRange(0, 1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

LW52_BENCHMARK_MAIN()
