// The upgrade dialog on the offscreen platform, driven through its phases against the virtual
// card and the local cloud service.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "AppPaths.h"
#include "ChildProcess.h"
#include "CloudFixture.h"
#include "DeviceManager.h"
#include "DlgUpgradeFirmware.h"
#include "FrameDefs.h"
#include "HidDeviceBuilder.h"
#include "IniFile.h"
#include "MessageBox.h"
#include "QvAudioProtocol.h"
#include "SessionWatcher.h"

namespace fs = std::filesystem;

void InitProgramResources();  // app/MainApp.cpp

namespace {

using Dialog = CDlgUpgradeFirmware;

// Stands in for a card that can take firmware: 56 bytes at a time, every attempt succeeds.
class InProcessWriter : public firmware::IFirmwareWriter {
  public:
    bool CanWrite(std::string&) override { return true; }
    bool WriteImage(const firmware::FirmwareStep& step, int, const Progress& progress,
                    const std::atomic<bool>&) override {
        const int64_t size = static_cast<int64_t>(step.image.size());
        progress(firmware::kProgressRange, size);
        for (int64_t done = 0; done < size;) {
            done = std::min<int64_t>(done + 56, size);
            progress(firmware::kProgressPosition, done);
        }
        ++written;
        return true;
    }
    int written = 0;
};

class UpgradeDialogTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { InitProgramResources(); }
    void SetUp() override {
        LW52_REQUIRE_CLOUD_FIXTURE();
        ASSERT_TRUE(cloud.Start(""));
        setenv("LW52_VHID_DIR", (dir.Path() + "/vhid").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir.Path() + "/data").c_str(), 1);
        setenv("TMPDIR", dir.Path().c_str(), 1);
        ASSERT_TRUE(CIniFile::CreateUtf16File(app_paths::SettingsPath()));
        ASSERT_TRUE(builder.Init(&protocol));
        msgbox::SetResponder([this](const msgbox::Shown& shown) {
            boxes.push_back(shown);
            return answer;
        });
    }
    void TearDown() override {
        dialog.reset();
        builder.GetDeviceManager()->DetachDevice();
        msgbox::SetResponder(nullptr);
        unsetenv("TMPDIR");
    }
    // A card with hardware 1.0 and firmware 1.1 (the package offers 1.2), attached.
    void PlugCard(const char* firmwareVersion = "0x11") {
        ASSERT_TRUE(card.Start(LW52_EMULATOR_PATH, {"--dir", dir.Path() + "/vhid", "--hw", "0x10",
                                                    "--fw", firmwareVersion}));
        ASSERT_NE(card.WaitForLine("listening on", 10000), "");
        ASSERT_EQ(builder.FindDevices(lw52::kProductId61), 1);
        ASSERT_TRUE(builder.OpenFirstFound());
    }
    void Open(std::unique_ptr<firmware::IFirmwareWriter> writer = nullptr) {
        Dialog::Services services;
        services.writer = std::move(writer);
        services.timings = {0, 0, 0};
        services.holdSleep = [this](bool on) {
            holds.push_back(on);
            if (holdTo) holdTo(on);
        };
        dialog = std::make_unique<Dialog>(&protocol, std::move(services), nullptr);
        dialog->show();
    }
    std::string Console(const std::string& line) {
        card.WriteLine(line);
        std::string reply;
        card.ReadLine(reply, 10000);
        return reply;
    }
    QLabel* Label(const char* name) { return dialog->findChild<QLabel*>(name); }
    QAbstractButton* Button(const char* name) { return dialog->findChild<QAbstractButton*>(name); }
    std::string Message() { return Label("txt_msg")->text().toStdString(); }
    bool Red() { return Label("txt_msg")->styleSheet().contains("200, 0, 0"); }
    // Waits until "重试" or "立即升级" is offered, or the upgrade finished.
    bool WaitForOffer(int ms = 15000) {
        return QTest::qWaitFor(
            [&] {
                return Button("btn_retry")->isVisible() || Button("btn_upgrade")->isVisible() ||
                       dialog->CurrentPhase() == Dialog::kFinished;
            },
            ms);
    }
    void Click(const char* name) { QTest::mouseClick(Button(name), Qt::LeftButton); }

    TempDir dir;
    CloudFixture cloud;
    ChildProcess card;
    CQvAudioProtocol protocol;
    CHidDeviceBuilder builder;
    std::unique_ptr<Dialog> dialog;
    // The login manager's stand-in on a bus of our own, and a watcher on it; null (the test
    // goes on without) when dbus-daemon is not installed.
    std::unique_ptr<CSessionWatcher> StartLoginManager(ChildProcess& bus, ChildProcess& logind) {
        const char* daemon = "/usr/bin/dbus-daemon";
        if (access(daemon, X_OK) != 0) return nullptr;
        std::string address;
        EXPECT_TRUE(bus.Start(daemon, {"--session", "--nofork", "--print-address"}) &&
                    bus.ReadLine(address, 10000));
        setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
        EXPECT_TRUE(logind.Start(LW52_LOGIND_STANDIN_PATH, {}) &&
                    !logind.WaitForLine("ready", 10000).empty());
        auto watcher = std::make_unique<CSessionWatcher>();
        watcher->Start();
        unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        EXPECT_TRUE(watcher->OnSystemBus());
        return watcher;
    }

    int answer = msgbox::kIdOk;
    std::function<void(bool)> holdTo;
    std::vector<msgbox::Shown> boxes;
    std::vector<bool> holds;
};

