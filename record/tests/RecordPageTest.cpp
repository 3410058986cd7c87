// The recording page in the real main window: a virtual card process, a private sound server
// whose "LW52" output plays a tone into the "LW52" line input, and a private bus with a stand-in
// for the login manager.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "AudioStream.h"
#include "AudioTestKit.h"
#include "ChildProcess.h"
#include "DeviceFilter.h"
#include "EventHandlerRecord.h"
#include "IniFile.h"
#include "MainApp.h"
#include "MainDlg.h"
#include "MessageBox.h"
#include "PulseDaemon.h"
#include "QvSlider.h"
#include "TipWindow.h"
#include "WindowTimers.h"
#include "WorkSpace.h"

namespace fs = std::filesystem;

namespace {

std::string InPath(const std::string& program) {
    const char* path = getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

class RecordPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!PulseDaemon::Available()) GTEST_SKIP() << "pulseaudio is not installed";
        std::string error;
        ASSERT_TRUE(pulse.Start(&error)) << error;
        // The login manager's stand-in on a bus of our own.
        const std::string daemon = InPath("dbus-daemon");
        if (daemon.empty()) GTEST_SKIP() << "dbus-daemon is not installed";
        ASSERT_TRUE(bus.Start(daemon, {"--session", "--nofork", "--print-address"}));
        std::string address;
        ASSERT_TRUE(bus.ReadLine(address, 10000));
        setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
        ASSERT_TRUE(logind.Start(LW52_LOGIND_STANDIN_PATH, {}));
        ASSERT_NE(logind.WaitForLine("ready", 10000), "");

        const std::string vhid = dir.Path() + "/vhid";
        ASSERT_TRUE(card.Start(LW52_EMULATOR_PATH, {"--dir", vhid}));
        ASSERT_NE(card.WaitForLine("listening on", 10000), "");
        qputenv("LW52_VHID_DIR", QByteArray::fromStdString(vhid));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.Path() + "/data"));
        msgbox::SetResponder([](const msgbox::Shown&) { return msgbox::kIdOk; });
        StartApp();
        PlayTone();
    }
    void TearDown() override {
        app.reset();
        if (tone) tone->Release();
        msgbox::SetResponder(nullptr);
        unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
    void StartApp() {
        app = std::make_unique<CMainApp>();
        ASSERT_TRUE(app->Init());
        app->StartWindows();
        ASSERT_TRUE(QTest::qWaitFor([&] { return app->MainWindow() != nullptr; }, 5000));
        window = app->MainWindow();
        page = dynamic_cast<CEventHandlerRecord*>(window->Pages()[2].get());
        ASSERT_NE(page, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return app->SessionWatcher().OnSystemBus(); }, 100));
    }
    // A long 440 Hz tone into the card's output, which the line input hears.
    void PlayTone() {
        const std::string clip = dir.Path() + "/tone.wav";
        ASSERT_TRUE(audiokit::WriteClip(clip, "wav", audiokit::Tone(60, 0.5, 440)));
        tone = audio::CreateAudioStream();
        ASSERT_NE(tone, nullptr);
        ASSERT_GE(audio::SelectDeviceByFilter(*tone, true, "LW52"), 0);
        ASSERT_TRUE(tone->Open(clip, 1000));
        ASSERT_TRUE(tone->Start());
    }
    QLabel* Label(const char* name) { return qobject_cast<QLabel*>(window->Find(name)); }
    QAbstractButton* Button(const char* name) {
        return qobject_cast<QAbstractButton*>(window->Find(name));
    }
    QvSlider* Slider() { return qobject_cast<QvSlider*>(window->Find("slider_play_progress")); }
    // Records until the page shows `seconds` recorded.
    void RecordFor(int seconds) {
        QTest::mouseClick(Button("btn_record"), Qt::LeftButton);
        ASSERT_EQ(page->CurrentState(), CEventHandlerRecord::kRecording) << Tip();
        const QString shown = QString::asprintf("00:00:%02d", seconds);
        ASSERT_TRUE(QTest::qWaitFor([&] { return Label("txt_record_time")->text() == shown; },
                                    seconds * 1000 + 5000))
            << Label("txt_record_time")->text().toStdString();
    }
    std::string Tip() { return CTipWindow::CurrentText().toStdString(); }
    int64_t RecordingSize() {
        std::error_code error;
        const auto size = fs::file_size(page->RecordingPath(), error);
        return error ? -1 : static_cast<int64_t>(size);
    }

    TempDir dir;
    PulseDaemon pulse;
    ChildProcess bus;
    ChildProcess logind;
    ChildProcess card;
    std::unique_ptr<CMainApp> app;
    CMainDlg* window = nullptr;
    CEventHandlerRecord* page = nullptr;
    audio::IAudioStream* tone = nullptr;
};

