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
    "usage: lw52ctl [--json] [--device PATH] [--direct] [--verbose] COMMAND [ARGS]\n"
    "\n"
    "card:\n"
    "  devices              list the cards found (path, vendor, product)\n"
    "  info                 hardware and firmware version and device type of the card\n"
    "  state                every parameter (id, name, raw value, display text) and the\n"
    "                       active effect; the stored last state when no card is plugged in\n"
    "  set ID RAW [ID RAW ...]\n"
    "                       change parameters as the panel does (batched, 200 ms throttle)\n"
    "  effect N             apply built-in effect N (0..11)\n"
    "  custom N             apply the user's effect N (0..11)\n"
    "  preset GROUP INDEX   apply a preset (groups 0 mixer, 1 equaliser, 2 reverb, 3 voice)\n"
    "  save-effect card|user SLOT NAME\n"
    "                       store the current effect in a card slot (0..2) or user slot (0..11)\n"
    "  save-preset GROUP SLOT NAME\n"
    "                       store the group's values as user preset SLOT (0..3) of GROUP (1..3)\n"
    "  upload-effect FILE [--slot N]\n"
    "                       send an effect file: apply it, or store it in custom slot 1..3\n"
    "  upload-sound FILE|builtin:NAME --slot N [--volume V] [--master LEVEL]\n"
    "                       prepare a clip as the panel does (at most 20 s, 48 kHz mono) and\n"
    "                       send it into sound slot 1..3; pad volume V (0..100, default 100)\n"
    "                       at master LEVEL (0.0..1.0, default: the default output's level)\n"
    "  watch [--no-levels]  print arrivals, removals, changes made on the card and levels\n"
    "  While the panel runs it holds the card: the commands above but devices then ask it\n"
    "  (its window follows at once), else they use the card directly. watch carries on\n"
    "  directly when the panel quits.\n"
    "\n"
    "offline:\n"
    "  checksum [--packet N] HEX...\n"
    "                       checksum of the bytes; with --packet, of the N-byte frame they\n"
    "                       begin (zero-filled, bytes 0..N-2)\n"
    "  frames effect-file FILE [--target N] [--packet 64|40]\n"
    "                       the frames an effect file becomes, one per line in hex\n"
    "  config dump          the stored records of the settings file as JSON\n"
    "  convert-sound IN|builtin:NAME OUT.wav [--volume V] [--master LEVEL]\n"
    "                       the 48 kHz mono 16-bit clip upload-sound would send, as a WAV file\n"
    "  eq-response G1..G10  the equaliser curve for ten band gains in dB: 1024 levels\n"
    "  library list|add-list NAME|remove-list NAME|rename-list OLD NEW\n"
    "  library import FOLDER|add FILE... [--list NAME]\n"
    "                       the local effect library (EffectList.xml, changes go to the\n"
    "                       user's copy); import and add skip effects a list already has\n"
    "  firmware inspect PACKAGE.zip [--hardware H] [--firmware F]\n"
    "                       a firmware package read as the upgrade reads it for hardware H\n"
    "                       (default 1.0): its steps and flash images with their sizes and\n"
    "                       SHA-256, and the steps an upgrade writes for firmware F (default 1.0)\n"
    "  firmware check       the newest firmware the cloud service offers, and its package\n"
    "  firmware upgrade [--package FILE] [--yes]\n"
    "                       the upgrade as the panel's dialog runs it: the card's versions,\n"
    "                       the service's package (or FILE), then, once confirmed, the\n"
    "                       settings backed up and the write (which this card cannot take)\n"
    "\n"
    "cloud service ($LW52_CLOUD_URL, else \"Cloud\"/\"BaseUrl\" of the settings file):\n"
    "  cloud ping           whether the service answers the effect list request\n"
    "  cloud effects [--download NAME] [--apply NAME]\n"
    "                       the cloud effects; download one (as the panel does) or download\n"
    "                       it when needed and apply it to the card\n"
    "  cloud sounds [--download ID]\n"
    "                       the cloud's sound categories and clips; download one clip into\n"
    "                       CloudSound and the downloaded pads\n"
    "\n"
    "sound pads, sound output and recording (the sound server; the first device named LW52\n"
    "is used, else the default one):\n"
    "  sounds list          every pad: id, tab, name, hotkey, kind (ids as the panel uses)\n"
    "  sounds add FILE [--name NAME]\n"
    "                       add a local clip to the local tab\n"
    "  sounds favourite ID  add pad ID to the favourites\n"
    "  audio devices        outputs and inputs with display names; * marks the ones used\n"
    "  pad play ID | pad stop\n"
    "                       play pad ID on the running panel's output, or stop it (needs the\n"
    "                       panel)\n"
    "  play FILE|PAD_ID [--volume V]\n"
    "                       play a clip to its end (Ctrl+C stops); --verbose prints the\n"
    "                       position and level once a second\n"
    "  record [--seconds N] [OUT.mp3]\n"
    "                       record the line input to MP3 (192 kbps) until N seconds of audio\n"
    "                       are in the file (default 10; Ctrl+C stops early with a complete\n"
    "                       file); OUT defaults to tmp_record.mp3 in the state folder;\n"
    "                       --verbose prints the time recorded once a second\n"
    "\n"
    "diagnosis:\n"
    "  doctor [--devices]   why the card, the sound server, the cloud service or the state\n"
    "                       folder do not work: one line per check (ok, note or problem) with\n"
    "                       the commands that fix it. Looks at cards on the USB bus and their\n"
    "                       hidraw nodes (whether you may open them, the udev rule), virtual\n"
    "                       cards, udev, the running panel, the LW52 output and input, the\n"
    "                       service and the folder. --devices: the card checks only. Exit\n"
    "                       status 1 when it finds a problem\n"
    "\n"
    "options:\n"
    "  --json               machine-readable output\n"
    "  --device PATH        use this device instead of searching (implies --direct)\n"
    "  --direct             use the card directly even while the panel runs (a card the\n"
    "                       panel holds is reported busy)\n"
    "  --version            the program's version\n"
    "  --verbose            print the device layer's diagnostics on stderr, and whether a card\n"
    "                       command goes through the running panel or directly\n"
    "\n"
    "Virtual cards are looked for in $LW52_VHID_DIR (else $XDG_RUNTIME_DIR/lw52-vhid).\n"
    "State is kept in $XDG_DATA_HOME/QvLW52 (else ~/.local/share/QvLW52), as the panel keeps it.\n"
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
        } else if (arg == "--direct") {
            ctx.direct = true;
        } else if (arg == "--device") {
            if (i + 1 >= argc) return UsageError("--device needs a path");
            ctx.devicePath = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            fputs(kUsage, stdout);
            return kExitOk;
        } else if (arg == "--version" && command.empty()) {
            printf("lw52ctl %s\n", LW52_VERSION);
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
        {"config", CmdConfig},
        {"frames", CmdFrames},
        {"state", CmdState},
        {"set", CmdSet},
        {"effect", CmdEffect},
        {"custom", CmdCustom},
        {"preset", CmdPreset},
        {"save-effect", CmdSaveEffect},
        {"save-preset", CmdSavePreset},
        {"upload-effect", CmdUploadEffect},
        {"upload-sound", CmdUploadSound},
        {"convert-sound", CmdConvertSound},
        {"watch", CmdWatch},
        {"eq-response", CmdEqResponse},
        {"library", CmdLibrary},
        {"cloud", CmdCloud},
        {"sounds", CmdSounds},
        {"audio", CmdAudio},
        {"play", CmdPlay},
        {"pad", CmdPad},
        {"record", CmdRecord},
        {"firmware", CmdFirmware},
        {"doctor", CmdDoctor},
    };
    const auto it = commands.find(command);
    const int rc =
        it == commands.end() ? UsageError("unknown command '" + command + "'") : it->second(ctx);
    diag::SetLogSink(nullptr);
    return rc;
}
