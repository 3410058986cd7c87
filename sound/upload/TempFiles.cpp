#include "TempFiles.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "AppPaths.h"

namespace upload {

std::string MakeTempFile(const char* prefix) {
    const std::string pattern = app_paths::TempFolder() + "/" + prefix + "XXXXXX";
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