TEST_F(RecordPageTest, RecordsPlaysBackSeeksAndSaves) {
    EXPECT_FALSE(Button("btn_record_playback")->isEnabled());
    page->Save();
    EXPECT_EQ(Tip(), "您尚未录音，请先进行录音！");

    RecordFor(2);
    EXPECT_NE(logind.WaitForLine("inhibit sleep:shutdown delay", 5000), "")
        << "the system waits for the take";
    EXPECT_TRUE(QTest::qWaitFor([&] { return app->SessionWatcher().LockHeld(); }, 5000));
    EXPECT_FALSE(Button("btn_record_save")->isEnabled());
    page->Save();
    EXPECT_EQ(Tip(), "录音正在进行中，请先停止录音！");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window->Find("channel_volume")->property("value").toInt() > 20; }, 3000))
        << "the meter follows the tone";

    QTest::mouseClick(Button("btn_record"), Qt::LeftButton);
    EXPECT_EQ(page->CurrentState(), CEventHandlerRecord::kIdle);
    EXPECT_NE(logind.WaitForLine("released sleep:shutdown", 5000), "");
    EXPECT_GT(RecordingSize(), 2 * 24000);
    EXPECT_TRUE(Button("btn_record_playback")->isEnabled());
    EXPECT_TRUE(Button("btn_record_save")->isEnabled());

    // Playback: the length shows, the slider moves and the meter with it.
    QTest::mouseClick(Button("btn_record_playback"), Qt::LeftButton);
    ASSERT_EQ(page->CurrentState(), CEventHandlerRecord::kPlaying) << Tip();
    QvSlider* slider = Slider();
    EXPECT_TRUE(slider->isEnabled());
    EXPECT_GE(slider->maximum(), 2);
    EXPECT_EQ(Label("txt_record_time")->text(), QString::asprintf("00:00:%02d", slider->maximum()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return slider->value() >= 1; }, 5000));
    EXPECT_EQ(Label("txt_play_time")->text(), QString::asprintf("00:00:%02d", slider->value()));
    // Held, the slider stops following; released, it seeks and then follows every 500 ms.
    CWindowTimers& timers = window->Timers();
    page->OnSliderPressed();
    EXPECT_FALSE(timers.IsRunning(CEventHandlerRecord::kTimerPlayPosition));
    slider->setValue(0);
    page->OnSliderReleased();
    EXPECT_TRUE(timers.IsRunning(CEventHandlerRecord::kTimerPlayPosition));
    EXPECT_EQ(timers.Interval(CEventHandlerRecord::kTimerPlayPosition), 500);
    // The end of the recording brings the page back to idle.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return page->CurrentState() == CEventHandlerRecord::kIdle; }, 10000));
    EXPECT_FALSE(slider->isEnabled());
    EXPECT_EQ(Label("txt_play_time")->text(), "00:00:00");

    // Saving: a name without an extension gets ".mp3"; the copy equals the recording.
    const std::string saved = dir.Path() + "/my take";
    page->askSavePath = [&] { return std::optional<QString>(QString::fromStdString(saved)); };
    page->Save();
    EXPECT_EQ(Tip(), "录音保存成功！");
    EXPECT_EQ(fs::file_size(saved + ".mp3"), static_cast<uintmax_t>(RecordingSize()));
    EXPECT_FALSE(Button("btn_record_save")->isEnabled());
    page->askSavePath = [&] { return std::optional<QString>("/no/such/folder/take.mp3"); };
    page->Save();
    EXPECT_EQ(Tip(), "保存失败，请尝试保存到其他路径！");

    // The length shown is kept for the next start, with the recording.
    const QString length = Label("txt_record_time")->text();
    app.reset();
    StartApp();
    EXPECT_EQ(Label("txt_record_time")->text(), length);
    EXPECT_TRUE(Button("btn_record_playback")->isEnabled());
}

// The system's sleep and shutdown stop a recording first, with the file complete and the
// lock given back; waking up reads the card again; the card leaving stops the recording.
TEST_F(RecordPageTest, SleepShutdownAndTheCardLeavingEndTheTake) {
    RecordFor(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->SessionWatcher().LockHeld(); }, 5000));
    logind.WriteLine("sleep 1");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return page->CurrentState() == CEventHandlerRecord::kIdle; }, 5000));
    EXPECT_NE(logind.WaitForLine("released sleep:shutdown", 5000), "");
    EXPECT_EQ(page->Streams().recorder, nullptr);
    const int64_t kept = RecordingSize();
    EXPECT_GT(kept, 24000);
    EXPECT_FALSE(app->Workspace()->IsReady()) << "the card was told the host is leaving";
    logind.WriteLine("sleep 0");
    EXPECT_TRUE(QTest::qWaitFor([&] { return app->Workspace()->IsReady(); }, 5000))
        << "the card's state is read again after waking";

    RecordFor(1);
    logind.WriteLine("shutdown 1");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return page->CurrentState() == CEventHandlerRecord::kIdle; }, 5000));
    EXPECT_FALSE(app->Workspace()->IsConnected()) << "the card is let go";
    EXPECT_GT(RecordingSize(), 24000);
}

