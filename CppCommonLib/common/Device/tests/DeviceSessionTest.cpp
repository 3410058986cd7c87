// Which card the session attaches: the start-up choice and the reaction to arrivals and
// removals, against real virtual cards.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <future>
#include <optional>

#include "CardLinkFixture.h"
#include "DeviceManager.h"
#include "DeviceSession.h"
#include "VirtualCardBench.h"

namespace {

using lw52::emu::CEmulatorServer;

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// A session whose workspace hook records what it was told.
struct RecordingSession {
    RecordingSession() {
        EXPECT_TRUE(session.Init());
        session.onWorkspaceNotify = [this](bool removed) { notified.push_back(removed); };
        session.onStartupConnected = [this] { ++startups; };
    }
    bool AttachedTo(const CEmulatorServer& card) {
        return session.IsConnected() && session.Builder().CurrentPath() == card.SocketPath();
    }
    bool Query() {
        uint8_t reply[64];
        return session.Protocol().QueryDeviceInfo(reply);
    }

    CDeviceSession session;
    std::vector<bool> notified;
    int startups = 0;
};

TEST(DeviceSessionTest, StartupPrefersProduct61) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, uint16_t>> cards;  // instance, product
        bool staleFirst61;     // a 0x61 socket that refuses connections, sorted first
        const char* expected;  // instance attached, null for none
    } cases[] = {
        {"only 61", {{"a", 0x61}}, false, "a"},
        {"only 7B", {{"a", 0x7B}}, false, "a"},
        {"61 over 7B", {{"a", 0x7B}, {"b", 0x61}}, false, "b"},
        {"first of two 61", {{"b", 0x61}, {"c", 0x61}}, false, "b"},
        {"61 fails, 7B not tried", {{"b", 0x7B}}, true, nullptr},
        {"no card", {}, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualCardBench bench;
        std::vector<CEmulatorServer*> cards;
        for (const auto& [instance, product] : c.cards) {
            cards.push_back(bench.AddCard(instance, product));
            ASSERT_NE(cards.back(), nullptr);
        }
        std::optional<BoundSocket> stale;
        if (c.staleFirst61) {
            stale.emplace(bench.Dir() + "/hid#VID_2B53&PID_0061#a", false);
            ASSERT_TRUE(stale->Ok());
        }
        RecordingSession s;
        ASSERT_EQ(s.session.ConnectAtStartup(), c.expected != nullptr) << s.session.LastError();
        EXPECT_EQ(s.startups, c.expected ? 1 : 0);
        EXPECT_TRUE(s.notified.empty()) << "start-up announces no device change";
        EXPECT_EQ(s.session.LastError().empty(), c.expected != nullptr);
        for (size_t i = 0; i < cards.size(); ++i) {
            const bool chosen = c.expected && c.cards[i].first == c.expected;
            EXPECT_EQ(s.AttachedTo(*cards[i]), chosen) << c.cards[i].first;
            EXPECT_EQ(cards[i]->Connections(), chosen ? 1 : 0) << c.cards[i].first;
        }
        if (c.expected) {
            EXPECT_TRUE(s.Query());
        }
    }
}

