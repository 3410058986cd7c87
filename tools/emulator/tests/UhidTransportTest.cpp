// The kernel HID backend against a stand-in for /dev/uhid: a SOCK_SEQPACKET socket at the
// device path that plays the kernel's part with the same event structs, one per packet.
#include <gtest/gtest.h>
#include <linux/uhid.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "ChildProcess.h"
#include "EmulatorOptions.h"
#include "EmulatorServer.h"
#include "HidReportDescriptor.h"
#include "TestFrames.h"
#include "TestWait.h"
#include "TickCount.h"
#include "UhidTransport.h"

using namespace lw52;
using namespace lw52::emu;
using namespace lw52::emu::test;

namespace {

using Event = std::unique_ptr<uhid_event>;

Event NewEvent(uint32_t type) {
    Event event = std::make_unique<uhid_event>();  // zeroed
    event->type = type;
    return event;
}

// The kernel's side of the device file.
class FakeUhid {
  public:
    explicit FakeUhid(const std::string& path) : m_path(path) {
        m_listenFd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        m_listening = bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                      listen(m_listenFd, 1) == 0;
    }
    ~FakeUhid() {
        if (m_fd >= 0) close(m_fd);
        close(m_listenFd);
        unlink(m_path.c_str());
    }
    bool Listening() const { return m_listening; }
    bool Accept(int timeoutMs = 5000) {
        pollfd pfd{m_listenFd, POLLIN, 0};
        if (poll(&pfd, 1, timeoutMs) <= 0) return false;
        m_fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        return m_fd >= 0;
    }
    bool Write(const uhid_event& event) {
        return send(m_fd, &event, sizeof event, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof event);
    }
    bool Write(uint32_t type) { return Write(*NewEvent(type)); }
    // What a hidraw write hands the driver: the report id byte, then the data bytes.
    bool WriteOutput(const std::vector<uint8_t>& report) {
        Event event = NewEvent(UHID_OUTPUT);
        std::copy(report.begin(), report.end(), event->u.output.data);
        event->u.output.size = static_cast<uint16_t>(report.size());
        event->u.output.rtype = UHID_OUTPUT_REPORT;
        return Write(*event);
    }
    bool WriteReport(const Frame& frame) {
        std::vector<uint8_t> report = {0};
        report.insert(report.end(), frame.begin(), frame.end());
        return WriteOutput(report);
    }
    bool WriteReportRequest(uint32_t type, uint32_t id) {
        Event event = NewEvent(type);
        if (type == UHID_GET_REPORT) {
            event->u.get_report.id = id;
            event->u.get_report.rtype = UHID_FEATURE_REPORT;
        } else {
            event->u.set_report.id = id;
            event->u.set_report.rtype = UHID_FEATURE_REPORT;
        }
        return Write(*event);
    }
    // The next event the card wrote; nullptr on timeout or when the card closed the file.
    Event Next(int timeoutMs = 5000) {
        pollfd pfd{m_fd, POLLIN, 0};
        if (poll(&pfd, 1, timeoutMs) <= 0) return nullptr;
        Event event = NewEvent(0);
        const ssize_t got = recv(m_fd, event.get(), sizeof *event, 0);
        if (got <= 0) {
            m_closed = true;
            return nullptr;
        }
        EXPECT_EQ(got, static_cast<ssize_t>(sizeof *event));
        return event;
    }
    // Skips level frames.
    Event NextExceptLevels(int timeoutMs = 5000) {
        for (;;) {
            Event event = Next(timeoutMs);
            if (!event || event->type != UHID_INPUT2 || event->u.input2.data[0] != MSG_LEVELS)
                return event;
        }
    }
    bool Closed() const { return m_closed; }