// A take that cannot be written (here every write fails: the disk is full) stops by itself,
// says why, and gives the lock back.
TEST_F(RecordPageTest, AFullDiskStopsTheRecordingWithATip) {
    fs::create_symlink("/dev/full", page->RecordingPath());
    QTest::mouseClick(Button("btn_record"), Qt::LeftButton);
    ASSERT_EQ(page->CurrentState(), CEventHandlerRecord::kRecording) << Tip();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return page->CurrentState() == CEventHandlerRecord::kIdle; }, 10000));
    EXPECT_NE(Tip().find("disk full"), std::string::npos) << Tip();
    EXPECT_EQ(page->Streams().recorder, nullptr);
    EXPECT_FALSE(app->SessionWatcher().Holding());
}

// Recording while the take plays back stops the playback first.
TEST_F(RecordPageTest, RecordingStopsAPlayback) {
    RecordFor(1);
    QTest::mouseClick(Button("btn_record"), Qt::LeftButton);
    QTest::mouseClick(Button("btn_record_playback"), Qt::LeftButton);
    ASSERT_EQ(page->CurrentState(), CEventHandlerRecord::kPlaying) << Tip();
    QTest::mouseClick(Button("btn_record"), Qt::LeftButton);
    EXPECT_EQ(page->CurrentState(), CEventHandlerRecord::kRecording) << Tip();
    EXPECT_EQ(page->Streams().player, nullptr);
    EXPECT_FALSE(window->Timers().IsRunning(CEventHandlerRecord::kTimerPlayPosition));
    EXPECT_TRUE(app->SessionWatcher().Holding());
}

TEST_F(RecordPageTest, TheCardLeavingStopsTheRecording) {
    RecordFor(1);
    card.WriteLine("unplug");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return page->CurrentState() == CEventHandlerRecord::kIdle; }, 5000));
    EXPECT_EQ(page->Streams().recorder, nullptr);
    EXPECT_GT(RecordingSize(), 0);
}

// Up to 20,480,000 bytes a recording opens at once; above, on a worker behind the overlay.
TEST_F(RecordPageTest, LargeRecordingsOpenOnTheWorker) {
    RecordFor(1);
    QTest::mouseClick(Button("btn_record"), Qt::LeftButton);
    // MP3 frames one after another are still an MP3: the take repeated to the sizes wanted.
    std::ifstream in(page->RecordingPath(), std::ios::binary);
    const std::string take{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(take.empty());
    for (const int64_t size : {int64_t{20480000}, int64_t{20480001}}) {
        std::string big;
        while (static_cast<int64_t>(big.size()) < size) big += take;
        big.resize(static_cast<size_t>(size));
        std::ofstream(page->RecordingPath(), std::ios::binary | std::ios::trunc) << big;
        QTest::mouseClick(Button("btn_record_playback"), Qt::LeftButton);
        if (size == 20480000) {
            EXPECT_FALSE(page->Loading());
            EXPECT_EQ(page->CurrentState(), CEventHandlerRecord::kPlaying) << Tip();
        } else {
            EXPECT_TRUE(page->Loading());
            EXPECT_TRUE(window->Find("record_display_wnd")->isVisible());
            EXPECT_TRUE(window->Find("loading")->isVisible());
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return page->CurrentState() == CEventHandlerRecord::kPlaying; }, 15000))
                << Tip();
            EXPECT_FALSE(window->Find("record_display_wnd")->isVisible());
        }
        QTest::mouseClick(Button("btn_record_playback"), Qt::LeftButton);
        EXPECT_EQ(page->CurrentState(), CEventHandlerRecord::kIdle);
    }
}

// SIGTERM (a logout) finishes the take before the program ends.
TEST_F(RecordPageTest, TerminationFinishesTheTake) {
    RecordFor(1);
    raise(SIGTERM);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return page->CurrentState() == CEventHandlerRecord::kIdle; }, 5000));
    EXPECT_EQ(page->Streams().recorder, nullptr);
    EXPECT_GT(RecordingSize(), 0);
}

}  // namespace
