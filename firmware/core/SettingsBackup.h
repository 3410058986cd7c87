#pragma once

#include <string>

// Before firmware is written, the settings file (the card's slot records, stored effects and
// presets: what "lw52ctl config dump" shows) is copied beside itself, so a card that comes
// back blank can be set up again from it.
namespace firmware {

constexpr const char* kBackupFailedText = "固件升级失败：无法备份声卡的设置，未进行升级。";

// Copies the settings file to UserDir() + "/QvH31ConfigData-before-firmware-YYYYMMDD-HHMMSS.db".
// True with path set to the copy; true with path empty when there is no settings file yet;
// false with reason set when the copy cannot be made.
bool BackUpSettings(std::string& path, std::string& reason);

}  // namespace firmware