  private:
    const std::string m_path;
    int m_listenFd = -1;
    int m_fd = -1;
    bool m_listening = false;
    bool m_closed = false;
};

// An input report's data bytes.
Frame InputData(const uhid_event& event) {
    const uint16_t size = event.u.input2.size;
    return Frame(event.u.input2.data, event.u.input2.data + size);
}

std::string Text(const uint8_t* field, size_t size) {
    return std::string(reinterpret_cast<const char*>(field),
                       strnlen(reinterpret_cast<const char*>(field), size));
}

void ExpectCreate(const Event& event, uint16_t product, int n, const std::string& uniq) {
    ASSERT_TRUE(event);
    ASSERT_EQ(event->type, static_cast<uint32_t>(UHID_CREATE2));
    const uhid_create2_req& create = event->u.create2;
    EXPECT_EQ(Text(create.name, sizeof create.name), "LW52 virtual card");
    EXPECT_EQ(Text(create.uniq, sizeof create.uniq), uniq);
    EXPECT_EQ(uint16_t{create.bus}, BUS_USB);
    EXPECT_EQ(uint32_t{create.vendor}, 0x2B53u);
    EXPECT_EQ(uint32_t{create.product}, product);
    const std::vector<uint8_t> descriptor(create.rd_data, create.rd_data + create.rd_size);
    EXPECT_EQ(descriptor, MakeVendorReportDescriptor(n, n)) << "no report ids, n bytes each way";
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class UhidTransportTest : public ::testing::Test {
  protected:
    void TearDown() override {
        server.reset();
        kernel.reset();
    }
    // Serves the card behind the stand-in and takes its UHID_CREATE2.
    void Start(const CardConfig& config = {}) {
        kernel = std::make_unique<FakeUhid>(dir.Path() + "/uhid");
        ASSERT_TRUE(kernel->Listening());
        server = std::make_unique<CEmulatorServer>(config);
        ASSERT_TRUE(server->OpenTrace(dir.Path() + "/trace.jsonl"));
        auto transport = std::make_unique<CUhidTransport>(dir.Path() + "/uhid", config, "u1");
        std::string error;
        ASSERT_TRUE(transport->Open(error)) << error;
        ASSERT_TRUE(server->Start(std::move(transport)));
        ASSERT_TRUE(kernel->Accept());
        ExpectCreate(kernel->Next(), config.productId, config.packetSize, "u1");
    }
    // The driver binds and a program opens the hidraw node.
    void Open() {
        ASSERT_TRUE(kernel->Write(UHID_START));
        ASSERT_TRUE(kernel->Write(UHID_OPEN));
        ASSERT_TRUE(WaitFor([&] { return server->HasClient(); }));
    }

    TempDir dir;
    std::unique_ptr<FakeUhid> kernel;
    std::unique_ptr<CEmulatorServer> server;
};

}  // namespace

TEST_F(UhidTransportTest, ReportsGoBothWaysWhileAProgramHasTheNodeOpen) {
    Start(CardConfig{40, kProductId7B});
    EXPECT_EQ(server->Address(), "uhid 2B53:007B");
    EXPECT_TRUE(server->IsPlugged());
    EXPECT_FALSE(server->HasClient()) << "created, not yet opened";
    Open();

    ASSERT_TRUE(kernel->WriteReport(Request(40, {{0, CMD_GET_DEVICE_INFO}})));
    Event reply = kernel->Next();
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->type, static_cast<uint32_t>(UHID_INPUT2));
    const Frame info = InputData(*reply);
    ASSERT_EQ(info.size(), 40u) << "the data bytes only, no report id";
    EXPECT_EQ(info[0], 0x93);
    EXPECT_TRUE(ChecksumMatches(info.data(), 40));

    // Without the id byte it is not a report of this card: no answer, the next one is.
    ASSERT_TRUE(kernel->WriteOutput(Request(40, {{0, CMD_GET_DEVICE_INFO}})));
    ASSERT_TRUE(kernel->WriteReport(Request(40, {{0, CMD_GET_DEVICE_INFO}})));
    reply = kernel->Next();
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->type, static_cast<uint32_t>(UHID_INPUT2));
    EXPECT_EQ(InputData(*reply)[0], 0x93);
    EXPECT_EQ(server->Model().Counters().badLength, 1u);

    // Feature reports: refused at once, so the kernel does not wait for its timeout.
    ASSERT_TRUE(kernel->WriteReportRequest(UHID_GET_REPORT, 7));
    reply = kernel->Next();
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->type, static_cast<uint32_t>(UHID_GET_REPORT_REPLY));
    EXPECT_EQ(uint32_t{reply->u.get_report_reply.id}, 7u);
    EXPECT_NE(uint16_t{reply->u.get_report_reply.err}, 0);
    ASSERT_TRUE(kernel->WriteReportRequest(UHID_SET_REPORT, 8));
    reply = kernel->Next();
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->type, static_cast<uint32_t>(UHID_SET_REPORT_REPLY));
    EXPECT_EQ(uint32_t{reply->u.set_report_reply.id}, 8u);
    EXPECT_NE(uint16_t{reply->u.set_report_reply.err}, 0);

    // The last program closed the node: nothing goes out, a knob still turns.
    ASSERT_TRUE(kernel->Write(UHID_CLOSE));
    ASSERT_TRUE(WaitFor([&] { return !server->HasClient(); }));
    EXPECT_EQ(server->TurnKnobs({{0, 7}}), SendResult::kNoClient);
    EXPECT_EQ(server->Model().LiveParams()[0], 7);
    EXPECT_TRUE(server->IsPlugged());

    server->Stop();
    const std::string trace = ReadFile(dir.Path() + "/trace.jsonl");
    for (const char* part :
         {"\"event\":\"start\",\"detail\":\"uhid 2B53:007B\"", "\"event\":\"connect\"",
          "\"event\":\"disconnect\"", "\"dir\":\"in\",\"cmd\":\"0x92\"",
          "\"dir\":\"out\",\"cmd\":\"0x93\"", "\"note\":\"report id not 0\""})
        EXPECT_NE(trace.find(part), std::string::npos) << part;
}

