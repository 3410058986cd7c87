// lw52ctl doctor end to end: a fake sysfs and /dev tree with a card this user may not open,
// a virtual card, a running panel holding it, and the sound server and cloud service there
// or not.
#include <gtest/gtest.h>
#include <json/json.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "ChildProcess.h"
#include "CliJson.h"
#include "CloudFixture.h"
#include "DoctorFixtures.h"
#include "PulseDaemon.h"

namespace {

using doctor_test::FakeSystem;

// Root opens any file; run as root, lw52ctl loses that power (as a user's lw52ctl never has
// it) so that a node without permission bits refuses it for real.
bool CanDropDacOverride() {
    return geteuid() != 0 || access("/usr/bin/setpriv", X_OK) == 0;
}

class CliDoctorTest : public ::testing::Test {
  protected:
    RunResult Doctor(const std::vector<std::string>& args, bool asUser = false,
                     std::vector<std::string> env = {}) {
        std::vector<std::string> all = system.EnvVars();
        for (const std::string& e : {"LW52_VHID_DIR=" + Vhid(), "XDG_RUNTIME_DIR=" + dir.Path(),
                                     "XDG_DATA_HOME=" + dir.Path() + "/data"})
            all.push_back(e);
        all.insert(all.end(), env.begin(), env.end());
        if (!asUser || geteuid() != 0) return RunProgram(LW52CTL_PATH, args, all);
        std::vector<std::string> wrapped = {"--bounding-set", "-dac_override,-dac_read_search",
                                            LW52CTL_PATH};
        wrapped.insert(wrapped.end(), args.begin(), args.end());
        return RunProgram("/usr/bin/setpriv", wrapped, all);
    }
    std::string Vhid() const { return dir.Path() + "/vhid"; }
    std::string VirtualCard() const { return Vhid() + "/hid#VID_2B53&PID_0061#emu0"; }
    void StartCard() {
        ASSERT_TRUE(emulator.Start(LW52_EMULATOR_PATH, {"--dir", Vhid()}));
        ASSERT_NE(emulator.WaitForLine("listening on", 10000), "");
    }
    static Json::Value Check(const Json::Value& out, const std::string& id,
                             const std::string& device = {}) {
        for (const Json::Value& check : out["checks"])
            if (check["id"].asString() == id &&
                (device.empty() || check["device"].asString() == device))
                return check;
        ADD_FAILURE() << "no check " << id << " " << device << " in " << out.toStyledString();
        return {};
    }

    TempDir dir;
    FakeSystem system;
    ChildProcess emulator;
};

TEST_F(CliDoctorTest, ACardThisUserMayNotOpenAndAVirtualCard) {
    if (!CanDropDacOverride()) GTEST_SKIP() << "running as root without setpriv";
    system.AddWorkingUsbCard();
    system.StartUdev();
    chmod(system.Node(0).c_str(), 0);
    StartCard();

    RunResult r = Doctor({"--json", "doctor", "--devices"}, true);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.err, "lw52ctl: 1 problem found\n");
    Json::Value out = ParseJson(r.out);
    EXPECT_FALSE(out["ok"].asBool());
    EXPECT_EQ(out["problems"].asInt(), 1);
    const Json::Value card = Check(out, "card", system.Node(0));
    EXPECT_EQ(card["status"], "problem");
    for (const char* part : {"2b53:0061 at ", "(USB 1-1) is there, but you (",
                             "may not open it: Permission denied.", "is not installed"})
        EXPECT_NE(card["text"].asString().find(part), std::string::npos) << part << card;
    EXPECT_NE(card["fix"].asString().find(
                  "/etc/udev/rules.d/ && sudo udevadm control --reload && sudo udevadm trigger"),
              std::string::npos)
        << card;
    const Json::Value virtualCard = Check(out, "card", VirtualCard());
    EXPECT_EQ(virtualCard["status"], "ok");
    EXPECT_NE(virtualCard["text"].asString().find("a virtual card counts as a card"),
              std::string::npos);
    EXPECT_EQ(virtualCard["fix"], "");
    EXPECT_EQ(Check(out, "udev")["status"], "ok");
    EXPECT_EQ(Check(out, "rule")["status"], "note");
    EXPECT_EQ(Check(out, "panel")["status"], "ok");
    for (const char* skipped : {"sound", "cloud", "userdir"})
        for (const Json::Value& check : out["checks"])
            EXPECT_NE(check["id"].asString(), skipped) << "--devices runs the card checks only";

