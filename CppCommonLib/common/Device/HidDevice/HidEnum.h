#pragma once

#include <array>
#include <cstdint>
#include <string>

constexpr int kMaxFoundDevices = 10;
using DevicePathList = std::array<std::string, kMaxFoundDevices>;

// Fills paths (may be null) with the device paths of present HID devices whose vendor and
// product id match: hidraw nodes first (udev order), then virtual devices (by name). Returns
// how many match, which may exceed the 10 stored.
int EnumDevices(DevicePathList* paths, uint16_t vendorId, uint16_t productId);

// How many devices with these ids are attached: hidraw nodes of one USB device count once
// (a card may have several HID interfaces), each virtual device once.
int CountPhysicalDevices(uint16_t vendorId, uint16_t productId);

// Vendor and product id of a device path: from the path itself ("#VID_xxxx&PID_xxxx", as
// virtual devices are named) or, for a hidraw node, from its parent HID device in udev.
bool LookupDeviceIds(const std::string& devicePath, uint16_t& vendorId, uint16_t& productId);