TEST_F(UhidTransportTest, CardSideFramesAcknowledgementLevelsAndReplyDelay) {
    Start();
    Open();

    EXPECT_EQ(server->TurnKnobs({{36, 55}}), SendResult::kSent);
    Event change = kernel->Next();
    ASSERT_TRUE(change);
    ASSERT_EQ(change->type, static_cast<uint32_t>(UHID_INPUT2));
    Frame ack = InputData(*change);
    ASSERT_EQ(ack.size(), 64u);
    EXPECT_EQ(ack[0], MSG_DEVICE_CHANGE);
    ack[0] = ACK_DEVICE_CHANGE;
    ack[3] = kAckStatusOk;
    Restamp(ack);
    ASSERT_TRUE(kernel->WriteReport(ack));
    ASSERT_TRUE(WaitFor([&] { return server->Model().DeviceChanges().acks == 1; }));

    server->SetLevelsRate(100);
    Event levels = kernel->Next();
    ASSERT_TRUE(levels);
    ASSERT_EQ(levels->type, static_cast<uint32_t>(UHID_INPUT2));
    EXPECT_EQ(InputData(*levels)[0], MSG_LEVELS);
    EXPECT_TRUE(ChecksumMatches(InputData(*levels).data(), 64));
    server->SetLevelsRate(0);

    server->Model().SetReplyDelay(300);
    const uint64_t sent = GetTickCountMs();
    ASSERT_TRUE(kernel->WriteReport(Request(64, {{0, CMD_GET_DEVICE_INFO}})));
    const Event reply = kernel->NextExceptLevels();
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->type, static_cast<uint32_t>(UHID_INPUT2));
    EXPECT_EQ(InputData(*reply)[0], 0x93);
    EXPECT_GE(GetTickCountMs() - sent, 300u);
}

TEST_F(UhidTransportTest, UnplugDestroysPlugCreatesAgainAndTheOldDevicesEventsAreIgnored) {
    Start();
    Open();
    ASSERT_TRUE(server->Unplug());
    Event destroy = kernel->Next();
    ASSERT_TRUE(destroy);
    EXPECT_EQ(destroy->type, static_cast<uint32_t>(UHID_DESTROY));
    EXPECT_FALSE(server->IsPlugged());
    EXPECT_FALSE(server->HasClient()) << "the host left with the device";
    EXPECT_FALSE(server->Unplug()) << "already unplugged";
    // What the kernel queued while tearing the old device down.
    ASSERT_TRUE(kernel->Write(UHID_CLOSE));
    ASSERT_TRUE(kernel->Write(UHID_STOP));

    ASSERT_TRUE(server->Plug());
    ExpectCreate(kernel->Next(), kProductId61, 64, "u1");
    EXPECT_TRUE(server->IsPlugged());
    // An open before the new device started belongs to the old one: not a host.
    ASSERT_TRUE(kernel->Write(UHID_OPEN));
    ASSERT_TRUE(kernel->WriteReportRequest(UHID_GET_REPORT, 1));
    ASSERT_TRUE(kernel->Next());  // handled in order, so the open was handled too
    EXPECT_FALSE(server->HasClient());
    EXPECT_EQ(server->Connections(), 1);
    Open();
    EXPECT_EQ(server->Connections(), 2);

    // The unplug-after fault: the frame is taken, unanswered, and the device destroyed.
    server->Model().UnplugAfter(1);
    ASSERT_TRUE(kernel->WriteReport(Request(64, {{0, CMD_GET_DEVICE_INFO}})));
    destroy = kernel->NextExceptLevels();
    ASSERT_TRUE(destroy);
    EXPECT_EQ(destroy->type, static_cast<uint32_t>(UHID_DESTROY));
    EXPECT_FALSE(server->IsPlugged());
    EXPECT_FALSE(server->HasClient());
    // A report the host wrote before the device went is lost with it.
    ASSERT_TRUE(kernel->WriteReport(Request(64, {{0, CMD_GET_DEVICE_INFO}})));
    ASSERT_TRUE(kernel->WriteReportRequest(UHID_SET_REPORT, 2));
    ASSERT_TRUE(kernel->Next());
    EXPECT_EQ(server->Model().Counters().hostFrames, 1u);

    // Stopping destroys a plugged device and closes the file.
    ASSERT_TRUE(server->Plug());
    ExpectCreate(kernel->Next(), kProductId61, 64, "u1");
    server->Stop();
    destroy = kernel->Next();
    ASSERT_TRUE(destroy);
    EXPECT_EQ(destroy->type, static_cast<uint32_t>(UHID_DESTROY));
    EXPECT_FALSE(kernel->Next());
    EXPECT_TRUE(kernel->Closed());

    const std::string trace = ReadFile(dir.Path() + "/trace.jsonl");
    for (const char* part : {"\"event\":\"unplug\",\"detail\":\"uhid 2B53:0061\"",
                             "\"event\":\"plug\",\"detail\":\"uhid 2B53:0061\""})
        EXPECT_NE(trace.find(part), std::string::npos) << part;
}

