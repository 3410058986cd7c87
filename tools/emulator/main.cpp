// lw52-emulator: a virtual LW52 card on a virtual HID device (or, with --uhid, a kernel HID
// device), driven from stdin; with --audio also a sound device on the sound server.

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "CardAudio.h"
#include "ConsoleCommands.h"
#include "EmulatorOptions.h"
#include "EmulatorServer.h"
#include "UhidTransport.h"
#include "VirtualHid.h"

using namespace lw52::emu;

namespace {

void ApplyFaults(CCardModel& model, const CardFaults& faults) {
    model.SetReplyDelay(faults.delayMs);
    model.DropReplies(faults.dropReplies);
    model.CorruptChecksums(faults.badChecksumReplies);
    model.BadFlags(faults.badFlagReplies);
    model.UnplugAfter(faults.unplugAfterFrames);
    model.SeedFaults(faults.faultSeed);
    model.SetFaultRates(faults.dropRate, faults.corruptRate);
}

// Serves stdin commands until "quit" or a signal. EOF on stdin only stops reading it, so the
// emulator can run in the background with </dev/null.
void RunConsole(CEmulatorServer& server, int signalFd) {
    CConsoleCommands commands(server);
    std::string pending;
    bool stdinOpen = true;
    for (;;) {
        pollfd fds[2] = {{stdinOpen ? STDIN_FILENO : -1, POLLIN, 0}, {signalFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;  // EINTR
        if (fds[1].revents & POLLIN) return;
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        char chunk[4096];
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            stdinOpen = false;
            continue;
        }
        pending.append(chunk, static_cast<size_t>(got));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            bool quit = false;
            const std::string answer = commands.Execute(line, quit);
            if (!answer.empty()) {
                printf("%s\n", answer.c_str());
                fflush(stdout);
            }
            if (quit) return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    EmulatorOptions options;
    std::string error;
    if (!ParseEmulatorOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        fprintf(stderr, "lw52-emulator: %s\n%s", error.c_str(), EmulatorUsage());
        return 2;
    }
    if (options.help) {
        printf("%s", EmulatorUsage());
        return 0;
    }

    // Signals arrive through a signalfd; blocked before any thread starts so all inherit it.
    sigset_t quitSignals;
    sigemptyset(&quitSignals);
    sigaddset(&quitSignals, SIGINT);
    sigaddset(&quitSignals, SIGTERM);
    // A closed terminal ends the emulator the same way, so --audio's devices go too; unless
    // hangups are ignored (nohup), which a blocked signal would otherwise override.
    struct sigaction hangup {};
    if (sigaction(SIGHUP, nullptr, &hangup) == 0 && hangup.sa_handler != SIG_IGN)
        sigaddset(&quitSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &quitSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    const int signalFd = signalfd(-1, &quitSignals, SFD_CLOEXEC);
    if (signalFd < 0) {
        perror("lw52-emulator: signalfd");
        return 1;
    }

    // Before the card appears, so a host that sees the card finds its sound device as well;
    // removed on every way out below (the destructor) and after the console ends.
    CCardAudio audio;
    if (options.audio && !audio.Open(error)) {
        fprintf(stderr, "lw52-emulator: --audio: %s\n", error.c_str());
        return 1;
    }

    CEmulatorServer server(options.card);
    if (!options.tracePath.empty() && !server.OpenTrace(options.tracePath)) {
        fprintf(stderr, "lw52-emulator: cannot write the trace %s\n", options.tracePath.c_str());
        return 1;
    }
    ApplyFaults(server.Model(), options.faults);
    server.SetLevelsRate(options.levelsHz);
    if (options.uhid) {
        auto uhid =
            std::make_unique<CUhidTransport>(options.uhidPath, options.card, options.instance);
        if (!uhid->Open(error)) {
            fprintf(stderr, "lw52-emulator: no /dev/uhid: %s\n", error.c_str());
            return 1;
        }
        if (!server.Start(std::move(uhid))) {
            fprintf(stderr, "lw52-emulator: cannot create the device through %s\n",
                    options.uhidPath.c_str());
            return 1;
        }
    } else {
        const std::string dir = options.dir.empty() ? vhid::VirtualDeviceDir() : options.dir;
        if (!server.Start(dir, options.instance)) {
            fprintf(stderr, "lw52-emulator: cannot create the virtual device in %s\n", dir.c_str());
            return 1;
        }
    }
    printf("lw52-emulator: listening on %s\n", server.Address().c_str());
    if (options.audio)
        printf("lw52-emulator: sound output %s, line in %s\n", CCardAudio::kSinkName,
               CCardAudio::kSourceName);
    fflush(stdout);

    RunConsole(server, signalFd);
    server.Stop();
    audio.Close();
    close(signalFd);
    return 0;
}
