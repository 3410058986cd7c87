#include "Settings.h"

#include <sys/stat.h>

#include <cerrno>

#include "IniFile.h"
#include "Log.h"

namespace {
constexpr const char* kSection = "Settings";

struct IntSetting {
    const char* key;  // null for an unused slot
    int defaultValue;
};
constexpr std::array<IntSetting, CSettings::kIntCount> kIntSettings{{
    {"CloseBtnOperation", 1},
    {nullptr, 0},
    {nullptr, 0},
    {"MainWinTopmost", 0},
}};
}  // namespace

bool CSettings::Load(const std::string& path) {
    path_ = path;
    ints_.fill(0);
    if (path.empty()) return false;

    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
        // Holding only the byte-order mark makes every later write UTF-16.
        std::string reason;
        if (!CIniFile::CreateUtf16File(path, &reason))
            QV_LOG("cannot create %s: %s", path.c_str(), reason.c_str());
    }

    const CIniFile file(path);
    for (size_t i = 0; i < kIntSettings.size(); ++i)
        if (kIntSettings[i].key)
            ints_[i] = file.GetInt(kSection, kIntSettings[i].key, kIntSettings[i].defaultValue);
    return true;
}

int CSettings::GetInt(int index) const {
    if (index < 0 || index >= kIntCount) return 0;
    return ints_[static_cast<size_t>(index)];
}

bool CSettings::WriteInt(std::string_view section, std::string_view key, long value) {
    if (path_.empty()) return false;
    return CIniFile(path_).WriteInt(section, key, value);
}
