#include "SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
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

ReadStatus ReadWholeFile(const std::string& path, std::string& bytes, std::string* reason) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return ReadStatus::kMissing;
        Fail(reason, "cannot open " + path, errno);
        return ReadStatus::kFailed;
    }
    // Read straight into the string; one spare byte lets the end show without growing it.
    struct stat st {};
    size_t capacity =
        (::fstat(fd, &st) == 0 && st.st_size > 0) ? static_cast<size_t>(st.st_size) + 1 : 0;
    size_t used = 0;
    for (;;) {
        if (used == capacity) capacity = capacity * 2 + 4096;
        bytes.resize(capacity);
        const ssize_t n = ::read(fd, bytes.data() + used, capacity - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            bytes.clear();
            Fail(reason, "cannot read " + path, error);
            return ReadStatus::kFailed;
        }
        if (n == 0) break;
        used += static_cast<size_t>(n);
    }
    bytes.resize(used);
    ::close(fd);
    return ReadStatus::kOk;
}

namespace {

// The new contents come from fill(fd, what) into a temporary file beside the target, which is
// flushed and renamed over it; what names the failure when fill returns false.
bool ReplaceWith(const std::string& path, const std::function<bool(int, std::string&)>& fill,
                 std::string* reason) {
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
    std::string temp =
        folder + "/." + target.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return Fail(reason, "cannot create a temporary file in " + folder, errno);

    const auto abandon = [&](const std::string& what) {
        const int error = errno;
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        return Fail(reason, what, error);
    };
    std::string what = "cannot write " + temp;
    if (!fill(fd, what)) return abandon(what);
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
    return true;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, std::string_view bytes, std::string* reason) {
    return ReplaceWith(
        path, [&](int fd, std::string&) { return WriteAll(fd, bytes); }, reason);
}

bool CopyFileReplacing(const std::string& source, const std::string& path, std::string* reason) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Fail(reason, "cannot open " + source, errno);
    const bool ok = ReplaceWith(
        path,
        [&](int fd, std::string& what) {
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
