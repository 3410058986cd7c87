#pragma once

// A fake machine for the card checks (sysfs, /dev, udev's run folder, a rule folder), and
// a way to meet permission checks as root does not.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Doctor.h"

namespace doctor_test {

namespace fs = std::filesystem;

inline void Write(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
}

inline void Link(const std::string& target, const std::string& link) {
    fs::create_directories(fs::path(link).parent_path());
    fs::create_symlink(target, link);
}

// A machine's sysfs, /dev, /run/udev and rule folders as far as the card checks read them.
class FakeSystem {
  public:
    FakeSystem() {
        for (const char* d : {"sys/bus/usb/devices", "sys/class/hidraw", "dev", "run", "rules"})
            fs::create_directories(Root() + "/" + d);
    }
    std::string Root() const { return m_dir.Path(); }
    std::string Sys() const { return Root() + "/sys"; }

    doctor::Environment Env() const {
        doctor::Environment env;
        env.sysfsRoot = Sys();
        env.devRoot = Root() + "/dev";
        env.runRoot = Root() + "/run";
        env.ruleDirs = {Root() + "/rules"};
        env.virtualDir = Root() + "/vhid";
        env.userName = "lw52";
        env.openNode = [this](const std::string& node) {
            const auto it = openErrors.find(node);
            return it == openErrors.end() ? 0 : it->second;
        };
        env.openVirtual = [](const std::string&) { return 0; };
        return env;
    }

    // A USB device listed in /sys/bus/usb/devices; returns its folder.
    std::string AddUsb(const std::string& name, const std::string& vid, const std::string& pid) {
        const std::string dir = Sys() + "/devices/pci0000:00/usb1/" + name;
        Write(dir + "/idVendor", vid + "\n");
        Write(dir + "/idProduct", pid + "\n");
        Link(dir, Sys() + "/bus/usb/devices/" + name);
        return dir;
    }
    // Its interface NAME:1.0 of class 03 (HID), taken by driver (none when empty).
    std::string AddHidInterface(const std::string& usbDir, const std::string& driver) {
        const std::string dir = usbDir + "/" + fs::path(usbDir).filename().string() + ":1.0";
        Write(dir + "/bInterfaceClass", "03\n");
        if (!driver.empty()) {
            fs::create_directories(Sys() + "/bus/usb/drivers/" + driver);
            Link(Sys() + "/bus/usb/drivers/" + driver, dir + "/driver");
        }
        return dir;
    }
    // A HID device below parent, taken by hid-generic, with the node hidrawN (none when
    // node < 0) and /dev/hidrawN when devFile.
    std::string AddHid(const std::string& parent, const std::string& hidName, int node,
                       bool devFile = true) {
        const std::string dir = parent + "/" + hidName;
        const std::string vid = hidName.substr(5, 4), pid = hidName.substr(10, 4);
        Write(dir + "/uevent",
              "DRIVER=hid-generic\nHID_ID=0003:0000" + vid + ":0000" + pid + "\nHID_NAME=LW52\n");
        fs::create_directories(Sys() + "/bus/hid/drivers/hid-generic");
        Link(Sys() + "/bus/hid/drivers/hid-generic", dir + "/driver");
        if (node < 0) return dir;
        const std::string name = "hidraw" + std::to_string(node);
        const std::string nodeDir = dir + "/hidraw/" + name;
        Write(nodeDir + "/dev", "247:" + std::to_string(node) + "\n");
        Write(nodeDir + "/uevent",
              "MAJOR=247\nMINOR=" + std::to_string(node) + "\nDEVNAME=" + name + "\n");
        Link(dir, nodeDir + "/device");
        Link(nodeDir, Sys() + "/class/hidraw/" + name);
        if (devFile) Write(Root() + "/dev/" + name, "");
        return dir;
    }
    // A card on USB at 1-1, bound all the way to /dev/hidraw0.
    void AddWorkingUsbCard(const std::string& pid = "0061") {
        fs::create_directories(Sys() + "/module/usbhid");
        AddHid(AddHidInterface(AddUsb("1-1", "2b53", pid), "usbhid"),
               "0003:2B53:" + Upper(pid) + ".0001", 0);
    }
    void StartUdev() { Write(Root() + "/run/udev/control", ""); }
    void InstallRule() { Write(Root() + "/rules/60-lw52.rules", "TAG+=\"uaccess\"\n"); }
    void TagNode(int node) {
        Write(Root() + "/run/udev/data/c247:" + std::to_string(node), "E:ID_X=1\nG:uaccess\n");
    }
    std::string Node(int n) const { return Root() + "/dev/hidraw" + std::to_string(n); }

    // The environment variables that point lw52ctl and the panel at this tree.
    std::vector<std::string> EnvVars() const {
        return {"LW52_SYSFS_ROOT=" + Sys(), "LW52_DEV_ROOT=" + Root() + "/dev",
                "LW52_RUN_ROOT=" + Root() + "/run", "LW52_UDEV_RULES_DIRS=" + Root() + "/rules"};
    }

    std::map<std::string, int> openErrors;  // node -> errno of the stand-in open

  private:
    static std::string Upper(std::string s) {
        for (char& c : s) c = static_cast<char>(toupper(c));
        return s;
    }
    TempDir m_dir;
};

// Root passes every permission check; without the capability that lets it, a folder of
// root's own with no write bit refuses it as it would refuse anyone. Per thread.
class WithoutDacOverride {
  public:
    WithoutDacOverride() {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        if (syscall(SYS_capget, &m_header, m_saved) != 0) return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_dropped = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutDacOverride() {
        if (m_dropped) syscall(SYS_capset, &m_header, m_saved);
    }

  private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_dropped = false;
};

}  // namespace doctor_test
