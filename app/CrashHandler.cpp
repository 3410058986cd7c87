#include "CrashHandler.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "AppPaths.h"

namespace {
char g_folder[1024];
char g_base[256];
bool g_installed = false;

// Creates every missing folder along the path (at install time, not in the handler).
void MakeDirs(const std::string& path) {
    for (size_t pos = 1; pos <= path.size(); ++pos)
        if (pos == path.size() || path[pos] == '/') mkdir(path.substr(0, pos).c_str(), 0700);
}

void OnFatalSignal(int sig) {
    // Only async-signal-safe calls from here on, apart from localtime_r on the clock.
    const time_t now = time(nullptr);
    struct tm t {};
    localtime_r(&now, &t);
    char path[1400];
    snprintf(path, sizeof path, "%s/%s_%d%02d%02d%02d%02d%02d.dmp", g_folder, g_base,
             t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        char head[128];
        const int n = snprintf(head, sizeof head, "fatal signal %d (%s)\nbacktrace:\n", sig,
                               sig == SIGSEGV   ? "SIGSEGV"
                               : sig == SIGABRT ? "SIGABRT"
                                                : "");
        if (n > 0) {
            ssize_t ignored = write(fd, head, static_cast<size_t>(n));
            (void)ignored;
        }
        void* frames[128];
        const int count = backtrace(frames, 128);
        backtrace_symbols_fd(frames, count, fd);
        close(fd);
    }
    signal(sig, SIG_DFL);
    raise(sig);
}
}  // namespace

void InstallCrashHandler(const char* folder) {
    if (g_installed) return;
    g_installed = true;
    std::string dir = folder ? folder : "";
    if (dir.empty()) dir = app_paths::TempFolder();
    MakeDirs(dir);
    snprintf(g_folder, sizeof g_folder, "%s", dir.c_str());
    char exe[512] = {};
    const ssize_t len = readlink("/proc/self/exe", exe, sizeof exe - 1);
    const char* base = len > 0 ? strrchr(exe, '/') : nullptr;
    snprintf(g_base, sizeof g_base, "%s", base ? base + 1 : "lw52panel");
    void* warm[1];
    backtrace(warm, 1);  // loads the unwinder now, not inside the handler
    for (int sig : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL}) signal(sig, OnFatalSignal);
}
