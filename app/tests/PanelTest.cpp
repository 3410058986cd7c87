// The panel's shell on the offscreen platform: routing, closing, the tray's commands,
// device information, and one instance per user across two processes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <functional>

#include "ChildProcess.h"
#include "DlgUpgradeFirmware.h"
#include "IniFile.h"
#include "MainApp.h"
#include "MainDlg.h"
#include "MainHideWnd.h"
#include "MessageBox.h"
#include "Records.h"
#include "WorkSpace.h"

namespace {

// A page that claims one control by name and records what it saw.
class ClaimingPage : public IPageHandler {
  public:
    explicit ClaimingPage(QString claim) : m_claim(std::move(claim)) {}
    void Init(IPageHost*) override {}
    bool OnControlEvent(const ControlEvent& e) override {
        seen.push_back(e.name);
        return e.name == m_claim;
    }
    bool OnWindowMessage(const WindowMessage&) override { return false; }
    QStringList seen;

  private:
    QString m_claim;
};

class PanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.Path() + "/data"));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.Path() + "/config"));
        qputenv("LW52_VHID_DIR", QByteArray::fromStdString(dir.Path() + "/vhid"));
        msgbox::SetResponder([](const msgbox::Shown&) { return msgbox::kIdOk; });
        msgbox::ClearLast();
        // An Exit in an earlier test asked the event loops to end, and that request stays
        // until the application's own loop runs once: a dialog's loop would return at once.
        QTimer::singleShot(0, [] { QApplication::exit(0); });
        QApplication::exec();
    }
    void TearDown() override {
        app.reset();
        msgbox::SetResponder(nullptr);
    }
    void Start(int closeOperation = 1) {
        CIniFile::CreateUtf16File(dir.Path() + "/data/QvLW52/QvH31ConfigData.db");
        CIniFile(dir.Path() + "/data/QvLW52/QvH31ConfigData.db")
            .WriteInt("Settings", "CloseBtnOperation", closeOperation);
        app = std::make_unique<CMainApp>();
        ASSERT_TRUE(app->Init());
        app->StartWindows();
        ASSERT_TRUE(QTest::qWaitFor([&] { return app->MainWindow() != nullptr; }, 5000));
    }
    TempDir dir;
    std::unique_ptr<CMainApp> app;
};

TEST_F(PanelTest, MainWindowHoldsItsLayout) {
    Start();
    CMainDlg* main = app->MainWindow();
    EXPECT_EQ(main->size(), QSize(974, 662));
    // Opened in the middle of its screen.
    const QPoint middle = main->screen()->availableGeometry().center();
    EXPECT_LE((main->frameGeometry().center() - middle).manhattanLength(), 2)
        << main->frameGeometry().center().x() << "," << main->frameGeometry().center().y();
    for (const char* name : {"btn_close", "btn_min", "btn_menu", "param_content", "eq_curve",
                             "container_sound", "container_record", "forbid_device_conn_status"})
        EXPECT_NE(main->Find(name), nullptr) << name;
    for (int id : {900, 901, 902, 8000, 8023, 2025, 2034, 7003, 9000, 9001, 10000, 10023, 600018,
                   611019, 12100})
        EXPECT_NE(main->FindById(id), nullptr) << id;
}

TEST_F(PanelTest, APageThatClaimsAControlKeepsItFromTheWindow) {
    Start(1);
    CMainDlg* main = app->MainWindow();
    auto page = std::make_unique<ClaimingPage>("btn_close");
    ClaimingPage* effects = page.get();
    main->SetPage(0, std::move(page));
    QTest::mouseClick(main->Find("btn_close"), Qt::LeftButton);
    EXPECT_TRUE(effects->seen.contains("btn_close"));
    EXPECT_EQ(app->MainWindow(), main) << "the window did not close";
}

TEST_F(PanelTest, CloseEndsTheProgramOnlyWhenTheSettingSaysSo) {
    for (int operation : {1, 0}) {
        SCOPED_TRACE(operation);
        Start(operation);
        CMainDlg* main = app->MainWindow();
        QTimer::singleShot(0, main, [main] {
            QTest::mouseClick(main->Find("btn_close"), Qt::LeftButton);
            // Posted once the close was handled: only reached when the program did not quit.
            QTimer::singleShot(0, [] { QApplication::exit(99); });
        });
        const int code = QApplication::exec();
        EXPECT_EQ(code, operation == 1 ? 0 : 99);
        if (operation == 1) {
            EXPECT_EQ(app->MainWindow(), nullptr);
        } else {
            // No tray here to come back through: the window stays, minimised.
            ASSERT_FALSE(app->TrayReachable());
            EXPECT_EQ(app->MainWindow(), main);
            EXPECT_TRUE(main->isMinimized());
        }
        app.reset();
    }
}