TEST_F(UhidTransportTest, TheStandInGoingAwayDisconnectsTheHost) {
    Start();
    Open();
    kernel.reset();
    ASSERT_TRUE(WaitFor([&] { return !server->HasClient(); }));
    EXPECT_FALSE(server->Plug()) << "nothing left to create the device with";
}

TEST(UhidEmulatorTest, NoDeviceFileIsAClearErrorAndExitStatus1) {
    TempDir dir;
    const std::string missing = dir.Path() + "/no-uhid";
    const RunResult result = RunProgram(LW52_EMULATOR_PATH, {"--uhid-path", missing}, {}, 10000);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err.rfind("lw52-emulator: no /dev/uhid: " + missing, 0), 0u) << result.err;
    EXPECT_EQ(result.out.find("listening on"), std::string::npos);
}

// The program as the guest runs it: stdin commands and the quit signal act on the device.
TEST(UhidEmulatorTest, CommandsAndTheQuitSignalDriveTheDevice) {
    TempDir dir;
    FakeUhid kernel(dir.Path() + "/uhid");
    ASSERT_TRUE(kernel.Listening());
    ChildProcess emulator;
    ASSERT_TRUE(
        emulator.Start(LW52_EMULATOR_PATH, {"--uhid-path", dir.Path() + "/uhid", "--packet", "40",
                                            "--product", "0x7B", "--instance", "guest"}));
    EXPECT_NE(emulator.WaitForLine("listening on uhid 2B53:007B", 10000), "");
    ASSERT_TRUE(kernel.Accept());
    ExpectCreate(kernel.Next(), kProductId7B, 40, "guest");

    auto command = [&](const std::string& line) {
        emulator.WriteLine(line);
        std::string answer;
        emulator.ReadLine(answer, 10000);
        return answer;
    };
    ASSERT_TRUE(kernel.Write(UHID_START));
    ASSERT_TRUE(kernel.Write(UHID_OPEN));
    // The host is connected once a knob's frame goes out instead of being dropped.
    ASSERT_TRUE(WaitFor([&] { return command("knob 0 5") == "ok"; }));
    Event change = kernel.Next();
    ASSERT_TRUE(change);
    ASSERT_EQ(change->type, static_cast<uint32_t>(UHID_INPUT2));
    EXPECT_EQ(InputData(*change)[0], MSG_DEVICE_CHANGE);
    EXPECT_EQ(InputData(*change).size(), 40u);

    EXPECT_EQ(command("unplug"), "ok");
    Event destroy = kernel.Next();
    ASSERT_TRUE(destroy);
    EXPECT_EQ(destroy->type, static_cast<uint32_t>(UHID_DESTROY));
    EXPECT_EQ(command("plug"), "ok");
    ExpectCreate(kernel.Next(), kProductId7B, 40, "guest");

    EXPECT_EQ(emulator.Stop(10000), 0);
    destroy = kernel.Next();
    ASSERT_TRUE(destroy);
    EXPECT_EQ(destroy->type, static_cast<uint32_t>(UHID_DESTROY));
    EXPECT_FALSE(kernel.Next());
    EXPECT_TRUE(kernel.Closed());
}

TEST(UhidEmulatorTest, OptionsChooseTheKernelDevice) {
    EmulatorOptions options;
    std::string error;
    ASSERT_TRUE(ParseEmulatorOptions({}, options, error));
    EXPECT_FALSE(options.uhid);
    ASSERT_TRUE(ParseEmulatorOptions({"--uhid", "--packet", "40"}, options, error));
    EXPECT_TRUE(options.uhid);
    EXPECT_EQ(options.uhidPath, "/dev/uhid");
    EXPECT_EQ(options.card.packetSize, 40);
    ASSERT_TRUE(ParseEmulatorOptions({"--uhid-path", "/tmp/u"}, options, error));
    EXPECT_TRUE(options.uhid) << "a device path means the kernel device";
    EXPECT_EQ(options.uhidPath, "/tmp/u");
    EXPECT_FALSE(ParseEmulatorOptions({"--uhid-path"}, options, error));
    EXPECT_EQ(error, "--uhid-path needs a value");
    EXPECT_FALSE(ParseEmulatorOptions({"--uhid-path", ""}, options, error));
    EXPECT_EQ(error, "--uhid-path: the path must not be empty");
}
