// The card checks against a fake sysfs, /dev and udev tree, and the user folder check.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "ChildProcess.h"
#include "Doctor.h"
#include "DoctorFixtures.h"

namespace {

namespace fs = std::filesystem;
using doctor::Finding;
using doctor::Status;
using doctor_test::FakeSystem;
using doctor_test::WithoutDacOverride;
using doctor_test::Write;

const Finding* FindId(const std::vector<Finding>& findings, const std::string& id) {
    for (const Finding& f : findings)
        if (f.id == id) return &f;
    return nullptr;
}

std::string Dump(const std::vector<Finding>& findings) {
    std::string out;
    for (const Finding& f : findings)
        out += std::string(doctor::StatusName(f.status)) + " " + f.id + ": " + f.text +
               (f.fix.empty() ? "" : " FIX: " + f.fix) + "\n";
    return out;
}

TEST(DoctorTest, CardChecksTable) {
    struct Case {
        const char* name;
        std::function<void(FakeSystem&)> setUp;
        int cards, usable;
        const char* id;    // the finding that tells
        Status status;     // its status
        const char* text;  // part of its text
        const char* fix;   // part of its fix ("" : no fix)
        Status udevStatus;
    };
    const Case cases[] = {
        {"no card", [](FakeSystem&) {}, 0, 0, "cards", Status::kProblem, "No LW52 card was found",
         "lw52-emulator --dir", Status::kNote},
        {"another vendor's device",
         [](FakeSystem& s) {
             fs::create_directories(s.Sys() + "/module/usbhid");
             s.AddHid(s.AddHidInterface(s.AddUsb("1-2", "046d", "c52b"), "usbhid"),
                      "0003:046D:C52B.0003", 3);
         },
         0, 0, "cards", Status::kProblem, "none on the USB bus", "lsusb -d 2b53:", Status::kNote},
        {"working card", [](FakeSystem& s) { s.AddWorkingUsbCard(); }, 1, 1, "card", Status::kOk,
         "2b53:0061 at ", "", Status::kProblem},
        {"working 0x7B card, udev running",
         [](FakeSystem& s) {
             s.AddWorkingUsbCard("007b");
             s.StartUdev();
         },
         1, 1, "card", Status::kOk, "(USB 1-1) can be opened", "", Status::kOk},
        {"usbhid not loaded",
         [](FakeSystem& s) { s.AddHidInterface(s.AddUsb("1-1", "2b53", "0061"), ""); }, 1, 0, "usb",
         Status::kProblem, "the usbhid driver is not loaded", "sudo modprobe usbhid",
         Status::kProblem},
        {"usbhid loaded, interface not taken",
         [](FakeSystem& s) {
             fs::create_directories(s.Sys() + "/module/usbhid");
             s.AddHidInterface(s.AddUsb("1-1", "2b53", "0061"), "");
         },
         1, 0, "usb", Status::kProblem, "no driver has taken its HID interface 1-1:1.0",
         "echo 1-1:1.0 | sudo tee /sys/bus/usb/drivers/usbhid/bind", Status::kProblem},
        {"interface held through libusb",
         [](FakeSystem& s) {
             fs::create_directories(s.Sys() + "/module/usbhid");
             s.AddHidInterface(s.AddUsb("1-1", "2b53", "0061"), "usbfs");
         },
         1, 0, "usb", Status::kProblem, "held by the driver \"usbfs\"",
         "sudo tee /sys/bus/usb/drivers/usbfs/unbind", Status::kProblem},
        {"HID device without hidraw",
         [](FakeSystem& s) {
             fs::create_directories(s.Sys() + "/module/usbhid");
             s.AddHid(s.AddHidInterface(s.AddUsb("1-1", "2b53", "0061"), "usbhid"),
                      "0003:2B53:0061.0001", -1);
         },
         1, 0, "usb", Status::kProblem, "CONFIG_HIDRAW", "hidraw support", Status::kProblem},
        {"node without a device file",
         [](FakeSystem& s) {
             fs::create_directories(s.Sys() + "/module/usbhid");
             s.AddHid(s.AddHidInterface(s.AddUsb("1-1", "2b53", "0061"), "usbhid"),
                      "0003:2B53:0061.0001", 0, false);
         },
         1, 0, "card", Status::kProblem, "has no device file", "udevadm trigger", Status::kProblem},
        {"permission denied, no rule",
         [](FakeSystem& s) {
             s.AddWorkingUsbCard();
             s.StartUdev();
             s.openErrors[s.Node(0)] = EACCES;
         },
         1, 0, "card", Status::kProblem,
         "you (lw52) may not open it: Permission denied. The udev rule that gives the card to "
         "the user at the desktop (60-lw52.rules) is not installed.",
         "| sudo tee /etc/udev/rules.d/60-lw52.rules && sudo udevadm control --reload && sudo "
         "udevadm trigger, then unplug",
         Status::kOk},
        {"permission denied, rule installed but not applied",
         [](FakeSystem& s) {
             s.AddWorkingUsbCard();
             s.StartUdev();
             s.InstallRule();
             s.openErrors[s.Node(0)] = EACCES;
         },
         1, 0, "card", Status::kProblem, "udev has not applied it to this node",
         "sudo udevadm control --reload && sudo udevadm trigger", Status::kOk},
        {"permission denied, rule applied: not the seat's session",
         [](FakeSystem& s) {
             s.AddWorkingUsbCard();
             s.StartUdev();
             s.InstallRule();
             s.TagNode(0);
             s.openErrors[s.Node(0)] = EACCES;
         },
         1, 0, "card", Status::kProblem, "active local session", "sudo setfacl -m u:lw52:rw ",
         Status::kOk},
        {"permission denied, rule installed, udev not running",
         [](FakeSystem& s) {
             s.AddWorkingUsbCard();
             s.InstallRule();
             s.openErrors[s.Node(0)] = EACCES;
         },
         1, 0, "card", Status::kProblem, "udev is not running, so nothing applies it",
         "sudo systemctl start systemd-udevd", Status::kProblem},
        {"busy without a panel",
         [](FakeSystem& s) {
             s.AddWorkingUsbCard();
             s.openErrors[s.Node(0)] = EBUSY;
         },
         1, 0, "card", Status::kProblem, "another program has it open", "sudo fuser -v ",
         Status::kProblem},
        {"a card made through uhid (no USB device above it)",
         [](FakeSystem& s) {
             s.AddHid(s.Sys() + "/devices/virtual/misc/uhid", "0003:2B53:0061.0002", 2);
             s.StartUdev();
             s.openErrors[s.Node(2)] = EACCES;
         },
         1, 0, "card", Status::kProblem, "2b53:0061 at ", "60-lw52.rules", Status::kOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSystem system;
        c.setUp(system);
        const doctor::DeviceReport report = doctor::CheckDevices(system.Env());
        const std::string dump = Dump(report.findings);
        EXPECT_EQ(report.cards, c.cards) << dump;
        EXPECT_EQ(report.usable, c.usable) << dump;
        EXPECT_EQ(report.HasProblem(),
                  c.status == Status::kProblem || c.udevStatus == Status::kProblem)
            << dump;
        const Finding* f = FindId(report.findings, c.id);
        ASSERT_NE(f, nullptr) << dump;
        EXPECT_EQ(f->status, c.status) << dump;
        EXPECT_NE(f->text.find(c.text), std::string::npos) << dump;
        if (*c.fix)
            EXPECT_NE(f->fix.find(c.fix), std::string::npos) << dump;
        else
            EXPECT_EQ(f->fix, "") << dump;
        const Finding* udev = FindId(report.findings, "udev");
        ASSERT_NE(udev, nullptr);
        EXPECT_EQ(udev->status, c.udevStatus) << dump;
    }
}

TEST(DoctorTest, RuleFolderOrderAndMasking) {
    FakeSystem system;
    system.AddWorkingUsbCard();
    system.StartUdev();
    system.openErrors[system.Node(0)] = EACCES;
    doctor::Environment env = system.Env();
    const std::string etc = system.Root() + "/etc-rules", lib = system.Root() + "/lib-rules";
    fs::create_directories(etc);
    fs::create_directories(lib);
    env.ruleDirs = {etc, lib};
    Write(lib + "/60-lw52.rules", "TAG+=\"uaccess\"\n");
    {
        const auto findings = doctor::CheckDevices(env).findings;
        EXPECT_EQ(FindId(findings, "rule")->status, Status::kOk) << Dump(findings);
        EXPECT_NE(FindId(findings, "rule")->text.find(lib), std::string::npos);
    }
    // A link to /dev/null in the folder that comes first switches the packaged rule off.
    fs::create_symlink("/dev/null", etc + "/60-lw52.rules");
    const auto findings = doctor::CheckDevices(env).findings;
    const Finding* card = FindId(findings, "card");
    EXPECT_NE(card->text.find("switched off by " + etc), std::string::npos) << Dump(findings);
    EXPECT_EQ(card->fix.rfind("sudo rm " + etc + "/60-lw52.rules && ", 0), 0u) << card->fix;
    EXPECT_EQ(FindId(findings, "rule")->status, Status::kNote);
}

TEST(DoctorTest, RuleFromTheSourceTreeIsOffered) {
    FakeSystem system;
    system.AddWorkingUsbCard();
    system.openErrors[system.Node(0)] = EACCES;
    doctor::Environment env = system.Env();
    env.ruleSource = "/src/lw52 tree/packaging/udev/60-lw52.rules";
    const doctor::DeviceReport report = doctor::CheckDevices(env);
    const Finding* card = FindId(report.findings, "card");
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->fix.rfind("sudo install -m 644 '/src/lw52 tree/packaging/udev/60-lw52.rules' "
                              "/etc/udev/rules.d/ && sudo udevadm control --reload",
                              0),
              0u)
        << card->fix;
}

TEST(DoctorTest, VirtualCardsCountAsCards) {
    struct Case {
        int error;
        bool panel;
        Status status;
        const char* text;
        int usable;
    } cases[] = {
        {0, false, Status::kOk, "answers (a virtual card counts as a card)", 1},
        {EBUSY, true, Status::kOk, "in use by the running panel", 1},
        {EBUSY, false, Status::kProblem, "another program is connected to it", 0},
        {ECONNREFUSED, false, Status::kProblem, "is left over", 0},
        {ETIMEDOUT, false, Status::kProblem, "does not answer", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        FakeSystem system;
        doctor::Environment env = system.Env();
        fs::create_directories(env.virtualDir);
        // A socket file named as a card: the stand-in decides how it answers.
        const std::string path = env.virtualDir + "/hid#VID_2B53&PID_0061#emu0";
        const int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        close(fd);
        env.openVirtual = [&](const std::string& p) { return p == path ? c.error : ENOENT; };
        env.panel.running = c.panel;
        const doctor::DeviceReport report = doctor::CheckDevices(env);
        EXPECT_EQ(report.cards, 1);
        EXPECT_EQ(report.usable, c.usable);
        const Finding* card = FindId(report.findings, "card");
        ASSERT_NE(card, nullptr) << Dump(report.findings);
        EXPECT_EQ(card->status, c.status);
        EXPECT_NE(card->text.find(c.text), std::string::npos) << card->text;
        EXPECT_EQ(card->device, path);
        EXPECT_EQ(FindId(report.findings, "udev")->status, Status::kNote) << "no real card";
    }
}

// The real connect: a card that answers, and a socket its emulator left behind.
TEST(DoctorTest, VirtualCardProbe) {
    TempDir dir;
    setenv("LW52_VHID_DIR", dir.Path().c_str(), 1);
    doctor::Environment env = doctor::Environment::FromProcess();
    EXPECT_EQ(env.virtualDir, dir.Path());
    const std::string path = dir.Path() + "/hid#VID_2B53&PID_0061#emu0";
    {
        ChildProcess emulator;
        ASSERT_TRUE(emulator.Start(LW52_EMULATOR_PATH, {"--dir", dir.Path()}));
        ASSERT_NE(emulator.WaitForLine("listening on", 10000), "");
        EXPECT_EQ(env.openVirtual(path), 0);
        EXPECT_EQ(env.openVirtual(path), 0) << "the card takes the next host after the probe";
        emulator.Stop();
    }
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    unlink(path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(fd);
    EXPECT_EQ(env.openVirtual(path), ECONNREFUSED);
    unsetenv("LW52_VHID_DIR");
}

TEST(DoctorTest, EnvironmentRootsComeFromTheProcess) {
    setenv("LW52_SYSFS_ROOT", "/x/sys", 1);
    setenv("LW52_DEV_ROOT", "/x/dev", 1);
    setenv("LW52_RUN_ROOT", "/x/run", 1);
    setenv("LW52_UDEV_RULES_DIRS", "/a::/b", 1);
    const doctor::Environment env = doctor::Environment::FromProcess();
    EXPECT_EQ(env.sysfsRoot, "/x/sys");
    EXPECT_EQ(env.devRoot, "/x/dev");
    EXPECT_EQ(env.runRoot, "/x/run");
    EXPECT_EQ(env.ruleDirs, (std::vector<std::string>{"/a", "/b"}));
    for (const char* name :
         {"LW52_SYSFS_ROOT", "LW52_DEV_ROOT", "LW52_RUN_ROOT", "LW52_UDEV_RULES_DIRS"})
        unsetenv(name);
    const doctor::Environment real = doctor::Environment::FromProcess();
    EXPECT_EQ(real.sysfsRoot, "/sys");
    EXPECT_EQ(real.devRoot, "/dev");
    EXPECT_EQ(real.ruleDirs.front(), "/etc/udev/rules.d");
    EXPECT_FALSE(real.userName.empty());
}

TEST(DoctorTest, UserFolder) {
    TempDir dir;
    const std::string data = dir.Path() + "/data";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    Finding ok = doctor::CheckUserFolder();
    EXPECT_EQ(ok.status, Status::kOk) << ok.text;
    EXPECT_EQ(ok.device, data + "/QvLW52");
    EXPECT_EQ(fs::directory_iterator(data + "/QvLW52"), fs::directory_iterator())
        << "the probe file is gone";

    chmod((data + "/QvLW52").c_str(), 0500);
    {
        WithoutDacOverride notRoot;
        const Finding denied = doctor::CheckUserFolder();
        EXPECT_EQ(denied.status, Status::kProblem);
        EXPECT_NE(denied.text.find("cannot be written: Permission denied"), std::string::npos)
            << denied.text;
        EXPECT_EQ(denied.fix, "chmod u+rwx " + data + "/QvLW52");
    }
    chmod((data + "/QvLW52").c_str(), 0700);
    fs::remove_all(data);
    Write(data, "a file where the folder should be");
    const Finding blocked = doctor::CheckUserFolder();
    EXPECT_EQ(blocked.status, Status::kProblem);
    EXPECT_NE(blocked.text.find("cannot be made in " + data), std::string::npos) << blocked.text;
    unsetenv("XDG_DATA_HOME");
}

}  // namespace
