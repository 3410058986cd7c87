// lw52ctl as a user runs it: exit codes, output, and errors, against the emulator process.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>

#include "ChildProcess.h"

namespace {

RunResult Ctl(const std::vector<std::string>& args, const std::string& vhidDir) {
    // A private runtime folder: a panel the developer runs is not asked.
    return RunProgram(LW52CTL_PATH, args,
                      {"LW52_VHID_DIR=" + vhidDir, "XDG_RUNTIME_DIR=" + vhidDir});
}

TEST(CliTest, ChecksumCommand) {
    TempDir dir;
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
    } cases[] = {
        {{"checksum", "61", "62", "63"}, 0, "B9\n"},
        {{"checksum", "0x61", "0X62", "63"}, 0, "B9\n"},
        {{"checksum", "--packet", "64", "92"}, 0, "6D\n"},
        {{"--json", "checksum", "61", "62", "63"}, 0, "{\"checksum\":\"B9\",\"bytes\":3}\n"},
        {{"checksum"}, 2, ""},
        {{"checksum", "zz"}, 2, ""},
        {{"checksum", "123"}, 2, ""},
        {{"checksum", "--packet", "3", "1", "2", "3"}, 2, ""},  // no room before the checksum
        {{"checksum", "--packet", "65", "1"}, 2, ""},
    };
    for (const auto& c : cases) {
        const RunResult r = Ctl(c.args, dir.Path());
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.back() << r.err;
        EXPECT_EQ(r.out, c.out) << c.args.back();
        if (c.exitCode != 0) {
            EXPECT_NE(r.err.find("lw52ctl: "), std::string::npos);
        }
    }
    // 40-byte frame: zero-filled to 39 bytes before the checksum.
    EXPECT_EQ(Ctl({"checksum", "--packet", "40", "92"}, dir.Path()).out,
              Ctl({"checksum", "92", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
                   "0",        "0",  "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
                   "0",        "0",  "0", "0", "0", "0", "0", "0", "0", "0", "0", "0"},
                  dir.Path())
                  .out);
}

TEST(CliTest, UsageErrorsExitWithTwo) {
    TempDir dir;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"--bogus", "info"}, {"info", "extra"}, {"--device"}}) {
        const RunResult r = Ctl(args, dir.Path());
        EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "" : args[0]);
    }
}

TEST(CliTest, NoCardIsAClearFailure) {
    TempDir dir;
    RunResult devices = Ctl({"devices"}, dir.Path());
    EXPECT_EQ(devices.exitCode, 0);
    EXPECT_EQ(devices.out, "no LW52 card found\n");
    EXPECT_EQ(Ctl({"--json", "devices"}, dir.Path()).out, "[]\n");
    RunResult info = Ctl({"info"}, dir.Path());
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_NE(info.err.find("no LW52 card found"), std::string::npos) << info.err;
}

class CliWithCardTest : public ::testing::Test {
  protected:
    void Start(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--dir", dir.Path(), "--hw", "12", "--fw", "105"};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(emulator.Start(LW52_EMULATOR_PATH, args));
        ASSERT_NE(emulator.WaitForLine("listening on", 10000), "");
    }
    TempDir dir;
    ChildProcess emulator;
};

TEST_F(CliWithCardTest, InfoAndDevicesAgainstTheVirtualCard) {
    Start();
    RunResult info = Ctl({"info"}, dir.Path());
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(
        info.out.find("产品名称：林雾LW52\n硬件版本：V1.2\n固件版本：V10.5\n设备类型：声卡\n"),
        std::string::npos)
        << info.out;

    RunResult json = Ctl({"--json", "info"}, dir.Path());
    ASSERT_EQ(json.exitCode, 0) << json.err;
    for (const char* part :
         {"\"hardwareVersion\":\"V1.2\"", "\"firmwareVersion\":\"V10.5\"", "\"deviceType\":1",
          "\"deviceTypeText\":\"声卡\"", "\"packetSize\":64"})
        EXPECT_NE(json.out.find(part), std::string::npos) << part << " in " << json.out;

    RunResult devices = Ctl({"devices"}, dir.Path());
    EXPECT_NE(devices.out.find("hid#VID_2B53&PID_0061#emu0  vendor 0x2B53  product 0x0061"),
              std::string::npos)
        << devices.out;
}

TEST_F(CliWithCardTest, BusyAndSilentCardsAreReportedAsSuch) {
    Start();
    {
        // Another program holds the card: a second client is turned away.
        const std::string path = dir.Path() + "/hid#VID_2B53&PID_0061#emu0";
        const int holder = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        ASSERT_EQ(connect(holder, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        uint8_t descriptor[256];
        ASSERT_GT(recv(holder, descriptor, sizeof descriptor, 0), 0);  // being served
        RunResult busy = Ctl({"info"}, dir.Path());
        EXPECT_EQ(busy.exitCode, 1);
        EXPECT_NE(busy.err.find("device busy"), std::string::npos) << busy.err;
        close(holder);
    }
    // A card that answers nothing.
    emulator.WriteLine("fault drop 1000");
    std::string ack;
    emulator.ReadLine(ack, 5000);
    RunResult silent = Ctl({"info"}, dir.Path());
    EXPECT_EQ(silent.exitCode, 1);
    EXPECT_NE(silent.err.find("no reply"), std::string::npos) << silent.err;
}

}  // namespace
