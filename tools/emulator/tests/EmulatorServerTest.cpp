#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "EmulatorServer.h"
#include "HidReportDescriptor.h"
#include "TestFrames.h"
#include "TestWait.h"
#include "TickCount.h"

using namespace lw52;
using namespace lw52::emu;
using namespace lw52::emu::test;

namespace {

// The host side of the virtual HID device, in raw socket calls.
class RawHost {
  public:
    ~RawHost() {
        if (m_fd >= 0) close(m_fd);
    }
    bool Connect(const std::string& path) {
        m_fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        return connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    // One packet; nullopt on timeout; an empty packet when the card closed the connection.
    std::optional<std::vector<uint8_t>> Receive(int timeoutMs = 5000) {
        pollfd pfd{m_fd, POLLIN, 0};
        if (poll(&pfd, 1, timeoutMs) <= 0) return std::nullopt;
        uint8_t buffer[512];
        const ssize_t got = recv(m_fd, buffer, sizeof buffer, 0);
        return std::vector<uint8_t>(buffer, buffer + std::max<ssize_t>(got, 0));
    }
    // Skips level frames; nullopt on timeout.
    std::optional<std::vector<uint8_t>> ReceiveNonLevels(int timeoutMs = 5000) {
        for (;;) {
            auto packet = Receive(timeoutMs);
            if (!packet || packet->empty() || (*packet)[0] != MSG_LEVELS) return packet;
        }
    }
    // Report id 0, then the frame.
    bool SendReport(const Frame& frame) {
        std::vector<uint8_t> report = {0};
        report.insert(report.end(), frame.begin(), frame.end());
        return send(m_fd, report.data(), report.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(report.size());
    }
    bool SendRaw(const std::vector<uint8_t>& bytes) {
        return send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }

  private:
    int m_fd = -1;
};

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

class EmulatorServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/lw52-emu-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        server.reset();
        unlink((dir + "/trace.jsonl").c_str());
        rmdir(dir.c_str());
    }
    void Start(const CardConfig& config = {}) {
        server = std::make_unique<CEmulatorServer>(config);
        ASSERT_TRUE(server->OpenTrace(dir + "/trace.jsonl"));
        ASSERT_TRUE(server->Start(dir, "t1"));
    }
    void ConnectAndTakeDescriptor(RawHost& host, int n = 64) {
        ASSERT_TRUE(host.Connect(server->SocketPath()));
        const auto descriptor = host.Receive();
        ASSERT_TRUE(descriptor.has_value());
        EXPECT_EQ(*descriptor, MakeVendorReportDescriptor(n, n));
        ASSERT_TRUE(WaitFor([&] { return server->HasClient(); }));
    }

    std::string dir;
    std::unique_ptr<CEmulatorServer> server;
};

}  // namespace

TEST_F(EmulatorServerTest, DescriptorFirstThenRequestsAreAnsweredAndASecondHostIsTurnedAway) {
    Start();
    EXPECT_EQ(server->SocketPath(), dir + "/hid#VID_2B53&PID_0061#t1");
    EXPECT_TRUE(Exists(server->SocketPath()));
    RawHost host;
    ConnectAndTakeDescriptor(host);

    ASSERT_TRUE(host.SendReport(Request(64, {{0, CMD_GET_DEVICE_INFO}})));
    auto reply = host.Receive();
    ASSERT_TRUE(reply.has_value());
    ASSERT_EQ(reply->size(), 64u) << "data bytes only, no report id";
    EXPECT_EQ((*reply)[0], 0x93);
    EXPECT_TRUE(ChecksumMatches(reply->data(), 64));

    RawHost second;
    ASSERT_TRUE(second.Connect(server->SocketPath()));
    const auto closed = second.Receive();
    ASSERT_TRUE(closed.has_value());
    EXPECT_TRUE(closed->empty()) << "closed at once, without a descriptor";
    EXPECT_EQ(server->BusyRejects(), 1);

    // A report without the id byte is 64 bytes: not a report of this card, left unanswered.
    ASSERT_TRUE(host.SendRaw(Request(64, {{0, CMD_GET_DEVICE_INFO}})));
    ASSERT_TRUE(host.SendReport(Request(64, {{0, CMD_CONNECT}, {4, 1}})));
    reply = host.Receive();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ((*reply)[0], 0x91) << "the first host is still served";
    EXPECT_EQ(server->Model().Counters().badLength, 1u);
}

