// The card checks: what sysfs says is on the bus, what /dev holds for it, and whether this
// user may open it, with udev's part in the answer.
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "Doctor.h"
#include "FrameDefs.h"
#include "HotplugWatcher.h"
#include "VirtualHid.h"

namespace doctor {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRuleName = "60-lw52.rules";
constexpr int kVirtualAnswerMs = 1000;

const char* const kReplug = ", then unplug the card and plug it in again";

bool IsCard(unsigned vendorId, unsigned productId) {
    return vendorId == lw52::kVendorId &&
           (productId == lw52::kProductId61 || productId == lw52::kProductId7B);
}

std::string Ids(unsigned productId) {
    char text[16];
    snprintf(text, sizeof text, "2b53:%04x", productId);
    return text;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return {};
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

// KEY=value from a uevent file.
std::string UeventValue(const std::string& path, const std::string& key) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (line.size() > key.size() && line.compare(0, key.size(), key) == 0 &&
            line[key.size()] == '=')
            return line.substr(key.size() + 1);
    return {};
}

std::string Canonical(const std::string& path) {
    std::error_code ec;
    const fs::path resolved = fs::canonical(path, ec);
    return ec ? std::string() : resolved.string();
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Entry names of a folder, hidraw2 before hidraw10.
std::vector<std::string> ListNames(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return names;
}

bool ParseHex(const std::string& text, unsigned& value) {
    char* end = nullptr;
    const unsigned long parsed = strtoul(text.c_str(), &end, 16);
    if (text.empty() || *end != '\0' || parsed > 0xFFFF) return false;
    value = static_cast<unsigned>(parsed);
    return true;
}

struct UsbCard {
    std::string name;  // "1-1"
    std::string path;  // its sysfs folder, resolved
    unsigned productId = 0;
};

struct CardNode {
    std::string name;      // "hidraw0"
    std::string node;      // devRoot + "/hidraw0"
    std::string classDir;  // sysfsRoot + "/class/hidraw/hidraw0"
    std::string usbPath;   // the USB device above it, resolved; empty when none
    unsigned productId = 0;
};

std::vector<UsbCard> FindUsbCards(const Environment& env) {
    std::vector<UsbCard> cards;
    const std::string devices = env.sysfsRoot + "/bus/usb/devices";
    for (const std::string& name : ListNames(devices)) {
        if (name.find(':') != std::string::npos) continue;  // an interface
        const std::string dir = devices + "/" + name;
        unsigned vendorId = 0, productId = 0;
        if (!ParseHex(FirstLine(dir + "/idVendor"), vendorId) ||
            !ParseHex(FirstLine(dir + "/idProduct"), productId) || !IsCard(vendorId, productId))
            continue;
        cards.push_back({name, Canonical(dir), productId});
    }
    return cards;
}

// The first folder above dir (inside root) that is a USB device: it has idVendor.
std::string UsbDeviceAbove(const std::string& dir, const std::string& root) {
    for (fs::path p = fs::path(dir).parent_path(); p.string().size() > root.size();
         p = p.parent_path()) {
        if (Exists((p / "idVendor").string()) && Exists((p / "idProduct").string()))
            return p.string();
        if (!p.has_relative_path()) break;
    }
    return {};
}

std::vector<CardNode> FindCardNodes(const Environment& env) {
    std::vector<CardNode> nodes;
    const std::string root = Canonical(env.sysfsRoot);
    const std::string hidraw = env.sysfsRoot + "/class/hidraw";
    for (const std::string& name : ListNames(hidraw)) {
        const std::string classDir = hidraw + "/" + name;
        // HID_ID of the HID device the node belongs to: "bus:VVVVVVVV:PPPPPPPP".
        const std::string id = UeventValue(classDir + "/device/uevent", "HID_ID");
        unsigned bus = 0, vendorId = 0, productId = 0;
        if (sscanf(id.c_str(), "%x:%x:%x", &bus, &vendorId, &productId) != 3 ||
            !IsCard(vendorId, productId))
            continue;
        std::string devName = UeventValue(classDir + "/uevent", "DEVNAME");
        if (devName.empty()) devName = name;
        const std::string hidDevice = Canonical(classDir + "/device");
        nodes.push_back({name, env.devRoot + "/" + devName, classDir,
                         hidDevice.empty() ? "" : UsbDeviceAbove(hidDevice, root), productId});
    }
    return nodes;
}

// Where the rule is in effect: the first folder in udev's order that has the file. A file
// that is empty or a link to /dev/null masks the rule.
struct RuleState {
    std::string path;
    bool masked = false;
};

RuleState FindRule(const Environment& env) {
    for (const std::string& dir : env.ruleDirs) {
        const std::string path = dir + "/" + kRuleName;
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0) continue;
        RuleState rule{path, false};
        if (S_ISLNK(st.st_mode)) {
            char target[64] = {};
            const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
            rule.masked = n > 0 && strcmp(target, "/dev/null") == 0;
        } else {
            rule.masked = S_ISREG(st.st_mode) && st.st_size == 0;
        }
        return rule;
    }
    return {};
}

enum class Tag { kUnknown, kTagged, kUntagged };

// Whether udev's database has the uaccess tag on the node ("G:" tags, "Q:" current tags).
Tag UaccessTag(const Environment& env, const CardNode& node) {
    const std::string numbers = FirstLine(node.classDir + "/dev");
    if (numbers.empty()) return Tag::kUnknown;
    std::ifstream in(env.runRoot + "/udev/data/c" + numbers);
    if (!in) return Tag::kUntagged;
    std::string line;
    while (std::getline(in, line))
        if (line == "G:uaccess" || line == "Q:uaccess") return Tag::kTagged;
    return Tag::kUntagged;
}

std::string InstallRuleFix(const Environment& env) {
    std::string install;
    if (!env.ruleSource.empty()) {
        install = "sudo install -m 644 " + ShellQuoted(env.ruleSource) + " /etc/udev/rules.d/";
    } else {
        // Matches the HID device above the node by its name, BUS:VENDOR:PRODUCT.N, so a card
        // on USB and one made through /dev/uhid alike.
        install =
            "printf '%s\\n' 'SUBSYSTEM==\"hidraw\", KERNELS==\"0003:2B53:0061.*\", "
            "TAG+=\"uaccess\"' 'SUBSYSTEM==\"hidraw\", KERNELS==\"0003:2B53:007B.*\", "
            "TAG+=\"uaccess\"' | sudo tee /etc/udev/rules.d/60-lw52.rules";
    }
    return install + " && sudo udevadm control --reload && sudo udevadm trigger" + kReplug;
}

Finding PermissionFinding(const Environment& env, const CardNode& node, const std::string& what,
                          int error) {
    Finding f{"card", Status::kProblem, {}, {}, node.node};
    const std::string user = env.userName.empty() ? "this user" : env.userName;
    f.text = what + " is there, but you (" + user + ") may not open it: " + strerror(error) + ".";
    const RuleState rule = FindRule(env);
    if (rule.path.empty()) {
        f.text +=
            " The udev rule that gives the card to the user at the desktop (60-lw52.rules) is "
            "not installed.";
        f.fix = InstallRuleFix(env);
    } else if (rule.masked) {
        f.text += " The udev rule 60-lw52.rules is switched off by " + rule.path + ".";
        f.fix = "sudo rm " + ShellQuoted(rule.path) + " && " + InstallRuleFix(env);
    } else if (!CHotplugWatcher::UdevRunning(env.runRoot)) {
        f.text += " The udev rule is installed (" + rule.path +
                  "), but udev is not running, so nothing applies it.";
        f.fix = "sudo systemctl start systemd-udevd && sudo udevadm trigger" + std::string(kReplug);
    } else if (UaccessTag(env, node) == Tag::kTagged) {
        f.text += " The udev rule is installed (" + rule.path +
                  ") and udev has applied it, but it gives the card only to the user of the "
                  "active local session at this machine's seat, and this is not one (a login "
                  "over ssh, su or sudo -u, or a session in the background).";
        f.fix =
            "use the card from the desktop session at this machine; for this session only: "
            "sudo setfacl -m u:" +
            (env.userName.empty() ? std::string("$(id -un)") : env.userName) + ":rw " +
            ShellQuoted(node.node);
    } else {
        f.text += " The udev rule is installed (" + rule.path +
                  "), but udev has not applied it to this node (the card came before the rule, "
                  "or udev has not read its rules again since).";
        f.fix = "sudo udevadm control --reload && sudo udevadm trigger" + std::string(kReplug);
    }
    return f;
}

Finding NodeFinding(const Environment& env, const CardNode& node, const std::string& usbName,
                    int& usable) {
    const std::string what = "The LW52 card " + Ids(node.productId) + " at " + node.node +
                             (usbName.empty() ? "" : " (USB " + usbName + ")");
    Finding f{"card", Status::kProblem, {}, {}, node.node};
    if (!Exists(node.node)) {
        f.text = what + " has no device file: the kernel made " + node.name +
                 " for it, but there is no " + node.node + ".";
        f.fix = "sudo udevadm trigger --subsystem-match=hidraw --action=add" + std::string(kReplug);
        return f;
    }
    const int error = env.openNode ? env.openNode(node.node) : 0;
    if (error == 0) {
        ++usable;
        f.status = Status::kOk;
        f.text = what + " can be opened.";
    } else if (error == EBUSY && env.panel.running) {
        ++usable;
        f.status = Status::kOk;
        f.text = what + " is in use by the running panel: lw52ctl's card commands go through it.";
    } else if (error == EBUSY) {
        f.text = what + " is busy: another program has it open.";
        f.fix = "close that program (sudo fuser -v " + ShellQuoted(node.node) + " names it)";
    } else if (error == EACCES || error == EPERM) {
        return PermissionFinding(env, node, what, error);
    } else {
        f.text = what + " cannot be opened: " + strerror(error) + ".";
        f.fix = "unplug the card and plug it in again; sudo dmesg | tail says what the kernel saw";
    }
    return f;
}

// A card on the bus without a hidraw node: why, from its HID interfaces and their drivers.
Finding UsbWithoutNode(const Environment& env, const UsbCard& card) {
    Finding f{"usb", Status::kProblem, {}, {}, card.name};
    f.text = "An LW52 card (" + Ids(card.productId) + ") is on the USB bus at " + card.name +
             ", but it has no hidraw node, so no program can talk to it: ";
    const std::string usbDir = env.sysfsRoot + "/bus/usb/devices/" + card.name;
    bool anyHid = false;
    for (const std::string& name : ListNames(usbDir)) {
        if (name.rfind(card.name + ":", 0) != 0) continue;
        const std::string interface = usbDir + "/" + name;
        if (FirstLine(interface + "/bInterfaceClass") != "03") continue;
        anyHid = true;
        const std::string driver = BaseName(Canonical(interface + "/driver"));
        if (driver.empty() && !Exists(env.sysfsRoot + "/module/usbhid")) {
            f.text += "the usbhid driver is not loaded.";
            f.fix = "sudo modprobe usbhid" + std::string(kReplug);
        } else if (driver.empty()) {
            f.text += "no driver has taken its HID interface " + name + ".";
            f.fix = "echo " + name + " | sudo tee /sys/bus/usb/drivers/usbhid/bind";
        } else if (driver != "usbhid") {
            f.text += "its HID interface " + name + " is held by the driver \"" + driver +
                      "\" instead of usbhid (a program that talks to the card through libusb "
                      "does that).";
            f.fix = "close that program, or: echo " + name + " | sudo tee /sys/bus/usb/drivers/" +
                    driver + "/unbind && echo " + name +
                    " | sudo tee /sys/bus/usb/drivers/usbhid/bind";
        } else {
            // usbhid made a HID device ("0003:2B53:0061.0001") below the interface.
            std::string hidDevice;
            for (const std::string& sub : ListNames(interface))
                if (sub.find(':') != std::string::npos && sub.find('.') != std::string::npos)
                    hidDevice = interface + "/" + sub;
            if (hidDevice.empty()) {
                f.text += "usbhid has its interface " + name + " but made no HID device of it.";
                f.fix = "unplug the card and plug it in again; sudo dmesg | tail says why";
            } else if (!Exists(hidDevice + "/driver")) {
                f.text += "no HID driver has taken it (the hid-generic module is not loaded).";
                f.fix = "sudo modprobe hid-generic" + std::string(kReplug);
            } else {
                f.text += "the kernel makes no hidraw nodes (it was built without CONFIG_HIDRAW).";
                f.fix = "use a kernel with hidraw support (Debian's kernels have it)";
            }
        }
        return f;
    }
    if (!anyHid) {
        f.text += "it shows no HID interface.";
        f.fix = "unplug the card and plug it in again; lsusb -v -d " + Ids(card.productId) +
                " shows its interfaces";
    }
    return f;
}

Finding VirtualFinding(const Environment& env, const std::string& path, int& usable) {
    Finding f{"card", Status::kProblem, {}, {}, path};
    const int error = env.openVirtual ? env.openVirtual(path) : 0;
    if (error == 0) {
        ++usable;
        f.status = Status::kOk;
        f.text = "The virtual card " + path + " answers (a virtual card counts as a card).";
    } else if (error == EBUSY && env.panel.running) {
        ++usable;
        f.status = Status::kOk;
        f.text = "The virtual card " + path +
                 " is in use by the running panel (a virtual card counts as a card): lw52ctl's "
                 "card commands go through it.";
    } else if (error == EBUSY) {
        f.text = "The virtual card " + path + " is busy: another program is connected to it.";
        f.fix = "close the program that uses it (another lw52ctl or panel)";
    } else if (error == ECONNREFUSED) {
        f.text = "The virtual card " + path +
                 " is left over: nothing serves it any more (its lw52-emulator has ended).";
        f.fix = "rm " + ShellQuoted(path) +
                ", or start the virtual card again: lw52-emulator --dir " +
                ShellQuoted(env.virtualDir);
    } else if (error == EACCES || error == EPERM) {
        f.text = "You may not connect to the virtual card " + path + ": " + strerror(error) + ".";
        f.fix = "start lw52-emulator as yourself, in a folder of your own (unset LW52_VHID_DIR)";
    } else {
        f.text = "The virtual card " + path + " does not answer: " + strerror(error) + ".";
        f.fix = "end its lw52-emulator and start it again";
    }
    return f;
}

int OpenNodeForReal(const std::string& node) {
    const int fd = open(node.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno;
    close(fd);
    return 0;
}

int ConnectVirtualForReal(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return ENAMETOOLONG;
    memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return errno;
    int error = 0;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
        // A full backlog: the card is not taking hosts now.
        error = errno == EAGAIN ? EBUSY : errno;
    } else {
        // A free card sends its report descriptor first; one that serves another program
        // closes the connection instead.
        pollfd pfd{fd, POLLIN, 0};
        int ready;
        do {
            ready = poll(&pfd, 1, kVirtualAnswerMs);
        } while (ready < 0 && errno == EINTR);
        if (ready == 0) {
            error = ETIMEDOUT;
        } else {
            char packet[4096];
            const ssize_t n = recv(fd, packet, sizeof packet, MSG_DONTWAIT);
            error = n > 0 ? 0 : (n == 0 || errno == ECONNRESET ? EBUSY : errno);
        }
        if (error == 0) {
            // Taken as its host: let go and wait until the card has dropped the connection,
            // so that a program right after this one finds it free, not busy with the probe.
            shutdown(fd, SHUT_WR);
            char rest[4096];
            while (poll(&pfd, 1, kVirtualAnswerMs) > 0 && recv(fd, rest, sizeof rest, 0) > 0) {
            }
        }
    }
    close(fd);
    return error;
}

// The source tree's rule beside a program built in it (BUILD/bin/PROGRAM).
std::string RuleInSourceTree() {
    const std::string exe = Canonical("/proc/self/exe");
    if (exe.empty()) return {};
    const fs::path rule =
        fs::path(exe).parent_path().parent_path().parent_path() / "packaging" / "udev" / kRuleName;
    return Exists(rule.string()) ? rule.string() : std::string();
}

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = getenv(name);
    return value && *value ? value : fallback;
}

}  // namespace

