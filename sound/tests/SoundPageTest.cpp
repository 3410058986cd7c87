// The sound-pad page in the real main window: a virtual card process, a private sound server
// with the card's output, and the local cloud service with sound categories.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QScrollArea>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "ChildProcess.h"
#include "ClipPipeline.h"
#include "CloudFixture.h"
#include "Controls.h"
#include "EventHandlerSound.h"
#include "HotkeyConfig.h"
#include "MainApp.h"
#include "MainDlg.h"
#include "MainHideWnd.h"
#include "MessageBox.h"
#include "NotifyCenter.h"
#include "PulseDaemon.h"
#include "SendWindow.h"
#include "SoundPads.h"
#include "SoundService.h"
#include "TipWindow.h"
#include "UploadVolume.h"
#include "WaveFile.h"
#include "WorkSpace.h"

namespace fs = std::filesystem;

namespace {

std::string Run(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
        pclose(pipe);
    }
    return out;
}

// The sink index of each playing stream, from the server's own list.
std::vector<std::string> SinkInputSinks() {
    std::vector<std::string> sinks;
    std::istringstream lines(Run("pactl list short sink-inputs 2>/dev/null"));
    std::string index, sink;
    std::string rest;
    while (lines >> index >> sink) {
        sinks.push_back(sink);
        std::getline(lines, rest);
    }
    return sinks;
}

std::string SinkIndex(const std::string& name) {
    std::istringstream lines(Run("pactl list short sinks 2>/dev/null"));
    std::string index, sinkName, rest;
    while (lines >> index >> sinkName) {
        if (sinkName == name) return index;
        std::getline(lines, rest);
    }
    return {};
}

class SoundPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!PulseDaemon::Available()) GTEST_SKIP() << "pulseaudio is not installed";
        LW52_REQUIRE_CLOUD_FIXTURE();
        std::string error;
        ASSERT_TRUE(pulse.Start(&error)) << error;
        SoundService service(dir.Path() + "/cloud");
        for (int c = 1; c <= 9; ++c) service.AddCategory("类别" + std::to_string(c), 1);
        ASSERT_TRUE(cloud.Start(service.Root()));
        const std::string vhid = dir.Path() + "/vhid";
        ASSERT_TRUE(card.Start(LW52_EMULATOR_PATH, {"--dir", vhid}));
        ASSERT_NE(card.WaitForLine("listening on", 10000), "");
        qputenv("LW52_VHID_DIR", QByteArray::fromStdString(vhid));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.Path() + "/data"));
        msgbox::SetResponder([this](const msgbox::Shown& shown) {
            boxes.push_back(shown.text);
            return msgbox::kIdOk;
        });
        app = std::make_unique<CMainApp>();
        ASSERT_TRUE(app->Init());
        app->StartWindows();
        ASSERT_TRUE(QTest::qWaitFor([&] { return app->MainWindow() != nullptr; }, 5000));
        window = app->MainWindow();
        page = dynamic_cast<CEventHandlerSound*>(window->Pages()[1].get());
        ASSERT_NE(page, nullptr);
        page->chooseMenuItem = [](const std::vector<int>&) { return 0; };
        tabs = qobject_cast<QTabWidget*>(window->Find("tab_sound"));
        ASSERT_NE(tabs, nullptr);
    }
    void TearDown() override {
        app.reset();
        msgbox::SetResponder(nullptr);
    }
    QAbstractButton* Pad(int id) { return qobject_cast<QAbstractButton*>(window->FindById(id)); }
    QString TimeText() {
        return qobject_cast<QLabel*>(window->Find("txt_sound_play_time"))->text();
    }
    void Unplug() {
        std::string reply;
        card.WriteLine("unplug");
        card.ReadLine(reply, 5000);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !app->Workspace()->IsConnected(); }, 5000));
    }

    TempDir dir;
    PulseDaemon pulse;
    CloudFixture cloud;
    ChildProcess card;
    std::unique_ptr<CMainApp> app;
    CMainDlg* window = nullptr;
    CEventHandlerSound* page = nullptr;
    QTabWidget* tabs = nullptr;
    std::vector<QString> boxes;
};

