#include "FuzzSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "Log.h"

namespace fuzz {
namespace {

class NullSink : public diag::ILogSink {
  public:
    void OnLog(int, const char*, const char*, const char*, int, const char*) override {}
};

void RemoveTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(TempDir(), ec);
}

}  // namespace

const std::string& TempDir() {
    static const std::string dir = [] {
        const char* base = getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/lw52-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            perror("mkdtemp");
            abort();
        }
        return pattern;
    }();
    static const bool registered = atexit(RemoveTempDir) == 0;
    (void)registered;
    return dir;
}

std::string WriteTempFile(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = TempDir() + "/" + name;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        perror(path.c_str());
        abort();
    }
    for (size_t done = 0; done < size;) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) {
            perror(path.c_str());
            abort();
        }
        done += static_cast<size_t>(n);
    }
    close(fd);
    return path;
}

void SilenceLog() {
    static NullSink sink;
    diag::SetLogSink(&sink);
}

void Violated(const char* what) {
    fprintf(stderr, "fuzz: property violated: %s\n", what);
    abort();
}

}  // namespace fuzz
