#pragma once

#include <cstdint>
#include <string>

// What the device information reply (0x93) says, in the words the user sees.
namespace lw52 {

constexpr const char* kProductName = "林雾LW52";

struct DeviceInfo {
    uint8_t hardwareVersion = 0;  // reply byte 4, decimal digits: 12 is V1.2
    uint8_t firmwareVersion = 0;  // reply byte 6
    uint8_t deviceType = 0;       // reply byte 14
};

DeviceInfo ParseDeviceInfoReply(const uint8_t* reply);
// "V%d.%d" from value / 10 and value mod 10.
std::string FormatVersion(uint8_t value);
// "声卡", "话筒", "耳机", "音箱", "效果器", else "其他".
std::string DeviceTypeName(uint8_t type);
// The text of the device information dialog: the product line, then, when info is given,
// the hardware, firmware and type lines.
std::string DeviceInfoText(const DeviceInfo* info);

}  // namespace lw52
