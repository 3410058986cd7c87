#include "DeviceInfo.h"

#include <cstdio>

namespace lw52 {

DeviceInfo ParseDeviceInfoReply(const uint8_t* reply) {
    DeviceInfo info;
    info.hardwareVersion = reply[4];
    info.firmwareVersion = reply[6];
    info.deviceType = reply[14];
    return info;
}

std::string FormatVersion(uint8_t value) {
    char text[16];
    snprintf(text, sizeof text, "V%d.%d", value / 10, value % 10);
    return text;
}

std::string DeviceTypeName(uint8_t type) {
    switch (type) {
        case 1:
            return "声卡";
        case 2:
            return "话筒";
        case 3:
            return "耳机";
        case 4:
            return "音箱";
        case 5:
            return "效果器";
        default:
            return "其他";
    }
}

std::string DeviceInfoText(const DeviceInfo* info) {
    std::string text = std::string("产品名称：") + kProductName + "\n";
    if (info) {
        text += "硬件版本：" + FormatVersion(info->hardwareVersion) + "\n";
        text += "固件版本：" + FormatVersion(info->firmwareVersion) + "\n";
        text += "设备类型：" + DeviceTypeName(info->deviceType) + "\n";
    }
    return text;
}

}  // namespace lw52