std::string ShellQuoted(const std::string& text) {
    const bool plain = !text.empty() && text.find_first_not_of(
                                            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                            "0123456789/._+:@%=,-") == std::string::npos;
    if (plain) return text;
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

const char* StatusName(Status status) {
    switch (status) {
        case Status::kOk:
            return "ok";
        case Status::kNote:
            return "note";
        case Status::kProblem:
            return "problem";
    }
    return "?";
}

Environment Environment::FromProcess() {
    Environment env;
    env.sysfsRoot = EnvOr("LW52_SYSFS_ROOT", env.sysfsRoot);
    env.devRoot = EnvOr("LW52_DEV_ROOT", env.devRoot);
    env.runRoot = EnvOr("LW52_RUN_ROOT", env.runRoot);
    if (const char* dirs = getenv("LW52_UDEV_RULES_DIRS"); dirs && *dirs) {
        env.ruleDirs.clear();
        std::string rest = dirs;
        for (size_t colon; !rest.empty();
             rest.erase(0, colon == std::string::npos ? rest.size() : colon + 1)) {
            colon = rest.find(':');
            if (colon != 0) env.ruleDirs.push_back(rest.substr(0, colon));
        }
    }
    env.virtualDir = vhid::VirtualDeviceDir();
    env.ruleSource = RuleInSourceTree();
    const passwd* pw = getpwuid(getuid());
    env.userName = pw && pw->pw_name ? pw->pw_name : std::to_string(getuid());
    env.openNode = OpenNodeForReal;
    env.openVirtual = ConnectVirtualForReal;
    return env;
}

bool DeviceReport::HasProblem() const {
    return std::any_of(findings.begin(), findings.end(),
                       [](const Finding& f) { return f.status == Status::kProblem; });
}

DeviceReport CheckDevices(const Environment& env) {
    DeviceReport report;
    const std::vector<UsbCard> usbCards = FindUsbCards(env);
    const std::vector<CardNode> nodes = FindCardNodes(env);
    int realCards = 0;
    // Each card on the USB bus with its nodes (a card may have several HID interfaces).
    for (const UsbCard& card : usbCards) {
        ++realCards;
        bool anyNode = false;
        for (const CardNode& node : nodes)
            if (!card.path.empty() && node.usbPath == card.path) {
                anyNode = true;
                report.findings.push_back(NodeFinding(env, node, card.name, report.usable));
            }
        if (!anyNode) report.findings.push_back(UsbWithoutNode(env, card));
    }
    // Nodes of cards with no USB device seen above them (made through /dev/uhid, or on a bus
    // whose devices sysfs does not list).
    for (const CardNode& node : nodes) {
        const bool onListedUsb = std::any_of(
            usbCards.begin(), usbCards.end(),
            [&](const UsbCard& c) { return !c.path.empty() && c.path == node.usbPath; });
        if (onListedUsb) continue;
        ++realCards;
        report.findings.push_back(NodeFinding(env, node, {}, report.usable));
    }
    int virtualCards = 0;
    if (!env.virtualDir.empty())
        for (const std::string& path : vhid::ListVirtualDevices(env.virtualDir)) {
            uint16_t vendorId = 0, productId = 0;
            if (!ParseVidPid(path, vendorId, productId) || !IsCard(vendorId, productId)) continue;
            ++virtualCards;
            report.findings.push_back(VirtualFinding(env, path, report.usable));
        }
    report.cards = realCards + virtualCards;
    if (report.cards == 0) {
        const std::string dir = env.virtualDir.empty() ? "(none looked for)" : env.virtualDir;
        report.findings.push_back(
            {"cards",
             Status::kProblem,
             "No LW52 card was found: none on the USB bus (no device 2b53:0061 or 2b53:007b), no "
             "hidraw node of one, and no virtual card in " +
                 dir + ".",
             "plug the card in (lsusb -d 2b53: lists it), or start a virtual card: "
             "lw52-emulator --dir " +
                 ShellQuoted(dir),
             {}});
    }

    Finding udev{"udev", Status::kOk, "udev is running.", {}, {}};
    if (!CHotplugWatcher::UdevRunning(env.runRoot)) {
        udev.status = realCards > 0 ? Status::kProblem : Status::kNote;
        udev.text = "udev is not running (no " + env.runRoot +
                    "/udev/control): cards plugged in are not noticed and their nodes get no "
                    "permissions for you; virtual cards work without it.";
        udev.fix = "sudo systemctl start systemd-udevd";
    }
    report.findings.push_back(udev);

    const RuleState rule = FindRule(env);
    Finding ruleFinding{
        "rule", Status::kOk, "The udev rule is installed: " + rule.path + ".", {}, {}};
    if (rule.path.empty()) {
        ruleFinding.status = Status::kNote;
        ruleFinding.text =
            "The udev rule 60-lw52.rules is not installed: only root can open a card on the USB "
            "bus.";
        ruleFinding.fix = InstallRuleFix(env);
    } else if (rule.masked) {
        ruleFinding.status = Status::kNote;
        ruleFinding.text = "The udev rule 60-lw52.rules is switched off by " + rule.path +
                           ": only root can open a card on the USB bus.";
        ruleFinding.fix = "sudo rm " + ShellQuoted(rule.path) + " && " + InstallRuleFix(env);
    }
    report.findings.push_back(ruleFinding);
    return report;
}

}  // namespace doctor
