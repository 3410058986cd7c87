#include "SafeFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <system_error>

namespace fileio {
namespace {
bool Fail(std::string* reason, const std::string& what, int error) {
    if (reason) *reason = what + ": " + std::system_category().message(error);
    return false;
}

// The process umask, read without changing it (umask() would race with other threads).
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    return 022;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // makes the rename durable; the data is already safe either way
    ::close(fd);
}
}  // namespace

ReadStatus ReadWholeFile(const std::string& path, std::string& bytes, std::string* reason,
                         size_t maxBytes) {
    bytes.clear();
    // Non-blocking, so a FIFO planted under the name cannot hold the open forever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return ReadStatus::kMissing;
        Fail(reason, "cannot open " + path, errno);
        return ReadStatus::kFailed;
    }
    const auto refuse = [&](const std::string& what, int error) {
        ::close(fd);
        bytes.clear();
        Fail(reason, what, error);
        return ReadStatus::kFailed;
    };
    const std::string tooLarge = path + " is larger than " + std::to_string(maxBytes) + " bytes";
    struct stat st {};
    if (::fstat(fd, &st) != 0) return refuse("cannot check " + path, errno);
    if (!S_ISREG(st.st_mode)) return refuse(path + " is not a regular file", EINVAL);
    if (static_cast<uint64_t>(st.st_size) > maxBytes) return refuse(tooLarge, EFBIG);
    // Read straight into the string; one spare byte lets the end show without growing it.
    size_t capacity = st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 0;
    size_t used = 0;
    for (;;) {
        if (used > maxBytes) return refuse(tooLarge, EFBIG);  // grew while being read
        if (used == capacity)
            capacity = std::min(capacity * 2 + 4096, maxBytes < SIZE_MAX ? maxBytes + 1 : maxBytes);
        bytes.resize(capacity);
        const ssize_t n = ::read(fd, bytes.data() + used, capacity - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return refuse("cannot read " + path, errno);
        if (n == 0) break;
        used += static_cast<size_t>(n);
    }
    bytes.resize(used);
    ::close(fd);
    return ReadStatus::kOk;
}

namespace {

// A writer killed between creating its temporary file and the rename leaves it behind. Those
// of this target that are older than any write can take (downloads end within seconds) go
// once a later write of the same file succeeds; a younger one may still be being written.
constexpr time_t kStaleTempSeconds = 3600;

void RemoveStaleTemps(const std::string& folder, const std::string& prefix) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) continue;
        struct stat st {};
        const std::string path = folder + "/" + std::string(name);
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            now - st.st_mtime > kStaleTempSeconds)
            ::unlink(path.c_str());
    }
    ::closedir(dir);
}

// The new contents come from fill(fd, what) into a temporary file beside the target, which is
// flushed and renamed over it; what names the failure when fill returns false.
bool ReplaceWith(const std::string& path, const FillFn& fill, std::string* reason) {
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (!::realpath(path.c_str(), resolved))
            return Fail(reason, "cannot resolve " + path, errno);
        target = resolved;
    }

    mode_t mode = 0;
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return Fail(reason, target + " is not a regular file", EINVAL);
        if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)
            return Fail(reason, target + " is read-only", EACCES);
        mode = st.st_mode & 07777;
    } else if (errno == ENOENT) {
        mode = 0666 & ~CurrentUmask();
    } else {
        return Fail(reason, "cannot check " + target, errno);
    }

    const std::string folder = FolderOf(target);
    const size_t slash = target.rfind('/');
    const std::string tempPrefix =
        "." + target.substr(slash == std::string::npos ? 0 : slash + 1) + ".";
    std::string temp = folder + "/" + tempPrefix + "XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return Fail(reason, "cannot create a temporary file in " + folder, errno);

    const auto abandon = [&](const std::string& what) {
        const int error = errno;
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        return Fail(reason, what, error);
    };
    std::string what = "cannot write " + temp;
    if (!fill(fd, temp, what)) return abandon(what);
    if (::fchmod(fd, mode) != 0) return abandon("cannot set the permissions of " + temp);
    if (::fsync(fd) != 0) return abandon("cannot flush " + temp);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return Fail(reason, "cannot close " + temp, error);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return Fail(reason, "cannot replace " + target, error);
    }
    SyncFolder(folder);
    RemoveStaleTemps(folder, tempPrefix);
    return true;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, std::string_view bytes, std::string* reason) {
    return ReplaceWith(
        path, [&](int fd, const std::string&, std::string&) { return WriteAll(fd, bytes); },
        reason);
}

bool ReplaceFileWith(const std::string& path, const FillFn& fill, std::string* reason) {
    return ReplaceWith(path, fill, reason);
}

bool CopyFileReplacing(const std::string& source, const std::string& path, std::string* reason) {
    // Only a regular file is copied: opening or reading a FIFO could wait forever.
    const int in = ::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) return Fail(reason, "cannot open " + source, errno);
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return Fail(reason, source + " is not a regular file", EINVAL);
    }
    const bool ok = ReplaceWith(
        path,
        [&](int fd, const std::string&, std::string& what) {
            char buffer[65536];
            for (;;) {
                const ssize_t n = ::read(in, buffer, sizeof buffer);
                if (n == 0) return true;
                if (n < 0) {
                    if (errno == EINTR) continue;
                    what = "cannot read " + source;
                    return false;
                }
                if (!WriteAll(fd, std::string_view(buffer, static_cast<size_t>(n)))) return false;
            }
        },
        reason);
    ::close(in);
    return ok;
}

}  // namespace fileio
