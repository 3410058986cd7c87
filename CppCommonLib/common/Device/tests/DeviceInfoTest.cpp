#include <gtest/gtest.h>

#include "DeviceInfo.h"

TEST(DeviceInfoTest, VersionsAreDecimalDigits) {
    EXPECT_EQ(lw52::FormatVersion(12), "V1.2");
    EXPECT_EQ(lw52::FormatVersion(105), "V10.5");
    EXPECT_EQ(lw52::FormatVersion(0), "V0.0");
}

TEST(DeviceInfoTest, TypeNamesAndDialogText) {
    const char* names[] = {"其他", "声卡", "话筒", "耳机", "音箱", "效果器", "其他"};
    for (int type = 0; type <= 6; ++type)
        EXPECT_EQ(lw52::DeviceTypeName(static_cast<uint8_t>(type)), names[type]) << type;

    uint8_t reply[64] = {0x93, 0, 0, 0xFF, 12, 0, 21};
    reply[14] = 1;
    const lw52::DeviceInfo info = lw52::ParseDeviceInfoReply(reply);
    EXPECT_EQ(lw52::DeviceInfoText(&info),
              "产品名称：林雾LW52\n硬件版本：V1.2\n固件版本：V2.1\n设备类型：声卡\n");
    EXPECT_EQ(lw52::DeviceInfoText(nullptr), "产品名称：林雾LW52\n");
}