TEST_F(SoundPageTest, AFirstStartFillsTheGridsAndSevenCloudTabs) {
    const HotkeyConfig& config = app->Hotkeys();
    ASSERT_EQ(config.Favourites().size(), 18u);
    for (int i = 0; i < 18; ++i) ASSERT_NE(Pad(14000 + i), nullptr) << i;
    EXPECT_EQ(Pad(14000)->text(), "非诚勿扰");
    // The hotkey text stands under the first eight favourites only.
    auto keyText = [&](int id) { return Pad(id)->parentWidget()->findChild<QLabel*>()->text(); };
    EXPECT_EQ(keyText(14000), "Num 1");
    EXPECT_EQ(keyText(14007), "Num 8");
    EXPECT_EQ(keyText(14008), "");
    EXPECT_EQ(Pad(15017)->text(), "救命");
    ASSERT_NE(Pad(pads::kAddPad), nullptr);
    EXPECT_EQ(Pad(pads::kAddPad)->toolTip(), "添加本地mp3文件");
    EXPECT_EQ(Pad(17000), nullptr);

    // Nine categories: seven tabs after the three fixed ones; all nine are kept.
    ASSERT_TRUE(QTest::qWaitFor([&] { return tabs->count() == 10; }, 10000)) << tabs->count();
    EXPECT_FALSE(page->CloudListRunning());
    EXPECT_EQ(app->Hotkeys().CloudCategoryCount(), 9u);
    EXPECT_EQ(tabs->tabText(3), "类别1");
    EXPECT_NE(Pad(24000), nullptr);  // category 6
    EXPECT_EQ(Pad(25000), nullptr);
    EXPECT_FALSE(window->Find("ani_fetch_cloud_sound")->isVisible());
}

TEST_F(SoundPageTest, APadPlaysIntoTheCardsOutputAndTheStripFollowsItToTheEnd) {
    const std::string lw52 = SinkIndex("lw52_out");
    ASSERT_FALSE(lw52.empty());
    QTest::mouseClick(Pad(15003), Qt::LeftButton);  // 掌声
    EXPECT_EQ(page->CurrentPadId(), 15003);
    EXPECT_EQ(page->CurrentEntry().PathUtf8(), "DJ_ZS");
    ASSERT_TRUE(page->Streams().IsPlayerRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !SinkInputSinks().empty(); }, 5000));
    EXPECT_EQ(SinkInputSinks(), std::vector<std::string>{lw52});
    // The clip plays to its end: the time shows, then the strip goes back to zero.
    EXPECT_TRUE(QTest::qWaitFor([&] { return TimeText() != "00:00:00"; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !page->Streams().IsPlayerRunning() && TimeText() == "00:00:00"; }, 15000));
    EXPECT_FALSE(window->Timers().IsRunning(CEventHandlerSound::kTimerProgress));
}

TEST_F(SoundPageTest, VolumeAndStopReachThePlayer) {
    QTest::mouseClick(Pad(14002), Qt::LeftButton);
    ASSERT_TRUE(page->Streams().IsPlayerRunning());
    EventVolumeChange change;
    change.volume = 33;
    app->NotifyCenter().FireEvent(change);
    EXPECT_EQ(app->Hotkeys().Volume(), 33);
    HotkeyConfig reread;
    ASSERT_TRUE(reread.Init(app->Hotkeys().Path()));
    EXPECT_EQ(reread.Volume(), 33);
    QTest::mouseClick(qobject_cast<QAbstractButton*>(window->Find("btn_sound_stop")),
                      Qt::LeftButton);
    EXPECT_FALSE(page->Streams().IsPlayerRunning());
    EXPECT_EQ(TimeText(), "00:00:00");
}

TEST_F(SoundPageTest, FailuresAndRefusalsSayWhy) {
    // A pad id without a list.
    page->PlayPad(16000);
    EXPECT_EQ(CTipWindow::CurrentText(), "播放失败");
    // A local file that is not audio.
    const std::string bad = dir.Path() + "/bad.mp3";
    std::ofstream(bad) << "not audio";
    page->askClipFile = [&] { return QString::fromStdString(bad); };
    page->askClipName = [](const QString& offered) { return std::optional<QString>(offered); };
    page->AddLocalClip();
    ASSERT_NE(Pad(15018), nullptr);
    EXPECT_EQ(Pad(15018)->text(), "bad");
    QTest::mouseClick(Pad(15018), Qt::LeftButton);
    EXPECT_EQ(CTipWindow::CurrentText(), "播放失败");
    EXPECT_EQ(page->Streams().player, nullptr);

    // A built-in clip that is a favourite already.
    page->OpenPadMenu(15000, QPoint());
    page->OnMenuCommand(pads::kCmdAddFavourite);
    EXPECT_EQ(CTipWindow::CurrentText(), "收藏夹中已经存在“非诚勿扰”");
    EXPECT_EQ(app->Hotkeys().Favourites().size(), 18u);

    // No card: loading into a slot is refused, hotkeys do nothing.
    Unplug();
    page->OpenPadMenu(15001, QPoint());
    page->OnMenuCommand(pads::kCmdSlot2);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back(), "未连接设备！");
    EXPECT_FALSE(page->OnWindowMessage({WindowMessage::kHotkey, 14000}));
}