TEST_F(UpgradeDialogTest, ChecksDownloadsOffersAndEndsTheWriteWithTheHonestText) {
    PlugCard();
    Open();
    ASSERT_TRUE(WaitForOffer()) << Message();
    EXPECT_EQ(dialog->CurrentPhase(), Dialog::kPackageReady);
    EXPECT_EQ(
        Message(),
        "当前固件版本：1.1\n当前硬件版本：1.0\n最新固件版本：1.2\n\n点击“立即升级”按钮开始升级");
    EXPECT_FALSE(Red());
    EXPECT_TRUE(Button("btn_upgrade")->isVisible());
    EXPECT_FALSE(Label("txt_currentaction")->isVisible());
    EXPECT_FALSE(dialog->findChild<QProgressBar*>("progress")->isVisible());
    const std::string package = dir.Path() + "/QvLW52_FirmWare.zip";
    EXPECT_EQ(access(package.c_str(), F_OK), 0);

    // Cancelling the notes leaves the offer as it was.
    answer = msgbox::kIdCancel;
    Click("btn_upgrade");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "注意事项");
    EXPECT_TRUE(boxes[0].text.startsWith("1.升级固件有损坏设备的风险,请慎重升级。"));
    EXPECT_EQ(dialog->CurrentPhase(), Dialog::kPackageReady);
    EXPECT_TRUE(Button("btn_upgrade")->isVisible());
    EXPECT_TRUE(holds.empty());

    // Confirmed: the settings are kept, the system may not sleep, and the card's writer says
    // that it cannot write.
    answer = msgbox::kIdOk;
    ChildProcess bus, logind;
    std::unique_ptr<CSessionWatcher> watcher = StartLoginManager(bus, logind);
    if (watcher) holdTo = [&](bool on) { watcher->HoldForFirmware(on); };
    Click("btn_upgrade");
    ASSERT_TRUE(WaitForOffer()) << Message();
    EXPECT_EQ(Message(), firmware::CCardFirmwareWriter::kCannotWriteText);
    EXPECT_TRUE(Red());
    EXPECT_EQ(dialog->CurrentPhase(), Dialog::kWriting);
    EXPECT_FALSE(dialog->UpgradeCompleted());
    EXPECT_EQ(holds, (std::vector<bool>{true, false}));
    if (watcher) {
        EXPECT_NE(logind.WaitForLine("inhibit sleep:shutdown block", 5000), "");
        EXPECT_NE(logind.WaitForLine("released sleep:shutdown", 5000), "");
        EXPECT_FALSE(watcher->FirmwareLockHeld());
        holdTo = nullptr;
    }
    ASSERT_FALSE(dialog->BackupPath().empty());
    EXPECT_TRUE(fs::exists(dialog->BackupPath()));
    EXPECT_EQ(fs::path(dialog->BackupPath()).parent_path(), fs::path(dir.Path() + "/data/QvLW52"));

    // Retry repeats the write phase, with the same answer.
    Click("btn_retry");
    ASSERT_TRUE(WaitForOffer()) << Message();
    EXPECT_EQ(Message(), firmware::CCardFirmwareWriter::kCannotWriteText);

    dialog.reset();
    EXPECT_NE(access(package.c_str(), F_OK), 0) << "the package goes with the dialog";
}

