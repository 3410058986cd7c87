#pragma once

#include <string>

// Where the program keeps its files: the per-user data folder "QvLW52" in
// $XDG_DATA_HOME (default ~/.local/share), created when missing.
namespace app_paths {

// Empty when no home folder can be found; then files are relative to the current folder.
std::string UserDir();
// Where UserDir() is, without creating it; empty when no home folder can be found.
std::string UserDirPath();
std::string SettingsPath();      // UserDir() + "/QvH31ConfigData.db"
std::string HotkeyConfigPath();  // UserDir() + "/QvH31Moodcfg.ini"
// The folder of the files that come with the programs (EffectList.xml, Effect/): beside the
// program in a build folder, <prefix>/share/lw52 when installed.
std::string ShippedDataDir(const std::string& exeDir);
// The system temporary folder: $TMPDIR when set, else /tmp; no trailing slash.
std::string TempFolder();

}  // namespace app_paths
