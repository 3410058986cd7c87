// The whole path of an effect hotkey, as a user meets it: the panel on a private Xvfb
// display with the virtual card, Ctrl+F1 stored for the effect button "男变女", the key
// pressed anywhere on the display (xdotool) -> the card switches to effect 3.
// Exits 77 (skipped) without Xvfb or xdotool; an Xvfb that does not start fails.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ChildProcess.h"
#include "IniFile.h"
#include "PrivateXServer.h"

namespace {

int Fail(const char* what) {
    std::printf("FAILED: %s\n", what);
    return 1;
}

// The card's effect number, from the emulator's state line.
int CardEffect(ChildProcess& card) {
    card.WriteLine("state");
    std::string line;
    if (!card.ReadLine(line, 5000)) return -1;
    const size_t at = line.find("\"params\":[");
    if (at == std::string::npos) return -1;
    size_t pos = at + 10;
    for (int i = 0; i < 4; ++i) pos = line.find(',', pos) + 1;
    return std::atoi(line.c_str() + pos);
}

}  // namespace

int main() {
    const std::string xvfb = FindProgram("Xvfb");
    const std::string xdotool = FindProgram("xdotool");
    if (xvfb.empty() || xdotool.empty()) {
        std::printf("skipped: %s not found\n", xvfb.empty() ? "Xvfb" : "xdotool");
        return 77;
    }
    TempDir dir;
    PrivateXServer server;
    if (!server.Start()) {
        // Installed but broken is a failure: only a missing tool skips.
        std::printf("Xvfb did not start\n");
        return 1;
    }
    const std::string display = server.Display();
    const std::string vhid = dir.Path() + "/vhid";
    ChildProcess card;
    if (!card.Start(LW52_EMULATOR_PATH, {"--dir", vhid}) ||
        card.WaitForLine("listening", 10000).empty())
        return Fail("the virtual card did not start");

    // Ctrl (2 << 16) + F1 (virtual key 0x70) for button 10003, hotkeys switched on.
    const std::string data = dir.Path() + "/data/QvLW52";
    std::filesystem::create_directories(data);
    CIniFile::CreateUtf16File(data + "/QvH31ConfigData.db");
    CIniFile(data + "/QvH31ConfigData.db").WriteInt("HotKey", "10003", (2 << 16) | 0x70);
    CIniFile::CreateUtf16File(data + "/QvH31Moodcfg.ini");
    CIniFile(data + "/QvH31Moodcfg.ini").WriteInt("Config", "EnableHotKey", 1);

    const std::vector<std::string> env = {"DISPLAY=" + display,
                                          "QT_QPA_PLATFORM=xcb",
                                          "WAYLAND_DISPLAY=",
                                          "LW52_VHID_DIR=" + vhid,
                                          "XDG_DATA_HOME=" + dir.Path() + "/data",
                                          "XDG_RUNTIME_DIR=" + dir.Path(),
                                          "XDG_CONFIG_HOME=" + dir.Path() + "/config"};
    ChildProcess panel;
    if (!panel.Start(LW52PANEL_PATH, {}, env) ||
        panel.WaitForLine("main window shown", 20000).empty())
        return Fail("the panel did not show its window");
    if (CardEffect(card) == 3) return Fail("the card was on effect 3 before the key");

    const RunResult pressed =
        RunProgram(xdotool, {"key", "ctrl+F1"}, {"DISPLAY=" + display}, 10000);
    if (pressed.exitCode != 0) return Fail("xdotool could not press the key");
    for (int i = 0; i < 100; ++i) {
        if (CardEffect(card) == 3) {
            std::printf("1 passed, 0 failed: Ctrl+F1 selected effect 3 on the card\n");
            panel.Stop();
            server.Stop();
            return 0;
        }
        usleep(50000);  // polling the card's state; the bound is 5 s
    }
    return Fail("the hotkey did not select its effect");
}