TEST_F(PanelTest, TrayCommands) {
    Start();
    CMainHideWnd* hide = app->HideWindow();
    CMainDlg* main = app->MainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    hide->OnTrayActivated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(main->isVisible()) << "a left click hides a visible window";
    hide->OnTrayActivated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(main->isVisible());

    // Exit is refused while a sound goes to the card.
    app->GetProtocol()->soundTransferActive = true;
    hide->OnCommand(CMainHideWnd::kCmdExit);
    ASSERT_NE(msgbox::Last(), nullptr);
    EXPECT_EQ(msgbox::Last()->text, "正在载入特效，暂时不能退出软件");
    EXPECT_EQ(msgbox::Last()->caption, "提示");
    EXPECT_NE(app->MainWindow(), nullptr);
    app->GetProtocol()->soundTransferActive = false;

    hide->OnCommand(CMainHideWnd::kCmdAbout);
    ASSERT_NE(hide->AboutWindow(), nullptr);
    EXPECT_NE(hide->AboutWindow()->findChild<QLabel*>("txt_version"), nullptr);
    // Another program activated: the About window loses activation and closes.
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(hide->AboutWindow(), &deactivate);
    EXPECT_TRUE(QTest::qWaitFor([&] { return hide->AboutWindow() == nullptr; }, 2000));
}

// Exit from the tray while a dialog of the main window is in its own loop: the dialog is
// closed and its loop returns before any window is destroyed.
TEST_F(PanelTest, TrayExitWaitsForAModalDialogToReturn) {
    Start();
    CMainHideWnd* hide = app->HideWindow();
    QPointer<CMainDlg> main = app->MainWindow();
    bool mainAliveAfterExec = false;
    {
        QDialog dialog(main);
        dialog.setModal(true);
        QTimer::singleShot(0, hide, [hide] { hide->OnCommand(CMainHideWnd::kCmdExit); });
        EXPECT_EQ(dialog.exec(), QDialog::Rejected);
        mainAliveAfterExec = !main.isNull();
    }
    EXPECT_TRUE(mainAliveAfterExec) << "the window went while its dialog still ran";
    EXPECT_TRUE(QTest::qWaitFor([&] { return main.isNull(); }, 5000)) << "then Exit goes on";
}

// What the user set survives the window, however it goes: closed, or the tray's Exit.
TEST_F(PanelTest, TheLastStateIsStoredWhenTheWindowGoes) {
    for (const bool viaTray : {false, true}) {
        SCOPED_TRACE(viaTray ? "tray Exit" : "window closed");
        Start(viaTray ? 0 : 1);
        const int reverb = viaTray ? 41 : 42;
        app->Workspace()->SetParam(36, reverb);
        if (viaTray)
            app->HideWindow()->OnCommand(CMainHideWnd::kCmdExit);
        else
            app->MainWindow()->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return app->MainWindow() == nullptr; }, 5000));
        lw52::EffectRecord stored{};
        ASSERT_TRUE(CIniFile(dir.Path() + "/data/QvLW52/QvH31ConfigData.db")
                        .GetStruct("LastStatus", "CurrentEffect", &stored, sizeof stored));
        EXPECT_EQ(stored.values[36], reverb);
        app.reset();
    }
}

TEST_F(PanelTest, DeviceInformationWithoutACard) {
    Start();
    app->MainWindow()->OnMenuCommand(0);
    ASSERT_NE(msgbox::Last(), nullptr);
    EXPECT_EQ(msgbox::Last()->text, "未连接设备！");
    msgbox::ClearLast();
    app->MainWindow()->OnMenuCommand(2);  // id 3 has no command
    EXPECT_EQ(msgbox::Last(), nullptr);
}

// Calls then(dialog) once the modal upgrade dialog has looked for the card (none here). Polls
// from a timer: the dialog runs its own event loop, so a wait nested below it would never end.
void WhenUpgradeDialogShows(std::function<void(CDlgUpgradeFirmware*)> then) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, then] {
        CDlgUpgradeFirmware* dialog = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* upgrade = dynamic_cast<CDlgUpgradeFirmware*>(widget);
                upgrade && upgrade->isVisible())
                dialog = upgrade;
        if (!dialog || !dialog->findChild<QAbstractButton*>("btn_retry")->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        then(dialog);
    });
    poll->start(20);
}