    // The same as text: one line per check, its fix on it.
    r = Doctor({"doctor", "--devices"}, true);
    EXPECT_EQ(r.exitCode, 1);
    const std::string problem = "problem  card          The LW52 card 2b53:0061 at " +
                                system.Node(0) + " (USB 1-1) is there";
    EXPECT_EQ(r.out.rfind(problem, 0), 0u) << r.out;
    const std::string firstLine = r.out.substr(0, r.out.find('\n'));
    EXPECT_NE(firstLine.find(".  Fix: "), std::string::npos) << firstLine;
    EXPECT_NE(r.out.find("\nok       card          The virtual card " + VirtualCard() +
                         " answers (a virtual card counts as a card).\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), out["checks"].size());

    // The rule installed and applied: the refusal is now the seat's session, not the rule.
    system.InstallRule();
    system.TagNode(0);
    out = ParseJson(Doctor({"--json", "doctor", "--devices"}, true).out);
    EXPECT_NE(Check(out, "card", system.Node(0))["text"].asString().find("active local session"),
              std::string::npos);
    EXPECT_EQ(Check(out, "rule")["status"], "ok");

    // Whoever may open the node (root, here) has nothing to fix.
    if (geteuid() == 0) {
        r = Doctor({"--json", "doctor", "--devices"});
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_TRUE(ParseJson(r.out)["ok"].asBool());
    }
}

// Stands in for the running panel on its control socket: answers "info" as holding a card.
class PanelStandIn {
  public:
    explicit PanelStandIn(const std::string& path) {
        m_listen = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        EXPECT_EQ(bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        EXPECT_EQ(listen(m_listen, 4), 0);
        m_thread = std::thread([this] {
            pollfd p{m_listen, POLLIN, 0};
            if (poll(&p, 1, 10000) <= 0) return;
            const int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            std::string line;
            char c;
            while (read(client, &c, 1) == 1 && c != '\n') line += c;
            const Json::Value request = ParseJson(line);
            requestOp = request["op"].asString();
            const std::string answer = "{\"id\":" + std::to_string(request["id"].asInt()) +
                                       ",\"ok\":true,\"result\":{\"hardwareVersion\":\"V1.0\"}}\n";
            (void)!write(client, answer.data(), answer.size());
            close(client);
        });
    }
    ~PanelStandIn() {
        Finish();
        close(m_listen);
    }
    // The operation the client asked for, once the stand-in has answered it.
    std::string Finish() {
        if (m_thread.joinable()) m_thread.join();
        return requestOp;
    }

  private:
    std::string requestOp;  // written by the stand-in's thread: read after it has ended

    int m_listen = -1;
    std::thread m_thread;
};

TEST_F(CliDoctorTest, ACardThePanelHoldsIsNoFault) {
    StartCard();
    // The panel's connection to the virtual card.
    const int holder = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof addr.sun_path, "%s", VirtualCard().c_str());
    ASSERT_EQ(connect(holder, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    uint8_t descriptor[256];
    ASSERT_GT(recv(holder, descriptor, sizeof descriptor, 0), 0);

    RunResult r = Doctor({"--json", "doctor", "--devices"});
    EXPECT_EQ(r.exitCode, 1) << "without a panel, whoever holds the card is in the way";
    EXPECT_NE(Check(ParseJson(r.out), "card", VirtualCard())["text"].asString().find(
                  "another program is connected to it"),
              std::string::npos)
        << r.out;
    {
        PanelStandIn panel(dir.Path() + "/lw52panel.control");
        r = Doctor({"--json", "doctor", "--devices"});
        EXPECT_EQ(panel.Finish(), "info");
    }
    EXPECT_EQ(r.exitCode, 0) << r.out;
    const Json::Value out = ParseJson(r.out);
    const Json::Value card = Check(out, "card", VirtualCard());
    EXPECT_EQ(card["status"], "ok");
    EXPECT_NE(card["text"].asString().find("in use by the running panel"), std::string::npos);
    EXPECT_EQ(Check(out, "panel")["status"], "note");
    EXPECT_NE(Check(out, "panel")["text"].asString().find("holds the card"), std::string::npos);
    close(holder);
}

TEST_F(CliDoctorTest, SoundServerCloudServiceAndFolder) {
    if (!PulseDaemon::Available()) GTEST_SKIP() << "pulseaudio is not installed";
    LW52_REQUIRE_CLOUD_FIXTURE();
    PulseDaemon pulse;
    std::string error;
    ASSERT_TRUE(pulse.Start(&error)) << error;
    CloudFixture cloud;
    ASSERT_TRUE(cloud.Start(""));
    StartCard();

    RunResult r = Doctor({"--json", "doctor"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    Json::Value out = ParseJson(r.out);
    EXPECT_TRUE(out["ok"].asBool());
    EXPECT_EQ(Check(out, "sound")["status"], "ok");
    EXPECT_EQ(Check(out, "sound-output")["device"], "lw52_out");
    EXPECT_EQ(Check(out, "sound-input")["device"], "lw52_line");
    const Json::Value service = Check(out, "cloud");
    EXPECT_EQ(service["status"], "ok");
    EXPECT_NE(service["text"].asString().find(cloud.BaseUrl()), std::string::npos) << service;
    EXPECT_EQ(Check(out, "userdir")["status"], "ok");
    EXPECT_EQ(Check(out, "userdir")["device"], dir.Path() + "/data/QvLW52");

    // Neither answers: both say so within the bound of the slower, the service's 7 s.
    ASSERT_TRUE(cloud.SetFault("status404"));
    const auto start = std::chrono::steady_clock::now();
    r = Doctor({"--json", "doctor"}, false, {"PULSE_SERVER=unix:" + dir.Path() + "/no-server"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(9));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "lw52ctl: 2 problems found\n");
    out = ParseJson(r.out);
    EXPECT_EQ(Check(out, "sound")["status"], "problem");
    EXPECT_NE(Check(out, "sound")["fix"].asString().find("pipewire-pulse"), std::string::npos);
    for (const Json::Value& check : out["checks"])
        EXPECT_NE(check["id"].asString(), "sound-output") << "no device list without a server";
    EXPECT_NE(Check(out, "cloud")["text"].asString().find("gives no answer"), std::string::npos);

    ASSERT_TRUE(cloud.SetFault("badjson"));
    out = ParseJson(Doctor({"--json", "doctor"}).out);
    EXPECT_NE(Check(out, "cloud")["text"].asString().find("answers, but not with the effect list"),
              std::string::npos)
        << Check(out, "cloud");
}

TEST_F(CliDoctorTest, UsageErrors) {
    EXPECT_EQ(Doctor({"doctor", "--bogus"}).exitCode, 2);
    EXPECT_EQ(Doctor({"doctor", "extra"}).exitCode, 2);
}

}  // namespace
