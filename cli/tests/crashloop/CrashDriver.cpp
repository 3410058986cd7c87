// lw52-crash-driver: the writers lw52ctl has no command for, and the check the crash loop
// runs after every kill.
//   lw52-crash-driver hotkeys ROUNDS   favourite and effect hotkeys, the cloud download index
//   lw52-crash-driver check STATEDIR [FIXTUREDIR]
// The user's folder is the program's ($XDG_DATA_HOME/QvLW52). Exit 0 when every write or
// check succeeded, 1 with one line on stderr otherwise.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "AppPaths.h"
#include "CloudEffectFiles.h"
#include "CrashCheck.h"
#include "HotkeyConfig.h"
#include "IniFile.h"

namespace {

int Fail(const std::string& why) {
    std::fprintf(stderr, "lw52-crash-driver: %s\n", why.c_str());
    return 1;
}

// Each round changes a favourite's hotkey (the pads' file), an effect hotkey (the settings
// file) and an entry of the download index, through the writers the panel uses.
int WriteHotkeys(int rounds) {
    const std::string userDir = app_paths::UserDir();
    std::filesystem::create_directories(cloud_effect::FolderPath(userDir));  // as a download does
    for (int i = 0; i < rounds; ++i) {
        HotkeyConfig config;
        if (!config.Init()) return Fail("cannot open " + config.Path());
        const uint32_t value = (2u << 16) | (0x70u + static_cast<uint32_t>(i % 12));  // Ctrl+Fn
        if (!config.Favourites().empty()) {
            config.SetFavouriteHotkey(static_cast<size_t>(i) % config.Favourites().size(), value);
            if (!config.Save())
                return Fail("cannot write " + config.Path() + ": " + config.SaveError());
        }
        if (!config.SetEffectHotkey(value, HotkeyConfig::kFirstEffectHotkeyId + i % 24,
                                    app_paths::SettingsPath()))
            return Fail("cannot write the effect hotkey to " + app_paths::SettingsPath());
        CIniFile index(cloud_effect::IndexPath(userDir));
        if (!index.WriteString(cloud_effect::kIndexSection, "driver-" + std::to_string(i % 8),
                               i % 2 ? "1" : "0"))
            return Fail("cannot write " + index.Path() + ": " + index.LastError());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "hotkeys" && argc == 3) return WriteHotkeys(std::atoi(argv[2]));
    if (command == "check" && (argc == 3 || argc == 4)) {
        crash_check::Options options;
        options.userDir = app_paths::UserDir();
        options.stateDir = argv[2];
        if (argc == 4) options.fixtureDir = argv[3];
        crash_check::Summary summary;
        std::string failure;
        if (!crash_check::CheckAll(options, summary, failure)) return Fail(failure);
        std::printf("old %d new %d leftovers %d\n", summary.oldVersions, summary.newVersions,
                    summary.leftovers);
        return 0;
    }
    std::fprintf(stderr, "usage: lw52-crash-driver hotkeys ROUNDS | check STATEDIR [FIXTUREDIR]\n");
    return 2;
}