TEST_F(UpgradeDialogTest, NoCardFirstThenRetryAfterItIsPlugged) {
    Open();
    ASSERT_TRUE(WaitForOffer());
    EXPECT_EQ(Message(), "未连接设备，请先连接设备");
    EXPECT_TRUE(Red());
    EXPECT_EQ(dialog->CurrentPhase(), Dialog::kCheckingCard);

    PlugCard();
    Click("btn_retry");
    ASSERT_TRUE(WaitForOffer()) << Message();
    EXPECT_EQ(dialog->CurrentPhase(), Dialog::kPackageReady);
    EXPECT_TRUE(Button("btn_upgrade")->isVisible());
}

TEST_F(UpgradeDialogTest, ACardWithTheNewestFirmwareIsNotOfferedAnUpgrade) {
    PlugCard("0x12");
    Open();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return dialog->CurrentPhase() == Dialog::kPackageReady; }, 15000));
    EXPECT_EQ(Message(),
              "当前固件版本：1.2                  "
              "当前硬件版本：1.0\n最新固件版本：1.2\n\n固件已经是最新");
    EXPECT_FALSE(Button("btn_upgrade")->isVisible());
    EXPECT_FALSE(Button("btn_retry")->isVisible());
}

TEST_F(UpgradeDialogTest, AFailedPhaseIsRepeatedByRetry) {
    PlugCard();
    const struct {
        const char* fault;
        const char* text;
        int phase;
    } cases[] = {
        {"status500", "获取服务器上的信息失败", Dialog::kAskingServer},
        {"shortpackage", "打开压缩文件失败", Dialog::kUnpacking},
        {"nopackage", "下载固件失败！", Dialog::kDownloading},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        ASSERT_TRUE(cloud.SetFault(c.fault));
        Open();
        ASSERT_TRUE(WaitForOffer());
        EXPECT_EQ(Message(), c.text);
        EXPECT_TRUE(Red());
        EXPECT_EQ(dialog->CurrentPhase(), c.phase);
        EXPECT_FALSE(Button("btn_upgrade")->isVisible());

        ASSERT_TRUE(cloud.SetFault("clear"));
        Click("btn_retry");
        // "nopackage" names the missing package in the answer, which a retry of the download
        // asks for again: it fails the same way until the dialog is opened anew.
        ASSERT_TRUE(WaitForOffer()) << Message();
        if (std::string(c.fault) == "nopackage") {
            EXPECT_EQ(dialog->CurrentPhase(), Dialog::kDownloading);
        } else {
            EXPECT_EQ(dialog->CurrentPhase(), Dialog::kPackageReady) << Message();
            EXPECT_TRUE(Button("btn_upgrade")->isVisible());
        }
        dialog.reset();
    }
}

TEST_F(UpgradeDialogTest, TheWriteChecksTheCardAgainAndAWriterThatCanWriteFinishes) {
    PlugCard();
    auto writer = std::make_unique<InProcessWriter>();
    InProcessWriter* inProcess = writer.get();
    Open(std::move(writer));
    ASSERT_TRUE(WaitForOffer());
    ASSERT_TRUE(Button("btn_upgrade")->isVisible()) << Message();

    // Another card swapped in after the versions were shown.
    ASSERT_EQ(Console("versions 0x10 0x10"), "ok");
    Click("btn_upgrade");
    ASSERT_TRUE(WaitForOffer());
    EXPECT_EQ(Message(),
              "当前设备的版本不同于之前检测到的设备，无法升级。请稍后再重新打开固件升级界面重新升级"
              "。      ");
    ASSERT_EQ(Console("versions 0x10 0x11"), "ok");

    // A second card on the computer.
    ChildProcess second;
    ASSERT_TRUE(
        second.Start(LW52_EMULATOR_PATH, {"--dir", dir.Path() + "/vhid", "--instance", "emu1"}));
    ASSERT_NE(second.WaitForLine("listening on", 10000), "");
    Click("btn_retry");
    ASSERT_TRUE(WaitForOffer());
    EXPECT_EQ(Message(), firmware::kTwoCardsText);
    EXPECT_EQ(inProcess->written, 0);
    second.Stop();

    Click("btn_retry");
    ASSERT_TRUE(WaitForOffer());
    EXPECT_EQ(Message(), "升级完成，请拔掉声卡设备的USB，然后重新插上USB，重启声卡设备。");
    EXPECT_FALSE(Red());
    EXPECT_EQ(Label("txt_msg")->alignment(), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ(dialog->CurrentPhase(), Dialog::kFinished);
    EXPECT_TRUE(dialog->UpgradeCompleted());
    EXPECT_EQ(inProcess->written, 1) << "only the step for firmware 1.1";
    EXPECT_FALSE(Button("btn_retry")->isVisible());
    EXPECT_FALSE(Button("btn_upgrade")->isVisible());
}

}  // namespace
