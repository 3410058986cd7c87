#include "HotplugWatcher.h"

#include <libudev.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "Log.h"
#include "VirtualHid.h"

namespace {

constexpr uint32_t kArrivalMask = IN_CREATE | IN_MOVED_TO;
constexpr uint32_t kRemovalMask = IN_DELETE | IN_MOVED_FROM;

std::string ErrnoText(const std::string& what) {
    return what + ": " + strerror(errno);
}

// A device node or socket that is there now (another file of that name is no device).
bool DevicePresent(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && (S_ISSOCK(st.st_mode) || S_ISCHR(st.st_mode));
}

}  // namespace

CHotplugWatcher::CHotplugWatcher(std::string virtualDir) : m_configuredDir(std::move(virtualDir)) {}

CHotplugWatcher::~CHotplugWatcher() {
    Stop();
}

bool CHotplugWatcher::Start() {
    Stop();
    m_reason.clear();
    m_virtualDir = m_configuredDir.empty() ? vhid::VirtualDeviceDir() : m_configuredDir;
    m_epollFd = epoll_create1(EPOLL_CLOEXEC);
    if (m_epollFd < 0) {
        m_reason = ErrnoText("epoll_create1");
        return false;
    }
    std::string udevWhy, dirWhy;
    const bool udevOk = StartUdev(udevWhy);
    const bool dirOk = StartInotify(dirWhy);
    m_reason = udevWhy;
    if (!dirWhy.empty()) m_reason += (m_reason.empty() ? "" : "; ") + dirWhy;
    if (!udevOk && !dirOk) {
        Stop();
        QV_LOG("no device arrival or removal can be watched: %s", m_reason.c_str());
        return false;
    }
    if (!m_reason.empty()) QV_LOG("%s", m_reason.c_str());
    return true;
}

void CHotplugWatcher::Stop() {
    if (m_monitor) udev_monitor_unref(m_monitor);
    if (m_udev) udev_unref(m_udev);
    m_monitor = nullptr;
    m_udev = nullptr;
    if (m_inotifyFd >= 0) close(m_inotifyFd);  // drops the watch with it
    m_inotifyFd = -1;
    m_watch = -1;
    if (m_epollFd >= 0) close(m_epollFd);
    m_epollFd = -1;
}

bool CHotplugWatcher::AddToEpoll(int fd, std::string& why) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    if (epoll_ctl(m_epollFd, EPOLL_CTL_ADD, fd, &event) == 0) return true;
    why = ErrnoText("epoll_ctl");
    return false;
}

bool CHotplugWatcher::UdevRunning(const std::string& runRoot) {
    return access((runRoot + "/udev/control").c_str(), F_OK) == 0;
}

bool CHotplugWatcher::StartUdev(std::string& why) {
    // Without a running udev daemon the "udev" multicast group stays silent (libudev even
    // disables such a monitor), and hidraw nodes would not get their permissions anyway.
    if (!UdevRunning()) {
        why = "udev is not running: hidraw devices are not watched";
        return false;
    }
    m_udev = udev_new();
    if (m_udev) m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    // udev announces "add" only after its rules ran, so the node exists and is usable then.
    if (!m_monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_monitor) < 0) {
        why = ErrnoText("cannot set up the udev monitor");
    } else if (AddToEpoll(udev_monitor_get_fd(m_monitor), why)) {
        return true;
    }
    if (m_monitor) udev_monitor_unref(m_monitor);
    if (m_udev) udev_unref(m_udev);
    m_monitor = nullptr;
    m_udev = nullptr;
    why += ": hidraw devices are not watched";
    return false;
}

bool CHotplugWatcher::StartInotify(std::string& why) {
    if (!vhid::EnsureVirtualDeviceDir(m_virtualDir)) {
        why = ErrnoText("cannot create " + m_virtualDir) + ": virtual devices are not watched";
        return false;
    }
    m_inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotifyFd >= 0) {
        m_watch = inotify_add_watch(m_inotifyFd, m_virtualDir.c_str(),
                                    kArrivalMask | kRemovalMask | IN_ONLYDIR);
        if (m_watch < 0)
            why = ErrnoText("cannot watch " + m_virtualDir);
        else if (AddToEpoll(m_inotifyFd, why))
            return true;
    } else {
        why = ErrnoText("inotify_init1");
    }
    if (m_inotifyFd >= 0) close(m_inotifyFd);
    m_inotifyFd = -1;
    m_watch = -1;
    why += ": virtual devices are not watched";
    return false;
}