TEST_F(PanelTest, CheckForUpdatesOpensTheFirmwareUpgrade) {
    Start();
    bool seen = false;
    WhenUpgradeDialogShows([&](CDlgUpgradeFirmware* dialog) {
        seen = true;
        EXPECT_EQ(dialog->findChild<QLabel*>("txt_msg")->text(), "未连接设备，请先连接设备");
        dialog->reject();
    });
    app->MainWindow()->OnMenuCommand(1);  // posts 1126
    EXPECT_TRUE(QTest::qWaitFor([&] { return seen; }, 8000));
    EXPECT_EQ(msgbox::Last(), nullptr) << "no update tool is looked for";
}

TEST_F(PanelTest, UpgradeOnTheCommandLineComesBeforeTheMainWindow) {
    CIniFile::CreateUtf16File(dir.Path() + "/data/QvLW52/QvH31ConfigData.db");
    app = std::make_unique<CMainApp>();
    ASSERT_TRUE(app->Init());
    bool dialogFirst = false;
    WhenUpgradeDialogShows([&](CDlgUpgradeFirmware* dialog) {
        dialogFirst = app->MainWindow() == nullptr;
        dialog->reject();
        app->onMainWindowShown = [](CMainDlg*) { QApplication::exit(7); };
    });
    EXPECT_EQ(app->Run({"lw52panel", "--from-updater", "-bUpgradeFirmware"}), 7);
    EXPECT_TRUE(dialogFirst);
}

// Environment of a panel whose user folders all lie in dir.
std::vector<std::string> PanelEnv(const std::string& dir) {
    return {"QT_QPA_PLATFORM=offscreen", "XDG_DATA_HOME=" + dir + "/data", "XDG_RUNTIME_DIR=" + dir,
            "XDG_CONFIG_HOME=" + dir + "/config", "LW52_VHID_DIR=" + dir + "/vhid"};
}

TEST(PanelProcessTest, ASecondStartShowsTheFirstAndExits) {
    TempDir dir;
    const std::vector<std::string> env = PanelEnv(dir.Path());
    ChildProcess first;
    ASSERT_TRUE(first.Start(LW52PANEL_PATH, {}, env));
    ASSERT_NE(first.WaitForLine("main window shown", 20000), "");
    // A panel of another session (another runtime folder) starts later; it neither is
    // refused nor answers for the first.
    TempDir otherDir;
    ChildProcess other;
    ASSERT_TRUE(other.Start(LW52PANEL_PATH, {}, PanelEnv(otherDir.Path())));
    ASSERT_NE(other.WaitForLine("main window shown", 20000), "");

    const RunResult second = RunProgram(LW52PANEL_PATH, {}, env, 20000);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_NE(first.WaitForLine("show requested", 10000), "");
    EXPECT_EQ(first.Wait(0), -1) << "the first one keeps running";
    EXPECT_EQ(other.WaitForLine("show requested", 0), "");

    // Arguments of others are left alone: the running panel is still asked to show itself.
    const RunResult upgrade =
        RunProgram(LW52PANEL_PATH, {"--from-updater", "-bUpgradeFirmware"}, env, 20000);
    EXPECT_EQ(upgrade.exitCode, 0) << upgrade.err;
    EXPECT_NE(first.WaitForLine("show requested", 10000), "");

    // The upgrade before the main window ends with the session like everything else.
    TempDir upgradeDir;
    ChildProcess upgrading;
    ASSERT_TRUE(
        upgrading.Start(LW52PANEL_PATH, {"-bUpgradeFirmware"}, PanelEnv(upgradeDir.Path())));
    ASSERT_NE(upgrading.WaitForLine("firmware upgrade shown", 20000), "");
    kill(upgrading.Pid(), SIGTERM);
    EXPECT_EQ(upgrading.Wait(10000), 0);
    EXPECT_EQ(upgrading.WaitForLine("main window shown", 0), "") << "no window after the end";

    // A screenshot run would take the card from the running panel: it is refused.
    const RunResult shot =
        RunProgram(LW52PANEL_PATH, {"--screenshot", dir.Path() + "/shot.png"}, env, 20000);
    EXPECT_EQ(shot.exitCode, 1);
    EXPECT_NE(shot.err.find("already running"), std::string::npos) << shot.err;
    EXPECT_EQ(first.Wait(0), -1);
}

}  // namespace