TEST_F(SoundPageTest, TheMenuFollowsThePadAndLoadsIntoTheCard) {
    EXPECT_EQ(page->PadMenuItems(14000),
              (std::vector<int>{1006, pads::kCmdRemoveFavourite, pads::kCmdDeleteHotkey,
                                pads::kCmdEditHotkey}));
    EXPECT_EQ(page->PadMenuItems(14010),
              (std::vector<int>{1006, pads::kCmdRemoveFavourite, pads::kCmdSetHotkey}));
    EXPECT_EQ(page->PadMenuItems(15000), (std::vector<int>{1006, pads::kCmdAddFavourite}));
    EXPECT_TRUE(page->PadMenuItems(16000).empty());

    std::vector<std::tuple<std::string, int, int>> sent;
    page->onSendRequest = [&](const std::string& path, int flag, int slot) {
        sent.emplace_back(path, flag, slot);
    };
    page->OpenPadMenu(15004, QPoint());
    page->OnMenuCommand(pads::kCmdSlot3);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], std::make_tuple(std::string("DJ_DHX"), 1, 3));

    // Removing favourite 0 moves the others up; deleting its hotkey clears the key text.
    page->OpenPadMenu(14001, QPoint());
    page->OnMenuCommand(pads::kCmdDeleteHotkey);
    EXPECT_EQ(app->Hotkeys().GetFavouriteHotkey(1), 0u);
    page->OpenPadMenu(14000, QPoint());
    page->OnMenuCommand(pads::kCmdRemoveFavourite);
    ASSERT_EQ(app->Hotkeys().Favourites().size(), 17u);
    EXPECT_EQ(Pad(14000)->text(), "鄙视");
    EXPECT_EQ(Pad(14000)->parentWidget()->findChild<QLabel*>()->text(), "");

    // A grid rebuilt while a pad's menu is open (a download ending) waits for the menu: the
    // pad whose menu it is must not go under it.
    QAbstractButton* open = Pad(14002);
    QPointer<QAbstractButton> watched = open;
    page->chooseMenuItem = [&](const std::vector<int>&) {
        page->RebuildFavourites();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(watched) << "deleted while its menu runs";
        EXPECT_EQ(Pad(14002), open);
        return 0;
    };
    page->OpenPadMenu(14002, QPoint());
    EXPECT_NE(Pad(14002), open) << "rebuilt once the menu closed";
}

TEST_F(SoundPageTest, ACloudPadDownloadsOnceThenPlaysAndCanBeAFavourite) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return Pad(18000) != nullptr; }, 10000));
    ASSERT_TRUE(cloud.SetFault("slow"));
    QTest::mouseClick(Pad(18000), Qt::LeftButton);
    QTest::mouseClick(Pad(18000), Qt::LeftButton);
    EXPECT_EQ(page->RunningDownloads(), 1u) << "a second click during a download starts nothing";
    // The slow reply outlasts the client's timeout: the download fails and says so.
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->RunningDownloads() == 0; }, 20000));
    EXPECT_EQ(CTipWindow::CurrentText(), "下载文件失败");
    EXPECT_EQ(Pad(17000), nullptr);
    ASSERT_TRUE(cloud.SetFault("clear"));

    QTest::mouseClick(Pad(18000), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Pad(17000) != nullptr; }, 10000));
    const auto downloaded = app->Hotkeys().Downloaded();
    ASSERT_EQ(downloaded.size(), 1u);
    EXPECT_TRUE(fs::exists(downloaded[0].PathUtf8()));
    EXPECT_EQ(fs::path(downloaded[0].PathUtf8()).parent_path().filename(), "CloudSound");
    EXPECT_TRUE(page->Streams().IsPlayerRunning());

    // Already downloaded: a favourite at once, no second download.
    page->OpenPadMenu(18000, QPoint());
    page->OnMenuCommand(pads::kCmdAddFavourite);
    EXPECT_EQ(page->RunningDownloads(), 0u);
    EXPECT_EQ(app->Hotkeys().Favourites().size(), 19u);
    EXPECT_EQ(CTipWindow::CurrentText(), "成功添加到收藏夹！");
}

}  // namespace

