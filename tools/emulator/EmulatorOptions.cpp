#include "EmulatorOptions.h"

#include <cerrno>
#include <cstdlib>

namespace lw52::emu {
namespace {

bool IsValuedOption(const std::string& option) {
    static const char* const kOptions[] = {
        "--dir",       "--instance",     "--packet",    "--product",      "--hw",
        "--fw",        "--type",         "--levels",    "--trace",        "--delay",
        "--drop",      "--bad-checksum", "--bad-flag",  "--unplug-after", "--uhid-path",
        "--drop-rate", "--corrupt-rate", "--fault-seed"};
    for (const char* known : kOptions)
        if (option == known) return true;
    return false;
}

}  // namespace

const char* EmulatorUsage() {
    return "usage: lw52-emulator [options]\n"
           "  --dir DIR           virtual device folder (default: $LW52_VHID_DIR,\n"
           "                      $XDG_RUNTIME_DIR/lw52-vhid or /tmp/lw52-vhid-<uid>)\n"
           "  --instance NAME     device instance, no '#' or '/' (default emu0)\n"
           "  --packet 64|40      packet size\n"
           "  --product 0x61|0x7B product id\n"
           "  --hw N --fw N       hardware and firmware version (default 10 and 12)\n"
           "  --type N            device type (default 1, sound card)\n"
           "  --levels HZ         level frames per second while a host is connected\n"
           "  --trace FILE        JSON-lines trace of every frame and event\n"
           "  --delay MS          reply delay\n"
           "  --drop K            drop the next K replies\n"
           "  --bad-checksum K    corrupt the checksum of the next K replies\n"
           "  --bad-flag K        bad flag byte in the next K replies\n"
           "  --unplug-after N    pull the cable when the Nth host frame arrives\n"
           "  --drop-rate P       drop each reply with P percent (0..100), at random\n"
           "  --corrupt-rate P    change a few random bytes of each reply with P percent\n"
           "  --fault-seed N      seed of the random faults (default 1): a run repeats\n"
           "  --uhid              a kernel HID device (a hidraw node) through /dev/uhid instead\n"
           "                      of the socket; --dir is then unused\n"
           "  --uhid-path PATH    the uhid device file (default /dev/uhid); implies --uhid\n"
           "  --audio             also the card's sound device on the sound server (PulseAudio\n"
           "                      or PipeWire): output lw52_virtual_card, looped back to the line\n"
           "                      input lw52_virtual_card_line; removed on exit\n"
           "  --help              this text\n"
           "stdin commands: knob ID VALUE [ID VALUE...] | levels MIC ACC | rate HZ | unplug |\n"
           "  plug | hangup (the host's connection ends, the device stays) | dump SLOT FILE |\n"
           "  state | fault delay MS|drop K|checksum K|flag K|command K|unplug-after N|clear |\n"
           "  junk COUNT LENGTH |\n"
           "  faults [drop=P] [corrupt=P] [seed=N] | faults off | help | quit\n";
}

bool ParseNumber(const std::string& text, long min, long max, long& out) {
    if (text.empty()) return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    errno = 0;
    const long value = strtol(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0' || value < min || value > max) return false;
    out = value;
    return true;
}

bool ParseEmulatorOptions(const std::vector<std::string>& args, EmulatorOptions& out,
                          std::string& error) {
    out = EmulatorOptions{};
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--help" || option == "-h") {
            out.help = true;
            continue;
        }
        if (option == "--uhid") {
            out.uhid = true;
            continue;
        }
        if (option == "--audio") {
            out.audio = true;
            continue;
        }
        if (!IsValuedOption(option)) {
            error = "unknown option '" + option + "'";
            return false;
        }
        if (i + 1 >= args.size()) {
            error = option + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        long number = 0;
        auto numberIn = [&](long min, long max) {
            if (ParseNumber(value, min, max, number)) return true;
            error = option + ": '" + value + "' is not a number in " + std::to_string(min) + ".." +
                    std::to_string(max);
            return false;
        };
        if (option == "--dir") {
            out.dir = value;
        } else if (option == "--instance") {
            if (value.empty() || value.find_first_of("#/") != std::string::npos) {
                error = "--instance: the name must not be empty or contain '#' or '/'";
                return false;
            }
            out.instance = value;
        } else if (option == "--trace") {
            out.tracePath = value;
        } else if (option == "--uhid-path") {
            if (value.empty()) {
                error = "--uhid-path: the path must not be empty";
                return false;
            }
            out.uhid = true;
            out.uhidPath = value;
        } else if (option == "--packet") {
            if (!numberIn(40, 64)) return false;
            if (number != kPacketSize40 && number != kPacketSize64) {
                error = "--packet: 64 or 40";
                return false;
            }
            out.card.packetSize = static_cast<int>(number);
        } else if (option == "--product") {
            if (!numberIn(0, 0xFFFF)) return false;
            if (number != kProductId61 && number != kProductId7B) {
                error = "--product: 0x61 or 0x7B";
                return false;
            }
            out.card.productId = static_cast<uint16_t>(number);
        } else if (option == "--hw" || option == "--fw" || option == "--type") {
            if (!numberIn(0, 255)) return false;
            uint8_t& field = option == "--hw"   ? out.card.hwVersion
                             : option == "--fw" ? out.card.fwVersion
                                                : out.card.deviceType;
            field = static_cast<uint8_t>(number);
        } else if (option == "--levels") {
            if (!numberIn(0, 1000)) return false;
            out.levelsHz = static_cast<int>(number);
        } else if (option == "--drop-rate" || option == "--corrupt-rate") {
            if (!numberIn(0, 100)) return false;
            (option == "--drop-rate" ? out.faults.dropRate : out.faults.corruptRate) =
                static_cast<int>(number);
        } else if (option == "--fault-seed") {
            if (!numberIn(0, 0xFFFFFFFFL)) return false;
            out.faults.faultSeed = static_cast<uint32_t>(number);
        } else if (option == "--delay" || option == "--drop" || option == "--bad-checksum" ||
                   option == "--bad-flag" || option == "--unplug-after") {
            if (!numberIn(0, 1000000)) return false;
            int& field = option == "--delay"          ? out.faults.delayMs
                         : option == "--drop"         ? out.faults.dropReplies
                         : option == "--bad-checksum" ? out.faults.badChecksumReplies
                         : option == "--bad-flag"     ? out.faults.badFlagReplies
                                                      : out.faults.unplugAfterFrames;
            field = static_cast<int>(number);
        }
    }
    return true;
}

}  // namespace lw52::emu
