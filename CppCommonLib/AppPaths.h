#pragma once

#include <string>

// Where the program keeps its files: the per-user data folder "QvLW52" in
// $XDG_DATA_HOME (default ~/.local/share), created when missing.
namespace app_paths {

// Empty when no home folder can be found; then files are relative to the current folder.
std::string UserDir();
std::string SettingsPath();      // UserDir() + "/QvH31ConfigData.db"
std::string HotkeyConfigPath();  // UserDir() + "/QvH31Moodcfg.ini"
// The system temporary folder: $TMPDIR when set, else /tmp; no trailing slash.
std::string TempFolder();

}  // namespace app_paths
