#include "AppPaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

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

std::string UserDir() {
    const std::string base = DataHome();
    if (base.empty()) return "";
    const std::string dir = base + "/QvLW52";
    return MakeDirs(dir) ? dir : "";
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

}  // namespace app_paths
