// Real key grabs on a private Xvfb display: keys pressed with xdotool (XTEST) must arrive as
// hotkeyPressed with the registered id. Exits 77 (skipped) without Xvfb or xdotool.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "HotkeyConfig.h"
#include "PrivateXServer.h"
#include "VirtualKeys.h"
#include "X11GlobalHotkeys.h"

namespace {

using hotkey::kModAlt;
using hotkey::kModCtrl;
using hotkey::kModShift;

std::string g_xdotool;

// Presses keys in order through the X server ("ctrl+F1", "KP_End").
void Press(const std::vector<std::string>& keys) {
    std::vector<std::string> args = {"key"};
    args.insert(args.end(), keys.begin(), keys.end());
    const RunResult result = RunProgram(g_xdotool, args, {}, 10000);
    ASSERT_EQ(result.exitCode, 0) << result.err;
}

// Caps Lock and Num Lock on for a scope; off again even when the test fails inside.
struct LocksOn {
    LocksOn() { Press({"Num_Lock", "Caps_Lock"}); }
    ~LocksOn() { Press({"Num_Lock", "Caps_Lock"}); }
};

struct NumLockOn {
    NumLockOn() { Press({"Num_Lock"}); }
    ~NumLockOn() { Press({"Num_Lock"}); }
};

std::vector<int> Ids(const QSignalSpy& spy) {
    std::vector<int> ids;
    for (const QList<QVariant>& arguments : spy) ids.push_back(arguments.at(0).toInt());
    return ids;
}

// A second X client, standing for another program that holds key grabs.
class OtherClient {
  public:
    OtherClient() : connection_(xcb_connect(nullptr, nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        symbols_ = xcb_key_symbols_alloc(connection_);
    }
    ~OtherClient() {
        xcb_key_symbols_free(symbols_);
        xcb_disconnect(connection_);
    }
    // True when the grab was granted.
    bool Grab(uint16_t mask, xcb_keysym_t keysym) {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols_, keysym);
        const xcb_keycode_t code = codes ? codes[0] : 0;
        free(codes);
        xcb_generic_error_t* error = xcb_request_check(
            connection_, xcb_grab_key_checked(connection_, 0, root_, mask, code,
                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        free(error);
        return error == nullptr;
    }

  private:
    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
    xcb_key_symbols_t* symbols_ = nullptr;
};

TEST(X11HotkeyCheck, PressesArriveAsTheirIdsWhateverTheLockStates) {
    X11GlobalHotkeys hotkeys;
    ASSERT_TRUE(hotkeys.Available()) << hotkeys.LastError();
    QSignalSpy spy(&hotkeys, &X11GlobalHotkeys::hotkeyPressed);
    ASSERT_TRUE(hotkeys.Register(7, kModCtrl, vk::kF1)) << hotkeys.LastError();
    ASSERT_TRUE(hotkeys.Register(8, kModShift, vk::kNumpad0 + 5)) << hotkeys.LastError();
    ASSERT_TRUE(hotkeys.Register(9, kModCtrl | kModAlt, 'A')) << hotkeys.LastError();

    // Plain F1 and Ctrl+Shift+F1 are other combinations and must not count; the keypad's 5
    // is a digit only with Num Lock on.
    Press({"F1", "ctrl+shift+F1", "ctrl+F1", "shift+KP_Begin", "ctrl+alt+a"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() >= 2; }, 5000));
    {
        LocksOn locks;
        Press({"ctrl+F1", "shift+KP_Begin"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() >= 4; }, 5000));
    }
    EXPECT_EQ(Ids(spy), (std::vector<int>{7, 9, 7, 8}));
}

TEST(X11HotkeyCheck, KeypadDigitsAreHotkeysOnlyWithNumLockOn) {
    X11GlobalHotkeys hotkeys;
    QSignalSpy spy(&hotkeys, &X11GlobalHotkeys::hotkeyPressed);
    ASSERT_TRUE(hotkeys.Register(20, 0, vk::kNumpad0 + 1)) << hotkeys.LastError();
    ASSERT_TRUE(hotkeys.Register(21, kModCtrl, vk::kDecimal)) << hotkeys.LastError();
    ASSERT_TRUE(hotkeys.Register(99, 0, vk::kF12));  // always arrives: a press to wait for

    // Num Lock off: the keys are End and Delete and belong to the program in front.
    Press({"KP_End", "ctrl+KP_Delete", "F12"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() >= 1; }, 5000));
    {
        OtherClient other;
        EXPECT_TRUE(other.Grab(0, XK_KP_End));
        EXPECT_TRUE(other.Grab(XCB_MOD_MASK_LOCK, XK_KP_End));
        EXPECT_TRUE(other.Grab(XCB_MOD_MASK_CONTROL, XK_KP_Delete));
    }
    {
        NumLockOn numLock;
        Press({"KP_End", "ctrl+KP_Delete"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() >= 3; }, 5000));
    }
    {
        LocksOn locks;
        Press({"KP_End"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() >= 4; }, 5000));
    }
    EXPECT_EQ(Ids(spy), (std::vector<int>{99, 20, 21, 20}));
}

