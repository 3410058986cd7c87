#include <gtest/gtest.h>

#include "HotkeyConfig.h"
#include "QtVirtualKeys.h"
#include "VirtualKeys.h"
#include "X11GlobalHotkeys.h"

namespace {

// Without X11 (the offscreen platform here, Wayland elsewhere) the program runs on without
// hotkeys: registration fails with a reason and nothing else breaks.
TEST(OffscreenHotkeysTest, RegistrationFailsWithAReasonAndTheConfigurationGoesOn) {
    X11GlobalHotkeys hotkeys;
    EXPECT_FALSE(hotkeys.Available());
    EXPECT_NE(hotkeys.LastError().find("offscreen"), std::string::npos) << hotkeys.LastError();
    EXPECT_FALSE(hotkeys.Register(14000, hotkey::kModCtrl, vk::kF1));
    hotkeys.Unregister(14000);

    HotkeyConfig config;
    config.SetHotkeyHost(&hotkeys);
    EXPECT_FALSE(config.RegisterHotkey(10000, hotkey::MakeValue(hotkey::kModCtrl, 'A')));
}

// Every key the hotkey field accepts can also be grabbed on X11.
TEST(OffscreenHotkeysTest, EveryKeyTheFieldAcceptsHasAnXKey) {
    int accepted = 0;
    for (int key = 0x20; key <= 0x7E; ++key)
        for (Qt::KeyboardModifiers mods : {Qt::NoModifier, Qt::KeypadModifier}) {
            const uint32_t vkey = qtkeys::VirtualKeyFor(key, mods);
            if (vkey == 0) continue;
            ++accepted;
            EXPECT_NE(X11GlobalHotkeys::KeysymForVirtualKey(vkey), 0u) << std::hex << key;
        }
    for (int key = Qt::Key_Escape; key <= Qt::Key_F24; ++key) {
        const uint32_t vkey = qtkeys::VirtualKeyFor(key, Qt::NoModifier);
        if (vkey == 0) continue;
        ++accepted;
        EXPECT_NE(X11GlobalHotkeys::KeysymForVirtualKey(vkey), 0u) << std::hex << key;
    }
    EXPECT_GT(accepted, 100);
}

}  // namespace
