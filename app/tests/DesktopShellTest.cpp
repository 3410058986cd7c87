// The panel as a desktop shell meets it: the tray icon on a StatusNotifier host, clicked and
// its menu used over D-Bus; a notification when the card comes or goes while the window is
// out of sight; closing the window to a tray that is not there. The panel runs on a private
// X display (xcb, where Qt's own tray code is used) with the virtual card, and a stand-in
// shell on a private session bus plays the desktop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "DeviceManager.h"
#include "IniFile.h"
#include "MainApp.h"
#include "MainDlg.h"
#include "MainHideWnd.h"
#include "PanelWithCard.h"
#include "PrivateSessionBus.h"

namespace {

class DesktopShellTest : public ::testing::Test, protected PanelWithCard {
  protected:
    static void SetUpTestSuite() { PrivateSessionBus::StartForProgram(); }

    virtual bool TrayAtStart() const { return true; }

    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb");
        ASSERT_TRUE(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")) << "no dbus-daemon";
        std::vector<std::string> args;
        if (!TrayAtStart()) args.push_back("--no-tray");
        ASSERT_TRUE(shell.Start(LW52_DESKTOP_STANDIN, args));
        ASSERT_NE(shell.WaitForLine("ready", 10000), "");

        ASSERT_TRUE(StartCard());
        // The window closes to the tray.
        const std::string settings = DataDir() + "/QvLW52/QvH31ConfigData.db";
        std::filesystem::create_directories(DataDir() + "/QvLW52");
        CIniFile::CreateUtf16File(settings);
        CIniFile(settings).WriteInt("Settings", "CloseBtnOperation", 0);
        ASSERT_TRUE(StartPanel());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    void TearDown() override { app.reset(); }  // while the shell still answers

    // The next line of the shell that starts with prefix; the panel's event loop runs
    // meanwhile, as the shell's calls are answered on it. Lines passed over are kept.
    std::string Expect(const std::string& prefix, int timeoutMs = 10000) {
        std::string found;
        const bool ok = QTest::qWaitFor(
            [&] {
                for (std::string line; found.empty() && shell.ReadLine(line, 10);) {
                    if (line.rfind(prefix, 0) == 0)
                        found = line;
                    else
                        passed.push_back(line);
                }
                return !found.empty();
            },
            timeoutMs);
        return ok ? found : std::string();
    }
    std::string Ask(const std::string& command, const std::string& prefix) {
        shell.WriteLine(command);
        return Expect(prefix);
    }
    bool InSight() const { return window && window->isVisible() && !window->isMinimized(); }
    // Both are decided on the UI thread, so once they hold, the panel has told what it tells.
    bool CardConnectedBecomes(bool connected) {
        return QTest::qWaitFor(
            [&] {
                return connected ? app->Workspace()->IsConnected()
                                 : app->Session().Manager()->GetDevice() == nullptr;
            },
            10000);
    }
    // "notify ID REPLACES|APP|ICON|SUMMARY|BODY|ACTIONS|DESKTOP-ENTRY|CATEGORY" in parts.
    static QStringList Fields(const std::string& notifyLine) {
        const QString line = QString::fromStdString(notifyLine);
        const QString id = line.section(' ', 1, 1);
        return QStringList{id} + line.section(' ', 2).split('|');
    }

    ChildProcess shell;
    std::vector<std::string> passed;
};

TEST_F(DesktopShellTest, TheTrayIconIsAStatusNotifierItemThatShowsHidesAndHasTheMenu) {
    ASSERT_NE(Expect("item "), "") << "the icon registered with the desktop's watcher";
    EXPECT_TRUE(app->HideWindow()->TrayIconAdded());
    EXPECT_TRUE(app->TrayReachable());
    const std::string props = Ask("props", "props ");
    EXPECT_NE(props.find("Status=Active"), std::string::npos) << props;
    EXPECT_NE(props.find("ToolTip=林雾LW52"), std::string::npos) << props;

    // A click hides the window in sight and shows it again.
    ASSERT_EQ(Ask("activate", "activated"), "activated");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 5000));
    ASSERT_EQ(Ask("activate", "activated"), "activated");
    EXPECT_TRUE(QTest::qWaitFor([&] { return InSight(); }, 5000));