TEST(DeviceSessionTest, ArrivalsWhileNoCardIsAttached) {
    VirtualCardBench bench;
    CEmulatorServer* card61 = bench.AddCard("a61");
    CEmulatorServer* card7B = bench.AddCard("b7b", 0x7B);
    CEmulatorServer* card62 = bench.AddCard("c62", 0x62);
    ASSERT_TRUE(card61 && card7B && card62);
    struct Case {
        std::string path;
        bool attached;
        bool notified;
    } cases[] = {
        {card61->SocketPath(), true, true},
        {card7B->SocketPath(), true, true},
        // Recognised (the ids are read case-blind) but no such file: notified all the same.
        {Lower(card61->SocketPath()), false, true},
        {card62->SocketPath(), false, false},
        {bench.Dir() + "/hid#VID_046D&PID_0061#mouse", false, false},
        {bench.Dir() + "/hid#VID_2B5G&PID_0061#bad", false, false},
        {"/dev/hidraw-none", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        RecordingSession s;
        s.session.OnDevicePnp(false, c.path);
        EXPECT_EQ(s.session.IsConnected(), c.attached);
        EXPECT_EQ(s.notified, c.notified ? std::vector<bool>{false} : std::vector<bool>{});
        if (c.attached) {
            EXPECT_EQ(s.session.Builder().CurrentPath(), c.path);
            EXPECT_TRUE(s.Query());
        } else if (c.notified) {
            EXPECT_FALSE(s.session.LastError().empty());
        }
    }
    // The card is let go when the session ends, ready for the next one.
    EXPECT_TRUE(WaitUntil([&] { return !card61->HasClient() && !card7B->HasClient(); }));
    EXPECT_EQ(card62->Connections(), 0);
}

TEST(DeviceSessionTest, RemovalsWhileACardIsAttached) {
    VirtualCardBench bench;
    CEmulatorServer* card = bench.AddCard("attached");
    CEmulatorServer* other = bench.AddCard("other");
    ASSERT_TRUE(card && other);
    struct Case {
        std::string path;
        bool pulled;  // the card really went before the removal was heard of
        bool detached;
    } cases[] = {
        {card->SocketPath(), true, true},
        {Lower(card->SocketPath()), true, true},
        // A removal of the card's name while its connection is live: an earlier device of
        // that name (names are reused after a quick replug).
        {card->SocketPath(), false, false},
        {other->SocketPath(), false, false},
        {"/dev/hidraw7", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + (c.pulled ? " (pulled)" : ""));
        // The previous session's connection must be gone before the card takes a new one.
        ASSERT_TRUE(WaitUntil([&] { return !card->HasClient(); }));
        if (!card->IsPlugged()) {
            ASSERT_TRUE(card->Plug());
        }
        RecordingSession s;
        s.session.OnDevicePnp(false, card->SocketPath());
        ASSERT_TRUE(s.AttachedTo(*card)) << s.session.LastError();
        if (c.pulled) {
            ASSERT_TRUE(card->Unplug());
        }
        const uint64_t start = GetTickCountMs();
        s.session.OnDevicePnp(true, c.path);
        EXPECT_EQ(s.session.IsConnected(), !c.detached);
        EXPECT_EQ(s.notified,
                  c.detached ? (std::vector<bool>{false, true}) : std::vector<bool>{false});
        if (c.detached) {
            EXPECT_GE(GetTickCountMs() - start, CDeviceSession::kDetachPauseMs);
            EXPECT_TRUE(WaitUntil([&] { return !card->HasClient(); })) << "the card is let go";
        } else {
            EXPECT_TRUE(s.Query());
        }
    }
}

TEST(DeviceSessionTest, OneCardAtATime) {
    VirtualCardBench bench;
    CEmulatorServer* first = bench.AddCard("first");
    ASSERT_NE(first, nullptr);
    RecordingSession s;
    s.session.OnDevicePnp(false, first->SocketPath());
    ASSERT_TRUE(s.AttachedTo(*first));

    CEmulatorServer* second = bench.AddCard("second", 0x7B);
    ASSERT_NE(second, nullptr);
    s.session.OnDevicePnp(false, second->SocketPath());
    EXPECT_TRUE(s.AttachedTo(*first)) << "an arrival while attached is ignored";
    EXPECT_EQ(second->Connections(), 0);

    ASSERT_TRUE(first->Unplug());
    s.session.OnDevicePnp(true, first->SocketPath());
    EXPECT_FALSE(s.session.IsConnected()) << "the second card is not taken over";
    EXPECT_EQ(second->Connections(), 0);

    // Only its own new arrival attaches the second card.
    ASSERT_TRUE(second->Unplug());
    s.session.OnDevicePnp(true, second->SocketPath());
    ASSERT_TRUE(second->Plug());
    s.session.OnDevicePnp(false, second->SocketPath());
    EXPECT_TRUE(s.AttachedTo(*second));
    EXPECT_TRUE(s.Query());
    EXPECT_EQ(s.notified, (std::vector<bool>{false, true, false}));
}

// The card was pulled and is back, but its removal was not seen (yet): the arrival must
// not be ignored as "already attached".
TEST(DeviceSessionTest, AnArrivalLetsGoOfACardWhoseConnectionEnded) {
    VirtualCardBench bench;
    CEmulatorServer* card = bench.AddCard("replugged");
    CEmulatorServer* second = bench.AddCard("second", 0x7B);
    ASSERT_TRUE(card && second);
    for (const bool sameCard : {true, false}) {
        SCOPED_TRACE(sameCard ? "the same card replugged" : "another card arrives");
        ASSERT_TRUE(WaitUntil([&] { return !card->HasClient() && !second->HasClient(); }));
        RecordingSession s;
        s.session.OnDevicePnp(false, card->SocketPath());
        ASSERT_TRUE(s.AttachedTo(*card)) << s.session.LastError();
        ASSERT_TRUE(card->Unplug());
        if (sameCard) {
            ASSERT_TRUE(card->Plug());
        }
        EXPECT_FALSE(s.session.IsConnected()) << "a connection that ended is no connection";

        CEmulatorServer* arriving = sameCard ? card : second;
        s.session.OnDevicePnp(false, arriving->SocketPath());
        EXPECT_TRUE(s.AttachedTo(*arriving)) << s.session.LastError();
        EXPECT_TRUE(s.Query());
        EXPECT_EQ(s.notified, (std::vector<bool>{false, true, false}));
        // The late removal of the old connection leaves the new one alone only when it
        // names another path; for the same path it is a real pull and is handled as one.
        if (!sameCard) {
            s.session.OnDevicePnp(true, card->SocketPath());
            EXPECT_TRUE(s.AttachedTo(*second));
            ASSERT_TRUE(card->Plug());
        }
    }
}

// The card's connection ends and no removal is ever reported (a reset, or the watcher missed
// it): the receive thread's notice alone lets the card go as its removal would, and the next
// arrival is taken. A notice that comes after a removal or an arrival dealt with the card changes
// nothing.
TEST(DeviceSessionTest, AHangUpWithoutARemovalLetsTheCardGo) {
    VirtualCardBench bench;
    CEmulatorServer* card = bench.AddCard("vanishing");
    ASSERT_NE(card, nullptr);
    LogCapture log;
    RecordingSession s;
    std::atomic<int> wakes{0};
    s.session.SetCardGoneWake([&] { ++wakes; });
    enum class Then { kNothing, kRemoval, kArrival };
    for (const Then then : {Then::kNothing, Then::kRemoval, Then::kArrival}) {
        SCOPED_TRACE(static_cast<int>(then));
        if (!card->IsPlugged()) {
            ASSERT_TRUE(card->Plug());
        }
        s.notified.clear();
        wakes = 0;
        s.session.OnDevicePnp(false, card->SocketPath());
        ASSERT_TRUE(s.AttachedTo(*card)) << s.session.LastError();
        EXPECT_FALSE(s.session.OnCardGone()) << "nothing happened yet";

        // A request waiting for a slow reply fails as the card goes, not after its attempts.
        const auto infoRequests = [&] {
            const auto counters = card->Model().Counters();
            const auto it = counters.byCommand.find(lw52::CMD_GET_DEVICE_INFO);
            return it == counters.byCommand.end() ? uint64_t{0} : it->second;
        };
        const uint64_t before = infoRequests();
        card->Model().SetReplyDelay(5000);
        uint8_t request[64] = {lw52::CMD_GET_DEVICE_INFO};
        uint8_t reply[64];
        auto pending = std::async(std::launch::async, [&] {
            return s.session.Manager()->SendAndReceive(request, reply, 3, 2000);
        });
        ASSERT_TRUE(WaitUntil([&] { return infoRequests() > before; }));
        // Nothing else: a hang-up, the device stays. Else it is pulled out, but no watcher
        // reports that here.
        const uint64_t pulled = GetTickCountMs();
        ASSERT_TRUE(then == Then::kNothing ? card->HangUp() : card->Unplug());
        EXPECT_FALSE(pending.get());
        EXPECT_LT(GetTickCountMs() - pulled, 1500u);
        card->Model().SetReplyDelay(0);
        ASSERT_TRUE(WaitUntil([&] { return wakes == 1; })) << "the receive thread tells";
        EXPECT_NE(s.session.Manager()->GetDevice(), nullptr) << "let go on the owner's thread";

        if (then == Then::kRemoval) s.session.OnDevicePnp(true, card->SocketPath());
        if (then == Then::kArrival) {
            ASSERT_TRUE(card->Plug());
            s.session.OnDevicePnp(false, card->SocketPath());
        }
        EXPECT_EQ(s.session.OnCardGone(), then == Then::kNothing);
        EXPECT_FALSE(s.session.OnCardGone()) << "one notice, one let-go";
        EXPECT_EQ(s.notified, then == Then::kArrival ? (std::vector<bool>{false, true, false})
                                                     : (std::vector<bool>{false, true}));
        EXPECT_EQ(wakes, 1);
        if (then == Then::kArrival) {
            EXPECT_TRUE(s.AttachedTo(*card)) << "the new connection stays";
            EXPECT_TRUE(s.Query());
        } else {
            // Let go for good; the next round's arrival takes the card again.
            EXPECT_EQ(s.session.Manager()->GetDevice(), nullptr);
            EXPECT_FALSE(s.session.IsConnected());
        }
    }
    EXPECT_FALSE(log.Contains("read return")) << "the loop never retried a dead card";
}

TEST(DeviceSessionTest, WithoutAWorkspaceHookNothingHappens) {
    VirtualCardBench bench;
    CEmulatorServer* card = bench.AddCard("quiet");
    ASSERT_NE(card, nullptr);
    CDeviceSession session;
    ASSERT_TRUE(session.Init());
    session.OnDevicePnp(false, card->SocketPath());
    EXPECT_FALSE(session.IsConnected());
    ASSERT_TRUE(session.ConnectPath(card->SocketPath())) << session.LastError();
    session.OnDevicePnp(true, card->SocketPath());
    EXPECT_TRUE(session.IsConnected());
}

TEST(DeviceSessionTest, ConnectPathExplainsAFailure) {
    VirtualCardBench bench;
    CEmulatorServer* card = bench.AddCard("busy");
    ASSERT_NE(card, nullptr);
    RecordingSession holder;
    ASSERT_TRUE(holder.session.ConnectPath(card->SocketPath()));
    RecordingSession s;
    EXPECT_FALSE(s.session.ConnectPath(card->SocketPath()));
    EXPECT_NE(s.session.LastError().find("device busy"), std::string::npos)
        << s.session.LastError();
    EXPECT_FALSE(s.session.ConnectPath(bench.Dir() + "/hid#VID_2B53&PID_0061#none"));
    EXPECT_NE(s.session.LastError().find("cannot open"), std::string::npos)
        << s.session.LastError();
}

}  // namespace
