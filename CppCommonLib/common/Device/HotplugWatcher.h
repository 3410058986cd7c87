#pragma once

#include <functional>
#include <string>
#include <vector>

struct udev;
struct udev_monitor;

// Called once per arrival (removed = false) or removal (removed = true). path is the device
// path as EnumDevices reports it: the devnode for hidraw ("/dev/hidraw3"), the full socket
// path for a virtual device ("<dir>/hid#VID_2B53&PID_0061#emu0").
using HotplugCallback = std::function<void(bool removed, const std::string& path)>;

// Watches for HID devices coming and going: a udev monitor for hidraw nodes and inotify on
// the virtual device folder. Both sources sit behind one pollable descriptor, so the owner
// can hang Fd() on any event loop (a socket notifier, poll()) and call Dispatch() when it
// becomes readable. Nothing is reported for devices already present at Start(): start the
// watcher before the first connection attempt so that no arrival falls between the two.
// Not thread-safe: one thread starts, dispatches and stops it.
class CHotplugWatcher {
  public:
    // virtualDir empty: vhid::VirtualDeviceDir() as it is at each Start(). The socket
    // paths reported are virtualDir + "/" + name, formed exactly as the enumeration forms
    // them, so reported paths compare equal to the builder's current path.
    explicit CHotplugWatcher(std::string virtualDir = {});
    ~CHotplugWatcher();
    CHotplugWatcher(const CHotplugWatcher&) = delete;
    CHotplugWatcher& operator=(const CHotplugWatcher&) = delete;

    // Sets up both sources (creating the virtual folder when missing). True when at least
    // one works; Reason() then names the one that does not (empty when both run). False
    // when neither can be set up, with Reason() saying why.
    bool Start();
    void Stop();
    bool WatchesHidraw() const { return m_monitor != nullptr; }
    bool WatchesVirtualDevices() const { return m_watch >= 0; }
    const std::string& Reason() const { return m_reason; }
    const std::string& VirtualDir() const { return m_virtualDir; }

    // Whether the udev daemon runs: its control socket is there (runRoot: normally /run).
    // Without it the "udev" multicast group stays silent and hidraw nodes get no permissions.
    static bool UdevRunning(const std::string& runRoot = "/run");

    // Readable whenever something is pending; -1 before Start().
    int Fd() const { return m_epollFd; }
    // Reads everything pending without blocking and reports what it leaves behind: each
    // path removed at least once as a removal, then each path that arrived and is present
    // now as an arrival. Returns how many were reported.
    int Dispatch(const HotplugCallback& callback);
    // Waits up to timeoutMs (negative: no limit) until at least one arrival or removal was
    // reported. False on timeout or when not started.
    bool WaitAndDispatch(int timeoutMs, const HotplugCallback& callback);

    struct Change {
        bool removed;
        std::string path;
    };
    // The batch as reported: removals first, arrivals only of devices present now.
    static std::vector<Change> Settle(const std::vector<Change>& changes);

  private:
    bool StartUdev(std::string& why);
    bool StartInotify(std::string& why);
    bool AddToEpoll(int fd, std::string& why);
    void ReadUdev(std::vector<Change>& changes);
    void ReadInotify(std::vector<Change>& changes);

    const std::string m_configuredDir;
    std::string m_virtualDir;  // the folder watched
    std::string m_reason;
    int m_epollFd = -1;
    int m_inotifyFd = -1;
    int m_watch = -1;
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
};
