#pragma once

#include <functional>
#include <string>
#include <vector>

// Why the card, the sound server, the cloud service or the user's folder do not work, in plain
// words with the commands that fix it. lw52ctl doctor runs every check; the panel runs the
// device checks when a card is there that it cannot attach. No Qt here; nothing throws.
namespace doctor {

enum class Status { kOk, kNote, kProblem };
// "ok", "note", "problem"
const char* StatusName(Status status);
// text in single quotes for a shell command line.
std::string ShellQuoted(const std::string& text);

struct Finding {
    std::string id;  // "card", "cards", "usb", "udev", "rule", "panel", "sound", ...
    Status status = Status::kOk;
    std::string text;    // what was found, in plain words
    std::string fix;     // the commands that fix it; empty when nothing needs doing
    std::string device;  // the node, socket or USB device concerned, when there is one
};

// The running panel as lw52ctl sees it (the panel itself leaves this empty).
struct PanelState {
    bool running = false;
    bool attached = false;  // it answered info: it holds a card
    std::string detail;     // its answer when it holds none
};

// Where the checks look, and how a card's node is opened. Tests point the roots at a fake
// tree; FromProcess() gives the real places.
struct Environment {
    std::string sysfsRoot = "/sys";
    std::string devRoot = "/dev";
    std::string runRoot = "/run";  // udev's control socket and database
    // In udev's order of precedence: a file here hides one of the same name further down.
    std::vector<std::string> ruleDirs = {"/etc/udev/rules.d", "/run/udev/rules.d",
                                         "/usr/local/lib/udev/rules.d", "/usr/lib/udev/rules.d",
                                         "/lib/udev/rules.d"};
    std::string virtualDir;  // empty: no virtual cards are looked for
    std::string ruleSource;  // a 60-lw52.rules at hand to install (the source tree's); may be empty
    std::string userName;    // for the commands that name the user
    // Opens a hidraw node as the card is opened (read and write); 0, or the errno.
    std::function<int(const std::string& node)> openNode;
    // Connects to a virtual card's socket and waits briefly for its first packet; 0 when it
    // answers, EBUSY when it turns the connection away (another program holds it), or the
    // errno (ECONNREFUSED: nothing listens any more; ETIMEDOUT: no answer).
    std::function<int(const std::string& socket)> openVirtual;
    PanelState panel;

    // The real places, each overridable for tests: $LW52_SYSFS_ROOT, $LW52_DEV_ROOT,
    // $LW52_RUN_ROOT, $LW52_UDEV_RULES_DIRS (colon-separated); virtual cards where the
    // programs look for them; the real open calls.
    static Environment FromProcess();
};

// The card checks: cards on the USB bus and whether each has a hidraw node, each node of a
// card and whether this user can open it (with the udev rule and tags behind a refusal),
// virtual cards, udev itself and the rule. Quick file-system reads and opens: fine on a UI
// thread.
struct DeviceReport {
    std::vector<Finding> findings;
    int cards = 0;   // USB cards, nodes of cards not on USB, virtual cards
    int usable = 0;  // nodes and virtual cards this user can open now
    bool HasProblem() const;
};
DeviceReport CheckDevices(const Environment& env);

// The sound server (each request bounded by a second or two): whether it answers, and whether
// an output and an input named "LW52" are there for the pads and the recording.
std::vector<Finding> CheckSound();
// The cloud service as "cloud ping" asks it (bounded by the HTTP client's 7 s).
Finding CheckCloud();
// The user's folder ($XDG_DATA_HOME/QvLW52) and the settings file in it can be written.
Finding CheckUserFolder();

struct Options {
    bool devicesOnly = false;  // no sound server, cloud or folder checks
};
// Everything, in the order printed: the card checks, the panel, then the sound server and
// the cloud service (asked at the same time), then the folder.
std::vector<Finding> Diagnose(const Environment& env, const Options& options = {});

}  // namespace doctor
