// lw52ctl: scripts the card from the command line with the panel's own device code.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "CliContext.h"
#include "Commands.h"
#include "Log.h"

namespace {

const char* kUsage =
    "usage: lw52ctl [--json] [--device PATH] [--verbose] COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  devices              list the cards found (path, vendor, product)\n"
    "  info                 hardware and firmware version and device type of the card\n"
    "  checksum [--packet N] HEX...\n"
    "                       checksum of the bytes; with --packet, of the N-byte frame they\n"
    "                       begin (zero-filled, bytes 0..N-2)\n"
    "\n"
    "options:\n"
    "  --json               machine-readable output\n"
    "  --device PATH        use this device instead of searching\n"
    "  --verbose            print the device layer's diagnostics on stderr\n"
    "\n"
    "Virtual cards are looked for in $LW52_VHID_DIR (else $XDG_RUNTIME_DIR/lw52-vhid).\n"
    "Exit status: 0 success, 1 failure, 2 usage error.\n";

// Without --verbose the device layer's diagnostics stay quiet; failures are reported by
// the commands in one line of their own.
struct QuietSink : diag::ILogSink {
    void OnLog(int, const char*, const char*, const char*, int, const char*) override {}
};

}  // namespace

int main(int argc, char** argv) {
    CliContext ctx;
    std::string command;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--json") {
            ctx.json = true;
        } else if (arg == "--verbose" || arg == "-v") {
            ctx.verbose = true;
        } else if (arg == "--device") {
            if (i + 1 >= argc) return UsageError("--device needs a path");
            ctx.devicePath = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            fputs(kUsage, stdout);
            return kExitOk;
        } else if (!arg.empty() && arg[0] == '-' && command.empty()) {
            return UsageError("unknown option '" + arg + "'");
        } else if (command.empty()) {
            command = arg;
        } else if (arg == "--json") {
            ctx.json = true;
        } else {
            ctx.args.push_back(arg);
        }
    }
    if (command.empty()) {
        fputs(kUsage, stderr);
        return kExitUsage;
    }
    QuietSink quiet;
    if (!ctx.verbose) diag::SetLogSink(&quiet);

    static const std::map<std::string, int (*)(const CliContext&)> commands = {
        {"devices", CmdDevices},
        {"info", CmdInfo},
        {"checksum", CmdChecksum},
    };
    const auto it = commands.find(command);
    const int rc =
        it == commands.end() ? UsageError("unknown command '" + command + "'") : it->second(ctx);
    diag::SetLogSink(nullptr);
    return rc;
}