void CHotplugWatcher::ReadUdev(std::vector<Change>& changes) {
    if (!m_monitor) return;
    // The monitor's socket is non-blocking: null means nothing is left.
    while (udev_device* device = udev_monitor_receive_device(m_monitor)) {
        const char* action = udev_device_get_action(device);
        const char* node = udev_device_get_devnode(device);  // still known on "remove"
        if (action && node) {
            if (strcmp(action, "add") == 0)
                changes.push_back({false, node});
            else if (strcmp(action, "remove") == 0)
                changes.push_back({true, node});
        }
        udev_device_unref(device);
    }
}

void CHotplugWatcher::ReadInotify(std::vector<Change>& changes) {
    if (m_inotifyFd < 0) return;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = read(m_inotifyFd, buffer, sizeof buffer);
        if (got <= 0) {
            if (got < 0 && errno == EINTR) continue;
            return;  // EAGAIN: drained
        }
        for (ssize_t offset = 0; offset < got;) {
            inotify_event event;
            memcpy(&event, buffer + offset, sizeof event);
            const char* name = buffer + offset + sizeof event;
            offset += static_cast<ssize_t>(sizeof event + event.len);
            if (event.mask & IN_Q_OVERFLOW) QV_LOG("inotify queue overflow: changes were lost");
            if (event.mask & IN_IGNORED) {
                QV_LOG("%s is gone: virtual devices are no longer watched", m_virtualDir.c_str());
                m_watch = -1;
            }
            if (event.len == 0 || (event.mask & IN_ISDIR)) continue;
            const std::string entry(name);  // NUL-padded to event.len
            if (entry.rfind("hid#", 0) != 0) continue;
            const std::string path = m_virtualDir + "/" + entry;
            if (event.mask & kRemovalMask) {
                changes.push_back({true, path});
            } else if ((event.mask & kArrivalMask) && vhid::IsSocketPath(path)) {
                // A file of another kind is no device; a socket already gone again is
                // followed by its removal event.
                changes.push_back({false, path});
            }
        }
    }
}

std::vector<CHotplugWatcher::Change> CHotplugWatcher::Settle(const std::vector<Change>& changes) {
    // Per path, in the order paths first appear: was it removed, did it arrive.
    struct Seen {
        std::string path;
        bool removed = false;
        bool arrived = false;
    };
    std::vector<Seen> paths;
    for (const Change& change : changes) {
        auto it = std::find_if(paths.begin(), paths.end(),
                               [&](const Seen& s) { return s.path == change.path; });
        if (it == paths.end()) it = paths.insert(paths.end(), Seen{change.path});
        (change.removed ? it->removed : it->arrived) = true;
    }
    std::vector<Change> settled;
    for (const Seen& s : paths)
        if (s.removed) settled.push_back({true, s.path});
    for (const Seen& s : paths)
        if (s.arrived && DevicePresent(s.path)) settled.push_back({false, s.path});
    return settled;
}

int CHotplugWatcher::Dispatch(const HotplugCallback& callback) {
    // Collect first: the callback may take long (opening a card) or stop the watcher.
    std::vector<Change> changes;
    ReadUdev(changes);
    ReadInotify(changes);
    // The two sources are read one after the other, and a quick replug puts a removal and
    // an arrival of the same path into one batch: only what the batch leaves behind is
    // reported, removals first, so a card that left is let go before one that is there
    // now is taken, whatever order the sources delivered them in.
    changes = Settle(changes);
    if (callback)
        for (const Change& change : changes) callback(change.removed, change.path);
    return static_cast<int>(changes.size());
}

bool CHotplugWatcher::WaitAndDispatch(int timeoutMs, const HotplugCallback& callback) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_epollFd >= 0) {
        int waitMs = -1;
        if (timeoutMs >= 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            waitMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
        epoll_event event;
        const int ready = epoll_wait(m_epollFd, &event, 1, waitMs);
        if (ready < 0 && errno != EINTR) return false;
        // Readable may still mean nothing to report (another file changed): wait on.
        if (ready > 0 && Dispatch(callback) > 0) return true;
        if (ready == 0 && waitMs == 0) return false;
    }
    return false;
}
