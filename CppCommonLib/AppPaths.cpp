#include "AppPaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace app_paths {
namespace {
bool MakeDirs(const std::string& path) {
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/') continue;
        const std::string part = path.substr(0, pos);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

std::string DataHome() {
    if (const char* xdg = getenv("XDG_DATA_HOME"); xdg && *xdg == '/') return xdg;
    const char* home = getenv("HOME");
    if (!home || !*home) {
        const passwd* pw = getpwuid(getuid());
        home = pw ? pw->pw_dir : nullptr;
    }
    return home && *home ? std::string(home) + "/.local/share" : std::string();
}
}  // namespace

std::string UserDirPath() {
    const std::string base = DataHome();
    return base.empty() ? "" : base + "/QvLW52";
}

std::string UserDir() {
    const std::string dir = UserDirPath();
    return !dir.empty() && MakeDirs(dir) ? dir : "";
}

std::string TempFolder() {
    const char* dir = getenv("TMPDIR");
    std::string folder = dir && *dir ? dir : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string SettingsPath() {
    const std::string dir = UserDir();
    return dir.empty() ? "QvH31ConfigData.db" : dir + "/QvH31ConfigData.db";
}

std::string HotkeyConfigPath() {
    const std::string dir = UserDir();
    return dir.empty() ? "QvH31Moodcfg.ini" : dir + "/QvH31Moodcfg.ini";
}

std::string ShippedDataDir(const std::string& exeDir) {
    std::error_code ec;
    if (std::filesystem::exists(exeDir + "/EffectList.xml", ec)) return exeDir;
    const std::filesystem::path installed =
        std::filesystem::path(exeDir).parent_path() / "share" / "lw52";
    return std::filesystem::exists(installed / "EffectList.xml", ec) ? installed.string() : exeDir;
}

}  // namespace app_paths
