#include "HidEnum.h"

#include <libudev.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "Log.h"
#include "VirtualHid.h"

namespace {

// HID_ID of the parent hid device: "bus:VVVVVVVV:PPPPPPPP" in hex.
bool ReadHidId(udev_device* hidraw, uint16_t& vendorId, uint16_t& productId) {
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    if (!hid) return false;
    const char* id = udev_device_get_property_value(hid, "HID_ID");
    unsigned bus = 0, vid = 0, pid = 0;
    if (!id || sscanf(id, "%x:%x:%x", &bus, &vid, &pid) != 3) return false;
    vendorId = static_cast<uint16_t>(vid);
    productId = static_cast<uint16_t>(pid);
    return true;
}

// The device a hidraw node belongs to: its USB device when it has one (a card with several
// HID interfaces has a node for each), else the node itself.
std::string PhysicalDevice(udev_device* hidraw, const char* node) {
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_device");
    const char* syspath = usb ? udev_device_get_syspath(usb) : nullptr;
    return syspath ? syspath : node;
}

// Matching hidraw nodes in udev order; physical (may be null) gets each node's device.
std::vector<std::string> MatchingHidrawNodes(uint16_t vendorId, uint16_t productId,
                                             std::vector<std::string>* physical = nullptr) {
    std::vector<std::string> found;
    udev* context = udev_new();
    if (!context) {
        QV_LOG("CHidBase::EnumDevices udev_new failed.");
        return found;
    }
    udev_enumerate* enumerate = udev_enumerate_new(context);
    if (enumerate && udev_enumerate_add_match_subsystem(enumerate, "hidraw") >= 0 &&
        udev_enumerate_scan_devices(enumerate) >= 0) {
        udev_list_entry* entry;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
            udev_device* dev =
                udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
            if (!dev) continue;
            const char* node = udev_device_get_devnode(dev);
            uint16_t vid = 0, pid = 0;
            // Listed even when this user may not open it: the open then says why ("Permission
            // denied"), where skipping it would claim there is no card at all.
            if (node && ReadHidId(dev, vid, pid) && vid == vendorId && pid == productId) {
                found.emplace_back(node);
                if (physical) physical->push_back(PhysicalDevice(dev, node));
            }
            udev_device_unref(dev);
        }
    }
    if (enumerate) udev_enumerate_unref(enumerate);
    udev_unref(context);
    return found;
}

}  // namespace

int EnumDevices(DevicePathList* paths, uint16_t vendorId, uint16_t productId) {
    std::vector<std::string> found = MatchingHidrawNodes(vendorId, productId);
    for (const std::string& path : vhid::ListVirtualDevices(vhid::VirtualDeviceDir())) {
        uint16_t vid = 0, pid = 0;
        if (ParseVidPid(path, vid, pid) && vid == vendorId && pid == productId)
            found.push_back(path);
    }
    if (paths) {
        for (auto& p : *paths) p.clear();
        for (size_t i = 0; i < found.size() && i < paths->size(); ++i) (*paths)[i] = found[i];
    }
    return static_cast<int>(found.size());
}

int CountPhysicalDevices(uint16_t vendorId, uint16_t productId) {
    std::vector<std::string> physical;
    MatchingHidrawNodes(vendorId, productId, &physical);
    std::set<std::string> devices(physical.begin(), physical.end());
    int count = static_cast<int>(devices.size());
    for (const std::string& path : vhid::ListVirtualDevices(vhid::VirtualDeviceDir())) {
        uint16_t vid = 0, pid = 0;
        if (ParseVidPid(path, vid, pid) && vid == vendorId && pid == productId) ++count;
    }
    return count;
}

bool LookupDeviceIds(const std::string& devicePath, uint16_t& vendorId, uint16_t& productId) {
    if (ParseVidPid(devicePath, vendorId, productId)) return true;
    const size_t slash = devicePath.rfind('/');
    const std::string name = devicePath.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.rfind("hidraw", 0) != 0) return false;
    udev* context = udev_new();
    if (!context) return false;
    bool found = false;
    if (udev_device* dev =
            udev_device_new_from_subsystem_sysname(context, "hidraw", name.c_str())) {
        found = ReadHidId(dev, vendorId, productId);
        udev_device_unref(dev);
    }
    udev_unref(context);
    return found;
}
