#pragma once

#include <string>
#include <vector>

#include "CardState.h"

// Command line of lw52-emulator.
namespace lw52::emu {

struct EmulatorOptions {
    std::string dir;  // empty: the default virtual device folder
    std::string instance = "emu0";
    CardConfig card;
    CardFaults faults;
    int levelsHz = 0;
    std::string tracePath;
    bool uhid = false;  // a kernel HID device through uhidPath instead of the socket
    std::string uhidPath = "/dev/uhid";
    bool audio = false;  // the card's sound device on the sound server as well
    bool help = false;
};

// args without the program name. False with error set on a usage error.
bool ParseEmulatorOptions(const std::vector<std::string>& args, EmulatorOptions& out,
                          std::string& error);
const char* EmulatorUsage();

// Decimal, or hexadecimal with 0x; the whole text must be the number and lie in min..max.
bool ParseNumber(const std::string& text, long min, long max, long& out);

}  // namespace lw52::emu
