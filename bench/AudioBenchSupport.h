#pragma once

#include <time.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "AudioStream.h"
#include "PulseDaemon.h"

// What the audio benchmarks share: streams released on scope exit, one private sound server
// per program, and CPU and memory readings of this process and of the server.
namespace benchaudio {

struct ReleaseStream {
    void operator()(audio::IAudioStream* s) const {
        if (s) s->Release();
    }
};
using StreamPtr = std::unique_ptr<audio::IAudioStream, ReleaseStream>;

// One daemon for the whole program, stopped at its exit; null (with the reason) when it cannot
// run.
inline PulseDaemon* Daemon(std::string& why) {
    static std::string error;
    static const std::unique_ptr<PulseDaemon> daemon = [] {
        auto d = std::make_unique<PulseDaemon>();
        if (!PulseDaemon::Available())
            error = "pulseaudio is not installed";
        else if (d->Start(&error))
            return d;
        return std::unique_ptr<PulseDaemon>();
    }();
    why = error;
    return daemon.get();
}

inline double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// User and system time of another process (the sound server), from /proc.
inline double ChildCpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; fields >> field && i <= 15; ++i)
        if (i == 14 || i == 15) ticks += std::stod(field);  // utime, stime
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Resident memory of this process in kB.
inline double ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1024;
}

}  // namespace benchaudio