TEST_F(EmulatorServerTest, CardInitiatedFramesDelayAndAcknowledgement) {
    Start(CardConfig{40});
    RawHost host;
    ConnectAndTakeDescriptor(host, 40);

    EXPECT_EQ(server->TurnKnobs({{36, 55}}), SendResult::kSent);
    auto change = host.Receive();
    ASSERT_TRUE(change.has_value());
    ASSERT_EQ(change->size(), 40u);
    EXPECT_EQ((*change)[0], MSG_DEVICE_CHANGE);
    Frame ack(change->begin(), change->end());
    ack[0] = ACK_DEVICE_CHANGE;
    ack[3] = kAckStatusOk;
    Restamp(ack);
    ASSERT_TRUE(host.SendReport(ack));
    ASSERT_TRUE(WaitFor([&] { return server->Model().DeviceChanges().acks == 1; }));
    EXPECT_EQ(server->Model().DeviceChanges().lastAckStatus, 0xFF);

    server->SetLevelsRate(100);
    auto levels = host.Receive();
    ASSERT_TRUE(levels.has_value());
    EXPECT_EQ((*levels)[0], MSG_LEVELS);
    EXPECT_TRUE(ChecksumMatches(levels->data(), 40));
    server->SetLevelsRate(0);

    server->Model().SetReplyDelay(300);
    const uint64_t sent = GetTickCountMs();
    ASSERT_TRUE(host.SendReport(Request(40, {{0, CMD_GET_DEVICE_INFO}})));
    const auto reply = host.ReceiveNonLevels();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ((*reply)[0], 0x93);
    EXPECT_GE(GetTickCountMs() - sent, 300u);
}

TEST_F(EmulatorServerTest, UnplugRemovesTheFileAndClosesTheHostPlugBringsItBack) {
    Start();
    RawHost host;
    ConnectAndTakeDescriptor(host);
    ASSERT_TRUE(server->Unplug());
    EXPECT_FALSE(Exists(server->SocketPath()));
    const auto closed = host.Receive();
    ASSERT_TRUE(closed.has_value());
    EXPECT_TRUE(closed->empty());
    EXPECT_FALSE(server->Unplug()) << "already unplugged";
    EXPECT_EQ(server->TurnKnobs({{0, 1}}), SendResult::kNoClient);

    ASSERT_TRUE(server->Plug());
    EXPECT_TRUE(Exists(server->SocketPath()));
    RawHost again;
    ConnectAndTakeDescriptor(again);
    ASSERT_TRUE(again.SendReport(Request(64, {{0, CMD_GET_DEVICE_INFO}})));
    EXPECT_TRUE(again.Receive().has_value());

    // The unplug-after fault: the second frame arrives and the card is gone, unanswered.
    server->Model().UnplugAfter(2);
    ASSERT_TRUE(again.SendReport(Request(64, {{0, CMD_GET_DEVICE_INFO}})));
    const auto answered = again.Receive();
    ASSERT_TRUE(answered.has_value() && !answered->empty());
    EXPECT_EQ((*answered)[0], 0x93);
    ASSERT_TRUE(again.SendReport(Request(64, {{0, CMD_GET_DEVICE_INFO}})));
    const auto gone = again.Receive();
    ASSERT_TRUE(gone.has_value());
    EXPECT_TRUE(gone->empty());
    // The host's connection ends first and the file goes right after, as a kernel device's
    // open files are flagged before its node goes.
    EXPECT_TRUE(WaitFor([&] { return !Exists(server->SocketPath()); }));

    server->Stop();
    std::ifstream trace(dir + "/trace.jsonl");
    std::stringstream text;
    text << trace.rdbuf();
    for (const char* part : {"\"event\":\"connect\"", "\"event\":\"unplug\"", "\"event\":\"plug\"",
                             "\"dir\":\"in\",\"cmd\":\"0x92\"", "\"dir\":\"out\",\"cmd\":\"0x93\""})
        EXPECT_NE(text.str().find(part), std::string::npos) << part;
}

TEST_F(EmulatorServerTest, HangUpEndsTheHostsConnectionAndTheDeviceStays) {
    Start();
    EXPECT_FALSE(server->HangUp()) << "no host yet";
    RawHost host;
    ConnectAndTakeDescriptor(host);
    ASSERT_TRUE(server->HangUp());
    const auto closed = host.Receive();
    ASSERT_TRUE(closed.has_value());
    EXPECT_TRUE(closed->empty());
    EXPECT_TRUE(Exists(server->SocketPath()));
    EXPECT_TRUE(server->IsPlugged());
    EXPECT_FALSE(server->HasClient());
    RawHost again;
    ConnectAndTakeDescriptor(again);
    ASSERT_TRUE(again.SendReport(Request(64, {{0, CMD_GET_DEVICE_INFO}})));
    EXPECT_TRUE(again.Receive().has_value());
}

TEST_F(EmulatorServerTest, StartRefusesALiveCardsNameButReplacesAStaleFile) {
    Start();
    CEmulatorServer rival;
    EXPECT_FALSE(rival.Start(dir, "t1")) << "the name belongs to a running card";
    EXPECT_FALSE(rival.Start(dir, "bad#name"));
    EXPECT_TRUE(Exists(server->SocketPath()));

    // A file left behind by a card that died: bound once, never listening.
    const std::string stale = dir + "/hid#VID_2B53&PID_0061#t2";
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof addr.sun_path, "%s", stale.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(fd);
    CEmulatorServer revived;
    ASSERT_TRUE(revived.Start(dir, "t2"));
    RawHost host;
    ASSERT_TRUE(host.Connect(stale));
    EXPECT_TRUE(host.Receive().has_value());
    revived.Stop();
    EXPECT_FALSE(Exists(stale));
}
