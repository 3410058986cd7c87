#include "SettingsBackup.h"

#include <sys/stat.h>

#include <ctime>

#include "AppPaths.h"
#include "SafeFile.h"

namespace firmware {

bool BackUpSettings(std::string& path, std::string& reason) {
    path.clear();
    const std::string settings = app_paths::SettingsPath();
    struct stat st {};
    if (stat(settings.c_str(), &st) != 0) return true;  // nothing stored yet, nothing to lose
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string copy =
        app_paths::UserDir() + "/QvH31ConfigData-before-firmware-" + stamp + ".db";
    if (!fileio::CopyFileReplacing(settings, copy, &reason)) return false;
    path = copy;
    return true;
}

}  // namespace firmware