// Modifier bits the stored value has no room for (the Windows key, anything above Shift) are
// refused, never dropped: a dropped Win would grab the bare letter everywhere.
TEST(X11HotkeyCheck, ModifiersTheGrabCannotExpressAreRefused) {
    X11GlobalHotkeys hotkeys;
    int id = 30;
    for (uint32_t modifiers : {8u, kModCtrl | 8u, 0x10u, kModShift | 0x4000u}) {
        EXPECT_FALSE(hotkeys.Register(id++, modifiers, 'A')) << modifiers;
        EXPECT_NE(hotkeys.LastError().find("modifier"), std::string::npos) << hotkeys.LastError();
    }
    OtherClient other;
    EXPECT_TRUE(other.Grab(0, XK_a));
    EXPECT_TRUE(other.Grab(XCB_MOD_MASK_CONTROL, XK_a));
}

// The state of a press is compared on the hotkey's own modifiers only: the layout group (a
// second keyboard layout puts it into every key event), Caps Lock and other locks do not
// count; Num Lock counts for keypad digits only, which must have it. The presses are made up
// here, as this X server takes no second layout.
TEST(X11HotkeyCheck, OnlyTheHotkeyModifiersOfAPressAreCompared) {
    X11GlobalHotkeys hotkeys;
    ASSERT_TRUE(hotkeys.Register(50, kModCtrl, vk::kF1 + 6)) << hotkeys.LastError();
    ASSERT_TRUE(hotkeys.Register(51, 0, vk::kNumpad0 + 2)) << hotkeys.LastError();
    QSignalSpy spy(&hotkeys, &X11GlobalHotkeys::hotkeyPressed);

    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
    const auto keycode = [&](xcb_keysym_t keysym) {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
        const xcb_keycode_t code = codes ? codes[0] : 0;
        free(codes);
        return code;
    };
    const xcb_keycode_t f7 = keycode(XK_F7);
    const xcb_keycode_t kp2 = keycode(XK_KP_Down);
    xcb_key_symbols_free(symbols);
    xcb_disconnect(connection);

    constexpr uint16_t kGroup2 = 1 << 13, kGroup3 = 2 << 13, kGroup4 = 3 << 13;
    constexpr uint16_t kCtrl = XCB_MOD_MASK_CONTROL, kNum = XCB_MOD_MASK_2;
    struct Case {
        xcb_keycode_t key;
        uint16_t state;
        bool fromGrab;  // delivered to the root window, where the grabs are
        int id;         // 0: no hotkey
    };
    const Case cases[] = {
        {f7, kCtrl, true, 50},
        {f7, kCtrl | kGroup2, true, 50},
        {f7, kCtrl | kGroup4 | XCB_MOD_MASK_LOCK | kNum, true, 50},
        {f7, kCtrl | XCB_KEY_BUT_MASK_BUTTON_1, true, 50},
        {f7, kCtrl | XCB_MOD_MASK_SHIFT | kGroup2, true, 0},
        {f7, kGroup2, true, 0},
        {f7, kCtrl, false, 0},  // typed into one of our own windows, not grabbed
        {kp2, kNum, true, 51},
        {kp2, kNum | kGroup3 | XCB_MOD_MASK_LOCK, true, 51},
        {kp2, 0, true, 0},
        {kp2, kGroup2, true, 0},
        {kp2, kNum | kCtrl, true, 0},
    };
    for (const Case& c : cases) {
        xcb_key_press_event_t press{};
        press.response_type = XCB_KEY_PRESS;
        press.detail = c.key;
        press.root = root;
        press.event = c.fromGrab ? root : root + 1;
        press.state = c.state;
        spy.clear();
        const bool consumed = hotkeys.nativeEventFilter("xcb_generic_event_t", &press, nullptr);
        EXPECT_EQ(consumed, c.id != 0) << int(c.key) << " state " << std::hex << c.state;
        EXPECT_EQ(Ids(spy), c.id ? std::vector<int>{c.id} : std::vector<int>{})
            << int(c.key) << " state " << std::hex << c.state;
    }
}

