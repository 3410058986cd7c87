#include "VirtualHid.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "TextUtil.h"

namespace vhid {

std::string VirtualDeviceDir() {
    if (const char* dir = getenv("LW52_VHID_DIR"); dir && *dir) return dir;
    if (const char* run = getenv("XDG_RUNTIME_DIR"); run && *run)
        return std::string(run) + "/lw52-vhid";
    return "/tmp/lw52-vhid-" + std::to_string(getuid());
}

bool EnsureVirtualDeviceDir(const std::string& dir) {
    if (mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) {
        struct stat st {};
        return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    return false;
}

std::string VirtualDeviceName(uint16_t vendorId, uint16_t productId, const std::string& instance) {
    char head[32];
    snprintf(head, sizeof head, "hid#VID_%04X&PID_%04X#", vendorId, productId);
    return head + instance;
}

bool IsSocketPath(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

std::vector<std::string> ListVirtualDevices(const std::string& dir) {
    std::vector<std::string> paths;
    DIR* d = opendir(dir.c_str());
    if (!d) return paths;
    while (dirent* entry = readdir(d)) {
        const std::string name = entry->d_name;
        if (name.rfind("hid#", 0) != 0) continue;
        const std::string path = dir + "/" + name;
        if (IsSocketPath(path)) paths.push_back(path);
    }
    closedir(d);
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace vhid

namespace {
bool ParseHex4(const std::string& s, size_t pos, uint16_t& out) {
    if (pos + 4 > s.size()) return false;
    uint16_t value = 0;
    for (size_t i = pos; i < pos + 4; ++i) {
        const char c = s[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = static_cast<uint16_t>((value << 4) | digit);
    }
    out = value;
    return true;
}
}  // namespace

bool ParseVidPid(const std::string& devicePath, uint16_t& vendorId, uint16_t& productId) {
    const std::string upper = text::ToUpperAscii(devicePath);
    const size_t tag = upper.find("#VID_");
    if (tag == std::string::npos) return false;
    uint16_t vid = 0, pid = 0;
    if (!ParseHex4(upper, tag + 5, vid) || !ParseHex4(upper, tag + 14, pid)) return false;
    vendorId = vid;
    productId = pid;
    return true;
}
