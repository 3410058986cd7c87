#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What one firmware upgrade knows: the card's versions, the service's answer, the package's
// steps with their extracted images, and the last error. Texts are UTF-8.
namespace firmware {

// A package names at most this many firmware steps and this many flash steps.
constexpr int kMaxSteps = 10;

struct FirmwareStep {
    std::string version;      // the firmware version this step writes
    std::string file;         // member name in the package
    std::string needVersion;  // condition on the card's firmware version ("G1.2")
    std::vector<uint8_t> image;
};

struct FlashStep {
    std::string version;
    std::string file;
    std::string needVersion;
    std::string addr;      // the flash address as written in the package (hexadecimal)
    uint32_t address = 0;  // the same as a number
    std::vector<uint8_t> image;
};

struct UpgradeContext {
    std::string hardwareVersion = "1.0";  // "%d.%d" from the card; "1.0" until read
    std::string firmwareVersion = "1.0";
    std::string latestVersion;  // the service's newest version, then the package's
    std::string packageUrl;
    std::string errorText;  // the last failure, for the dialog to show
    std::vector<FirmwareStep> steps;
    std::vector<FlashStep> flashes;
    int selectedStep = -1;
};

}  // namespace firmware