// "载入设备" runs the upload window to its end: the clip scaled by the pad volume and the
// server's master level arrives in the card's slot exactly as the pipeline makes it. While the
// window is open the user cannot close it, the tray refuses Exit and further uploads wait.
TEST_F(SoundPageTest, LoadIntoDeviceSendsThePadIntoTheCardSlot) {
    ASSERT_EQ(system("pactl set-sink-volume @DEFAULT_SINK@ 50%"), 0);
    const int padVolume = app->Hotkeys().Volume();
    int windows = 0;
    QString firstTip;
    bool progressHiddenAtFirst = false;
    bool visibleInItsLoop = false;
    bool survivedClose = false;
    int decoderVolume = -1;
    int progressMax = 0, lastProgress = 0;
    page->onSendWindowOpen = [&](CSendWindow& w) {
        ++windows;
        firstTip = FindControlAs<QLabel>(&w, "txt_tip")->text();
        progressHiddenAtFirst = FindControl(&w, "send_progress")->isHidden();
        decoderVolume = w.DecoderVolume();
        auto* bar = FindControlAs<QProgressBar>(&w, "mood_effect");
        QObject::connect(bar, &QProgressBar::valueChanged, bar, [&, bar](int value) {
            lastProgress = value;
            progressMax = bar->maximum();
        });
        QTimer::singleShot(0, &w, [&, window = &w] {
            visibleInItsLoop = window->isVisible();
            window->close();
            QTest::keyClick(window, Qt::Key_Escape);
            survivedClose = window->isVisible();
            app->HideWindow()->OnCommand(CMainHideWnd::kCmdExit);
            EventDoSendData again;
            again.path = "DJ_ZS";
            again.resourceFlag = 1;
            app->NotifyCenter().FireEvent(again);
        });
    };
    page->OpenPadMenu(15004, QPoint());  // a built-in clip
    page->OnMenuCommand(pads::kCmdSlot2);

    EXPECT_EQ(windows, 1) << "an upload asked for meanwhile is ignored";
    EXPECT_EQ(firstTip, "正在解码特效文件...");
    EXPECT_TRUE(progressHiddenAtFirst);
    EXPECT_TRUE(visibleInItsLoop);
    EXPECT_TRUE(survivedClose);
    EXPECT_EQ(boxes, std::vector<QString>{"正在载入特效，暂时不能退出软件"});
    EXPECT_NE(app->MainWindow(), nullptr);
    EXPECT_FALSE(app->GetProtocol()->soundTransferActive.load());
    EXPECT_EQ(decoderVolume, upload::DecoderVolume(padVolume, 51));

    std::vector<uint8_t> expected;
    ASSERT_EQ(upload::PrepareClip("DJ_DHX", 1, padVolume, 0.5, expected),
              upload::PrepareResult::kOk);
    EXPECT_EQ(progressMax, static_cast<int>(expected.size()));
    EXPECT_EQ(lastProgress, progressMax);
    const std::string dump = dir.Path() + "/slot2.wav";
    card.WriteLine("dump 2 " + dump);
    EXPECT_EQ(card.WaitForLine("ok ", 5000), "ok " + std::to_string(expected.size()) + " bytes");
    upload::CWaveFile wav;
    ASSERT_TRUE(wav.Open(dump));
    ASSERT_EQ(wav.DataLength(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), wav.Data()));
    ASSERT_EQ(system("pactl set-sink-volume @DEFAULT_SINK@ 100%"), 0);
}

TEST_F(SoundPageTest, UploadFailuresCloseTheWindowWithTheirMessage) {
    // Nothing decodable: nothing reaches the card.
    const std::string text = dir.Path() + "/text.mp3";
    std::ofstream(text) << "not audio at all";
    EventDoSendData send;
    send.path = text;
    app->NotifyCenter().FireEvent(send);
    EXPECT_EQ(boxes, std::vector<QString>{"特效解码失败"});
    card.WriteLine("state");
    const std::string state = card.WaitForLine("\"sound\"", 5000);
    ASSERT_NE(state, "");
    EXPECT_EQ(state.find("\"announced\":true"), std::string::npos) << state;

    // The card falls silent a third of the way through: three attempts, then the failure.
    bool dropped = false;
    page->onSendWindowOpen = [&](CSendWindow& w) {
        auto* bar = FindControlAs<QProgressBar>(&w, "mood_effect");
        QObject::connect(bar, &QProgressBar::valueChanged, bar, [this, bar, &dropped](int value) {
            if (!dropped && value > bar->maximum() / 3) {
                dropped = true;
                card.WriteLine("fault drop 100000");
            }
        });
    };
    page->OpenPadMenu(15003, QPoint());
    page->OnMenuCommand(pads::kCmdSlot1);
    EXPECT_EQ(boxes.back(), "载入特效失败");
    EXPECT_FALSE(app->GetProtocol()->soundTransferActive.load());
    card.WriteLine("fault clear");
}