    // The menu as the shell shows it, and its entries chosen there.
    EXPECT_EQ(Ask("menu", "menu "), "menu Show|About|Exit");
    ASSERT_EQ(Ask("click About", "clicked"), "clicked");
    EXPECT_TRUE(QTest::qWaitFor([&] { return app->HideWindow()->AboutWindow() != nullptr; }, 5000));
    window->hide();
    ASSERT_EQ(Ask("click Show", "clicked"), "clicked");
    EXPECT_TRUE(QTest::qWaitFor([&] { return InSight(); }, 5000));

    // Closed to the tray: the window goes, the program stays, a click makes a new window.
    QTest::mouseClick(window->Find("btn_close"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return app->MainWindow() == nullptr; }, 5000));
    ASSERT_EQ(Ask("activate", "activated"), "activated");
    EXPECT_TRUE(QTest::qWaitFor([&] { return app->MainWindow() != nullptr; }, 5000));
}

TEST_F(DesktopShellTest, TheCardComingAndGoingIsNotifiedOnlyOutOfSight) {
    // In sight, the page shows it: nothing goes to the desktop. (Notifications from one
    // connection arrive in order, so a removal told now would come first below.)
    card.WriteLine("unplug");
    ASSERT_TRUE(CardConnectedBecomes(false));

    // Out of sight (closed to the tray): each change is told, each replacing the last.
    QTest::mouseClick(window->Find("btn_close"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->MainWindow() == nullptr; }, 5000));
    card.WriteLine("plug");
    const QStringList back = Fields(Expect("notify "));
    ASSERT_EQ(back.size(), 9) << back.join('|').toStdString();
    EXPECT_EQ(back.mid(1).join('|'),
              "0|林雾LW52|net.lw52.Panel|林雾LW52 已连接|声卡已插入，可以使用了|"
              "default,显示主窗口|net.lw52.Panel|device.added");
    ASSERT_TRUE(CardConnectedBecomes(true));
    card.WriteLine("unplug");
    const QStringList gone = Fields(Expect("notify "));
    ASSERT_EQ(gone.size(), 9);
    EXPECT_EQ(gone[1], back[0]) << "replaces the one on screen";
    EXPECT_EQ(gone.mid(4, 2).join('|'), "林雾LW52 已断开|声卡已拔出，插回后会自动连接");
    EXPECT_EQ(gone[8], "device.removed");
    ASSERT_TRUE(CardConnectedBecomes(false));
    card.WriteLine("plug");
    ASSERT_TRUE(CardConnectedBecomes(true));
    const QStringList again = Fields(Expect("notify "));
    EXPECT_EQ(again.value(4), "林雾LW52 已连接");

    // The notification's default action brings the window back; in sight, quiet again.
    ASSERT_EQ(Ask("invoke " + again.value(0).toStdString() + " default", "invoked"), "invoked");
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->MainWindow() != nullptr; }, 5000));
    window = app->MainWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return InSight(); }, 5000));
    card.WriteLine("unplug");
    ASSERT_TRUE(CardConnectedBecomes(false));
    // Minimised is out of sight too.
    window->showMinimized();
    card.WriteLine("plug");
    EXPECT_EQ(Fields(Expect("notify ")).value(4), "林雾LW52 已连接")
        << "the removal in sight was not told";
}

TEST_F(DesktopShellTest, ClosingWhenTheTrayHasGoneMinimisesInstead) {
    ASSERT_NE(Expect("item "), "");
    ASSERT_EQ(Ask("drop-tray", "dropped"), "dropped");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app->TrayReachable(); }, 5000));
    QTest::mouseClick(window->Find("btn_close"), Qt::LeftButton);
    EXPECT_EQ(app->MainWindow(), window.data()) << "the window stays";
    EXPECT_TRUE(window->isMinimized());
}

// A desktop with no tray at all from the start.
class DesktopWithoutTrayTest : public DesktopShellTest {
  protected:
    bool TrayAtStart() const override { return false; }
};

TEST_F(DesktopWithoutTrayTest, ClosingMinimisesAndTheCardIsStillNotified) {
    EXPECT_FALSE(app->HideWindow()->TrayIconAdded());
    QTest::mouseClick(window->Find("btn_close"), Qt::LeftButton);
    ASSERT_EQ(app->MainWindow(), window.data());
    EXPECT_TRUE(window->isMinimized());
    card.WriteLine("unplug");
    EXPECT_EQ(Fields(Expect("notify "))[4], "林雾LW52 已断开");
    // A click in the task bar brings it back, as it was.
    window->showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return InSight(); }, 5000));
}

}  // namespace
