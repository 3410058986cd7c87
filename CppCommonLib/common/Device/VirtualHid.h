#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The virtual HID device: a listening SOCK_SEQPACKET Unix socket named
// "hid#VID_2B53&PID_0061#<instance>" in the virtual device folder. Its full path is the
// device path. After accept the device sends its report descriptor as one packet; then each
// packet is one report (host to device: report id 0 + data; device to host: data only).
namespace vhid {

// $LW52_VHID_DIR, else $XDG_RUNTIME_DIR/lw52-vhid, else /tmp/lw52-vhid-<uid>.
std::string VirtualDeviceDir();
// Creates the folder (mode 0700) when missing; false when it cannot.
bool EnsureVirtualDeviceDir(const std::string& dir);
// "hid#VID_%04X&PID_%04X#instance"
std::string VirtualDeviceName(uint16_t vendorId, uint16_t productId, const std::string& instance);
// Device paths of the sockets in the folder, sorted by name.
std::vector<std::string> ListVirtualDevices(const std::string& dir);
// True when path names a Unix socket.
bool IsSocketPath(const std::string& path);

}  // namespace vhid

// Reads the vendor and product id from a device path: upper-cases a copy, finds "#VID_",
// takes the 4 characters after it as the vendor id and the 4 characters starting 14
// characters after its start as the product id, both hexadecimal digits only.
bool ParseVidPid(const std::string& devicePath, uint16_t& vendorId, uint16_t& productId);
