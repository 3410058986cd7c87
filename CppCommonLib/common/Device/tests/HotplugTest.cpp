// The hot-plug watcher on the virtual device folder, and the whole pull-and-replug cycle
// from the folder through the watcher into the session.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>

#include "DeviceSession.h"
#include "HotplugWatcher.h"
#include "VirtualCardBench.h"

namespace {

struct Change {
    bool removed;
    std::string path;
    bool operator==(const Change&) const = default;
};

void PrintTo(const Change& c, std::ostream* os) {
    *os << (c.removed ? "removed " : "arrived ") << c.path;
}

// Dispatches into callback until pred holds (bounded).
bool DispatchUntil(CHotplugWatcher& watcher, const HotplugCallback& callback,
                   const std::function<bool()>& pred, int timeoutMs = 5000) {
    const uint64_t deadline = GetTickCountMs() + static_cast<uint64_t>(timeoutMs);
    while (!pred()) {
        const uint64_t now = GetTickCountMs();
        if (now >= deadline) return false;
        watcher.WaitAndDispatch(static_cast<int>(deadline - now), callback);
    }
    return true;
}

// The next count changes (fewer when they do not come in time).
std::vector<Change> Collect(CHotplugWatcher& watcher, size_t count) {
    std::vector<Change> seen;
    DispatchUntil(
        watcher,
        [&](bool removed, const std::string& path) {
            seen.push_back({removed, path});
        },
        [&] { return seen.size() >= count; });
    return seen;
}

bool Readable(int fd, int timeoutMs) {
    pollfd pfd{fd, POLLIN, 0};
    return poll(&pfd, 1, timeoutMs) == 1;
}

TEST(HotplugWatcherTest, ReportsVirtualCardsComingAndGoing) {
    TempDir dir;
    const std::string folder = dir.Path() + "/vhid";  // missing: the watcher creates it
    CHotplugWatcher watcher(folder);
    ASSERT_TRUE(watcher.Start()) << watcher.Reason();
    ASSERT_TRUE(watcher.WatchesVirtualDevices()) << watcher.Reason();
    ASSERT_EQ(watcher.VirtualDir(), folder);

    // Bound straight under its name: IN_CREATE. The descriptor serves any event loop.
    const std::string raw = folder + "/hid#VID_2B53&PID_0061#raw";
    BoundSocket rawSocket(raw, true);
    ASSERT_TRUE(rawSocket.Ok());
    ASSERT_TRUE(Readable(watcher.Fd(), 5000));
    std::vector<Change> seen;
    EXPECT_EQ(watcher.Dispatch([&](bool r, const std::string& p) { seen.push_back({r, p}); }), 1);
    EXPECT_EQ(seen, (std::vector<Change>{{false, raw}}));
    EXPECT_FALSE(Readable(watcher.Fd(), 0)) << "everything pending was read";

    // The emulator binds a hidden name and renames it into place: IN_MOVED_TO.
    lw52::emu::CEmulatorServer card;
    ASSERT_TRUE(card.Start(folder, "emu"));
    const std::string emu = card.SocketPath();
    EXPECT_EQ(Collect(watcher, 1), (std::vector<Change>{{false, emu}}));

    ASSERT_TRUE(card.Unplug());
    ASSERT_TRUE(card.Plug());
    // Moved out of the folder under a hidden name: IN_MOVED_FROM.
    ASSERT_EQ(rename(raw.c_str(), (folder + "/.parked").c_str()), 0);
    // However the three fall into batches, each removal comes before the re-arrival.
    const std::vector<Change> seen3 = Collect(watcher, 3);
    ASSERT_EQ(seen3.size(), 3u);
    const auto at = [&](const Change& c) {
        return std::find(seen3.begin(), seen3.end(), c) - seen3.begin();
    };
    EXPECT_LT(at({true, emu}), at({false, emu}));
    EXPECT_LT(at({true, raw}), 3);
}

TEST(HotplugWatcherTest, ABatchSettlesToWhatItLeavesBehind) {
    TempDir dir;
    const std::string here = dir.Path() + "/hid#VID_2B53&PID_0061#here";
    const std::string gone = dir.Path() + "/hid#VID_2B53&PID_0061#gone";
    const std::string other = dir.Path() + "/hid#VID_2B53&PID_007B#other";
    BoundSocket hereSocket(here, true), otherSocket(other, true);
    ASSERT_TRUE(hereSocket.Ok() && otherSocket.Ok());
    using C = CHotplugWatcher::Change;
    const struct {
        const char* name;
        std::vector<C> batch;
        std::vector<C> settled;
    } cases[] = {
        {"replugged", {{true, here}, {false, here}}, {{true, here}, {false, here}}},
        {"replugged many times",
         {{true, here}, {false, here}, {true, here}, {false, here}},
         {{true, here}, {false, here}}},
        {"came and went", {{false, gone}, {true, gone}}, {{true, gone}}},
        {"went, came, went", {{true, gone}, {false, gone}, {true, gone}}, {{true, gone}}},
        {"arrival whose device is gone again", {{false, gone}}, {}},
        {"arrival read before a removal of another source",
         {{false, other}, {true, here}},
         {{true, here}, {false, other}}},
        {"arrivals keep their order",
         {{false, other}, {false, here}},
         {{false, other}, {false, here}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<C> settled = CHotplugWatcher::Settle(c.batch);
        ASSERT_EQ(settled.size(), c.settled.size());
        for (size_t i = 0; i < settled.size(); ++i) {
            EXPECT_EQ(settled[i].removed, c.settled[i].removed) << i;
            EXPECT_EQ(settled[i].path, c.settled[i].path) << i;
        }
    }
}

TEST(HotplugWatcherTest, IgnoresWhatIsNoDevice) {
    TempDir dir;
    CHotplugWatcher watcher(dir.Path());
    ASSERT_TRUE(watcher.Start()) << watcher.Reason();
    const std::string base = dir.Path() + "/";

    std::ofstream(base + "notes.txt") << "x";
    std::ofstream(base + "hid#VID_2B53&PID_0061#file") << "not a socket";
    ASSERT_EQ(mkdir((base + "hid#VID_2B53&PID_0061#dir").c_str(), 0700), 0);
    BoundSocket hidden(base + ".lw52-hidden", true);
    ASSERT_TRUE(hidden.Ok());
    ASSERT_EQ(rename((base + ".lw52-hidden").c_str(), (base + "other-sock").c_str()), 0);
    ASSERT_EQ(unlink((base + "notes.txt").c_str()), 0);
    ASSERT_EQ(rmdir((base + "hid#VID_2B53&PID_0061#dir").c_str()), 0);

    // Changes come in order: the first one reported must be this card.
    const std::string sentinel = base + "hid#VID_2B53&PID_007B#sentinel";
    BoundSocket card(sentinel, true);
    ASSERT_TRUE(card.Ok());
    EXPECT_EQ(Collect(watcher, 1), (std::vector<Change>{{false, sentinel}}));
    EXPECT_EQ(watcher.Dispatch({}), 0);
}

TEST(HotplugWatcherTest, StartSaysWhichSourceIsMissing) {
    TempDir dir;
    std::ofstream(dir.Path() + "/file") << "x";
    CHotplugWatcher watcher(dir.Path() + "/file/vhid");  // cannot be created
    const bool started = watcher.Start();
    EXPECT_FALSE(watcher.WatchesVirtualDevices());
    EXPECT_NE(watcher.Reason().find("virtual devices are not watched"), std::string::npos)
        << watcher.Reason();
    // Without udev (as in containers) nothing is left to watch.
    EXPECT_EQ(started, watcher.WatchesHidraw()) << watcher.Reason();
    if (!started) {
        EXPECT_EQ(watcher.Fd(), -1);
        EXPECT_FALSE(watcher.WaitAndDispatch(0, {}));
    }
}

TEST(HotplugCycleTest, PullAndReplugThroughTheWatcher) {
    VirtualCardBench bench;
    CHotplugWatcher watcher;  // the default folder, as the program uses it
    ASSERT_TRUE(watcher.Start()) << watcher.Reason();
    ASSERT_EQ(watcher.VirtualDir(), bench.Dir());

    CDeviceSession session;
    ASSERT_TRUE(session.Init());
    std::vector<bool> notified;
    std::vector<bool> queriedInHook;
    session.onWorkspaceNotify = [&](bool removed) {
        notified.push_back(removed);
        // What the workspace does on an arrival: talk to the card at once.
        uint8_t reply[64];
        if (!removed) queriedInHook.push_back(session.Protocol().QueryDeviceInfo(reply));
    };
    int startups = 0;
    session.onStartupConnected = [&] { ++startups; };

    lw52::emu::CEmulatorServer* card = bench.AddCard("cycle");
    ASSERT_NE(card, nullptr);
    ASSERT_TRUE(session.ConnectAtStartup()) << session.LastError();
    EXPECT_EQ(startups, 1);
    const auto pnp = [&](bool removed, const std::string& path) {
        session.OnDevicePnp(removed, path);
    };
    // Started before the first connection, the watcher also saw the card arrive; connected
    // by then, the session ignores it.
    ASSERT_TRUE(watcher.WaitAndDispatch(5000, pnp));
    EXPECT_TRUE(notified.empty());

    ASSERT_TRUE(card->Unplug());
    ASSERT_TRUE(DispatchUntil(watcher, pnp, [&] { return !notified.empty(); }));
    EXPECT_EQ(notified, std::vector<bool>{true});
    EXPECT_FALSE(session.IsConnected());

    ASSERT_TRUE(card->Plug());
    ASSERT_TRUE(DispatchUntil(watcher, pnp, [&] { return notified.size() == 2; }));
    EXPECT_EQ(notified, (std::vector<bool>{true, false}));
    EXPECT_EQ(queriedInHook, std::vector<bool>{true});
    EXPECT_TRUE(session.IsConnected());
    EXPECT_EQ(session.Builder().CurrentPath(), card->SocketPath());
    uint8_t reply[64];
    EXPECT_TRUE(session.Protocol().QueryDeviceInfo(reply));
    EXPECT_EQ(reply[0], lw52::ReplyCode(lw52::CMD_GET_DEVICE_INFO));
    EXPECT_EQ(card->Connections(), 2);
}

// A loose cable: quick pulls and replugs in every rhythm, the watcher and the session
// reacting as the program does. Whatever the events' batching, the card ends attached.
TEST(HotplugCycleTest, QuickReplugsEndAttachedToTheCard) {
    VirtualCardBench bench;
    CHotplugWatcher watcher;
    ASSERT_TRUE(watcher.Start()) << watcher.Reason();
    lw52::emu::CEmulatorServer* card = bench.AddCard("loose");
    ASSERT_NE(card, nullptr);
    CDeviceSession session;
    ASSERT_TRUE(session.Init());
    session.onWorkspaceNotify = [&](bool removed) {
        uint8_t reply[64];
        if (!removed) session.Protocol().QueryDeviceInfo(reply);  // as the workspace does
    };
    ASSERT_TRUE(session.ConnectAtStartup()) << session.LastError();
    const auto pnp = [&](bool removed, const std::string& path) {
        session.OnDevicePnp(removed, path);
    };
    for (const int pauseMs : {0, 1, 20, 50}) {
        SCOPED_TRACE(pauseMs);
        for (int i = 0; i < 10; ++i) {
            ASSERT_TRUE(card->Unplug());
            SleepMs(static_cast<uint32_t>(pauseMs));
            ASSERT_TRUE(card->Plug());
            // Sometimes the program reacts between cycles, sometimes it lags behind.
            if (i % 3 == 0) watcher.Dispatch(pnp);
        }
        // Every event handled, and none left over for a while.
        while (watcher.WaitAndDispatch(300, pnp)) {
        }
        EXPECT_TRUE(session.IsConnected()) << session.LastError();
        EXPECT_EQ(session.Builder().CurrentPath(), card->SocketPath());
        EXPECT_TRUE(card->HasClient());
        uint8_t reply[64];
        EXPECT_TRUE(session.Protocol().QueryDeviceInfo(reply));
    }
}

}  // namespace