TEST(X11HotkeyCheck, FavouriteHotkeysOfTheConfigurationFire) {
    X11GlobalHotkeys hotkeys;
    QSignalSpy spy(&hotkeys, &X11GlobalHotkeys::hotkeyPressed);
    TempDir dir;
    HotkeyConfig config;
    ASSERT_TRUE(config.Init(dir.Path() + "/QvH31Moodcfg.ini"));
    config.SetHotkeyHost(&hotkeys);
    SoundEntry first;
    first.SetName(u"掌声");
    first.SetPath(u"DJ_ZS");
    first.hotkey = hotkey::MakeValue(0, vk::kNumpad0 + 1);
    SoundEntry second = first;
    second.hotkey = hotkey::MakeValue(kModCtrl, vk::kF1 + 1);
    config.AddFavourite(first);
    config.AddFavourite(second);
    config.EnableHotkeys(true);

    {
        NumLockOn numLock;  // the keypad's 1 is the digit, not End
        Press({"KP_End", "ctrl+F2"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() >= 2; }, 5000));
    }
    EXPECT_EQ(Ids(spy), (std::vector<int>{14000, 14001}));

    // Switched off, the keys belong to other programs again.
    config.EnableHotkeys(false);
    OtherClient other;
    EXPECT_TRUE(other.Grab(XCB_MOD_MASK_CONTROL, XK_F2));
    EXPECT_TRUE(other.Grab(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_2, XK_F2));
}

TEST(X11HotkeyCheck, AKeyHeldByAnotherProgramIsRefusedAndNotFatal) {
    OtherClient other;
    ASSERT_TRUE(other.Grab(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_LOCK, XK_F3));
    X11GlobalHotkeys hotkeys;
    EXPECT_FALSE(hotkeys.Register(3, kModCtrl, vk::kF1 + 2));
    EXPECT_NE(hotkeys.LastError().find("another program"), std::string::npos)
        << hotkeys.LastError();
    // Nothing of the failed attempt is left behind: the free variants stay free.
    OtherClient third;
    EXPECT_TRUE(third.Grab(XCB_MOD_MASK_CONTROL, XK_F3));
    EXPECT_TRUE(hotkeys.Register(4, kModCtrl, vk::kF1 + 3)) << hotkeys.LastError();
}

TEST(X11HotkeyCheck, IdsOwnTheirCombinationAndUnregisterReleasesEveryVariant) {
    X11GlobalHotkeys hotkeys;
    ASSERT_TRUE(hotkeys.Register(10, kModCtrl | kModShift, 'Z'));
    EXPECT_FALSE(hotkeys.Register(11, kModCtrl | kModShift, 'Z'));  // as on Windows
    EXPECT_TRUE(hotkeys.Register(10, kModCtrl | kModShift, 'Z'));   // the same id again
    EXPECT_FALSE(hotkeys.Register(12, 0, 0xFF));                    // no such key
    hotkeys.Unregister(10);
    OtherClient other;
    const uint16_t mask = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;
    const int locks[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
    for (int lock : locks)
        EXPECT_TRUE(other.Grab(static_cast<uint16_t>(mask | lock), XK_z)) << lock;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string xvfb = FindProgram("Xvfb");
    g_xdotool = FindProgram("xdotool");
    if (xvfb.empty() || g_xdotool.empty()) {
        std::printf("skipped: %s not found\n", xvfb.empty() ? "Xvfb" : "xdotool");
        return 77;
    }
    PrivateXServer server;
    if (!server.Start("640x480x24")) {
        std::printf("%s did not start\n", xvfb.c_str());  // installed but broken: a failure
        return 1;
    }
    setenv("DISPLAY", server.Display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("WAYLAND_DISPLAY");
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    server.Stop();
    return result;
}
