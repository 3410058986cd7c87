#include <gtest/gtest.h>

#include "VirtualHid.h"

TEST(VidPidTest, ParsesDevicePaths) {
    struct Case {
        const char* path;
        bool ok;
        uint16_t vid, pid;
    } cases[] = {
        {"/run/lw52-vhid/hid#VID_2B53&PID_0061#emu0", true, 0x2B53, 0x0061},
        {"\\\\?\\hid#vid_2b53&pid_007b#7&1a2b&0&0000#{4d1e55b2}", true, 0x2B53, 0x007B},
        {"/dev/hidraw0", false, 0, 0},
        {"hid#VID_2B5G&PID_0061#x", false, 0, 0},  // not hexadecimal
        {"hid#VID_2B53&PID_00", false, 0, 0},      // cut short
    };
    for (const auto& c : cases) {
        uint16_t vid = 0, pid = 0;
        EXPECT_EQ(ParseVidPid(c.path, vid, pid), c.ok) << c.path;
        if (c.ok) {
            EXPECT_EQ(vid, c.vid) << c.path;
            EXPECT_EQ(pid, c.pid) << c.path;
        }
    }
}

TEST(VidPidTest, VirtualDeviceNameFormat) {
    EXPECT_EQ(vhid::VirtualDeviceName(0x2B53, 0x7B, "emu0"), "hid#VID_2B53&PID_007B#emu0");
}
