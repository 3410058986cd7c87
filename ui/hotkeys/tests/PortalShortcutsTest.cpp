// Global shortcuts through the desktop portal, against a stand-in portal on a private session
// bus that implements the interface as the portal documents it.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>

#include "ChildProcess.h"
#include "PortalGlobalShortcuts.h"
#include "PrivateSessionBus.h"

namespace {

class PortalShortcutsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(bus.Start()) << "no dbus-daemon";
        ASSERT_TRUE(
            portal.Start(LW52_PORTAL_STANDIN, {}, {"DBUS_SESSION_BUS_ADDRESS=" + bus.Address()}));
        ASSERT_NE(portal.WaitForLine("ready", 10000), "");
        connection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QString::fromStdString(bus.Address()), "panel"));
        ASSERT_TRUE(connection->isConnected());
    }
    void TearDown() override {
        connection.reset();
        QDBusConnection::disconnectFromBus("panel");
    }
    // The stand-in's next line holding part, read while this thread's event loop runs.
    std::string PortalSays(const std::string& part) {
        std::string line;
        while (QTest::qWaitFor([&] { return portal.ReadLine(line, 10); }, 5000))
            if (line.find(part) != std::string::npos) return line;
        return {};
    }

    PrivateSessionBus bus;
    ChildProcess portal;
    std::unique_ptr<QDBusConnection> connection;
};

TEST_F(PortalShortcutsTest, BindsWithDescriptionsAndReactsToActivation) {
    ASSERT_TRUE(PortalGlobalShortcuts::Present(*connection));
    PortalGlobalShortcuts shortcuts(*connection);
    ASSERT_TRUE(shortcuts.Start());
    EXPECT_TRUE(shortcuts.Register(10003, 2, 0x70));   // Ctrl+F1 on effect button 4
    EXPECT_TRUE(shortcuts.Register(14000, 0, 0x61));   // Num 1 on the first favourite
    EXPECT_FALSE(shortcuts.Register(10004, 8, 0x70));  // the Windows key has no bit
    EXPECT_EQ(shortcuts.BindingOf(10003), PortalGlobalShortcuts::Binding::kPending);

    EXPECT_EQ(PortalSays("bind effect-10003"), "bind effect-10003 CTRL+F1 LW52 effect button 4");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return shortcuts.BindingOf(10003) == PortalGlobalShortcuts::Binding::kConfirmed; },
        5000));
    EXPECT_EQ(shortcuts.TriggerOf(10003), "CTRL+F1");
    EXPECT_EQ(shortcuts.BindingOf(14000), PortalGlobalShortcuts::Binding::kConfirmed);
    EXPECT_EQ(shortcuts.TriggerOf(14000), "KP_1");

    QSignalSpy pressed(&shortcuts, &PortalGlobalShortcuts::hotkeyPressed);
    portal.WriteLine("activate effect-10003");
    ASSERT_TRUE(QTest::qWaitFor([&] { return pressed.count() == 1; }, 5000));
    EXPECT_EQ(pressed.at(0).at(0).toInt(), 10003);
    portal.WriteLine("activate nothing-1");  // a shortcut of no id of ours
    portal.WriteLine("activate pad-14000");
    ASSERT_TRUE(QTest::qWaitFor([&] { return pressed.count() == 2; }, 5000));
    EXPECT_EQ(pressed.at(1).at(0).toInt(), 14000);

    // The user turns the binding down: the dialog must not claim it.
    portal.WriteLine("refuse");
    ASSERT_NE(PortalSays("ok"), "");
    shortcuts.Register(10005, 4, 'A');
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return shortcuts.BindingOf(10005) == PortalGlobalShortcuts::Binding::kRefused; },
        5000));
}

TEST_F(PortalShortcutsTest, NoPortalOnTheBusIsToldApart) {
    portal.Stop();
    EXPECT_FALSE(PortalGlobalShortcuts::Present(*connection));
}

}  // namespace
