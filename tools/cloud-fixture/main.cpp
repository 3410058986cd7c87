// lw52-cloud-fixture [--port N] [--root DIR] [--fault NAME] [--slow-ms N] [--verbose]
// Serves the cloud service's API and files on 127.0.0.1 from a fixture folder, with faults on
// demand. Prints "lw52-cloud-fixture: listening on http://127.0.0.1:PORT/tuning" once it
// accepts connections; SIGINT or SIGTERM end it with status 0.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "FixtureServer.h"

namespace {

struct Options {
    int port = 0;
    std::string root = LW52_CLOUD_FIXTURE_DIR;
    std::string fault = "clear";
    int slowMs = 8000;  // past the 7 s API and 3 s download timeouts
    bool verbose = false;
};

bool ParseInt(const char* text, long min, long max, int& out) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < min || value > max) return false;
    out = static_cast<int>(value);
    return true;
}

void PrintUsage(FILE* to) {
    std::fprintf(to,
                 "usage: lw52-cloud-fixture [--port N] [--root DIR] [--fault NAME] "
                 "[--slow-ms N] [--verbose]\n"
                 "  --port N     0 (default) picks a free port\n"
                 "  --root DIR   fixture folder (default %s)\n"
                 "  --fault NAME %s\n"
                 "  --slow-ms N  how long the slow fault holds a reply (default 8000)\n"
                 "  POST /fault?name=NAME switches the fault while running.\n"
                 "  clipfail fails only the clip requests of the sound categories.\n"
                 "fixture folder (read on every request, so it may change while serving):\n"
                 "  effects/CATEGORY/*.dteff, sounds/CATEGORY/*.mp3, firmware/upgrade.json;\n"
                 "  a category folder may hold names.txt (FILE=display name) and urls.txt\n"
                 "  (FILE=URL, {url} standing for the file's own URL) to give clips other,\n"
                 "  even hostile, URLs. A category's name is its folder's name.\n",
                 LW52_CLOUD_FIXTURE_DIR, FixtureServer::FaultNames());
}

// 0 parsed, 1 help shown, 2 usage error.
int ParseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 1;
        }
        if (arg == "--verbose") {
            o.verbose = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "lw52-cloud-fixture: %s needs a value\n", arg.c_str());
            return 2;
        }
        const char* value = argv[++i];
        bool ok = true;
        if (arg == "--port")
            ok = ParseInt(value, 0, 65535, o.port);
        else if (arg == "--slow-ms")
            ok = ParseInt(value, 0, 600000, o.slowMs);
        else if (arg == "--root")
            o.root = value;
        else if (arg == "--fault")
            o.fault = value;
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr, "lw52-cloud-fixture: bad argument %s %s\n", arg.c_str(), value);
            return 2;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int parsed = ParseArgs(argc, argv, options); parsed != 0) return parsed == 1 ? 0 : 2;
    if (!std::filesystem::is_directory(options.root)) {
        std::fprintf(stderr, "lw52-cloud-fixture: no fixture folder %s\n", options.root.c_str());
        return 1;
    }
    FixtureServer server(options.root, options.slowMs, options.verbose);
    if (!server.SetFault(options.fault)) {
        std::fprintf(stderr, "lw52-cloud-fixture: unknown fault %s (%s)\n", options.fault.c_str(),
                     FixtureServer::FaultNames());
        return 2;
    }

    // The signals are taken by one thread with sigwait, so stopping runs as ordinary code.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const int port = server.Bind(options.port);
    if (port < 0) {
        std::fprintf(stderr, "lw52-cloud-fixture: cannot bind 127.0.0.1:%d\n", options.port);
        return 1;
    }
    std::atomic<bool> signalled{false};
    std::thread stopper([&server, &signalled, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        signalled = true;
        server.Stop();
    });

    // The socket listens from Bind on, so a client may connect as soon as it reads this.
    std::printf("lw52-cloud-fixture: listening on http://127.0.0.1:%d/tuning\n", port);
    std::fflush(stdout);
    const bool served = server.Serve();
    // The stopper must be done with the server before the server goes. When serving ended
    // without a signal, one of our own wakes it (every thread blocks it: sigwait takes it).
    if (!signalled) kill(getpid(), SIGTERM);
    stopper.join();
    return served ? 0 : 1;
}
