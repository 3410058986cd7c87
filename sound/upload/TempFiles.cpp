#include "TempFiles.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace upload {

std::string TempFolder() {
    const char* dir = getenv("TMPDIR");
    std::string folder = dir && *dir ? dir : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string MakeTempFile(const char* prefix) {
    const std::string pattern = TempFolder() + "/" + prefix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) return {};
    close(fd);
    return name.data();
}

void RemoveTempFile(std::string& path) {
    if (!path.empty()) unlink(path.c_str());
    path.clear();
}

}  // namespace upload
