// lw52-emulator --audio against a private PulseAudio daemon: the card's output and line in
// appear on the sound server, loop back, and go away however the emulator ends.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "PulseDaemon.h"
#include "TestWait.h"

namespace {

constexpr const char* kSink = "lw52_virtual_card";
constexpr const char* kSource = "lw52_virtual_card_line";

RunResult Pactl(const std::vector<std::string>& args) {
    return RunProgram(FindProgram("pactl"), args, {"LC_ALL=C"}, 10000);
}

struct SoundDevice {
    std::string name;
    std::string description;
    std::string monitorOf;  // "n/a" for a real source
};

// The sinks or sources as `pactl list` shows them.
std::vector<SoundDevice> Devices(const std::string& kind) {
    const RunResult listed = Pactl({"list", kind});
    std::vector<SoundDevice> devices;
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);) {
        line.erase(0, line.find_first_not_of('\t'));
        auto value = [&](const std::string& key) {
            return line.compare(0, key.size(), key) == 0 ? line.substr(key.size()) : "";
        };
        if (line.rfind("Sink #", 0) == 0 || line.rfind("Source #", 0) == 0) devices.emplace_back();
        if (devices.empty()) continue;
        if (auto v = value("Name: "); !v.empty()) devices.back().name = v;
        if (auto v = value("Description: "); !v.empty()) devices.back().description = v;
        if (auto v = value("Monitor of Sink: "); !v.empty()) devices.back().monitorOf = v;
    }
    return devices;
}

const SoundDevice* Find(const std::vector<SoundDevice>& devices, const std::string& name) {
    for (const SoundDevice& device : devices)
        if (device.name == name) return &device;
    return nullptr;
}

// Loaded modules that make the card's output or line in, left over ones included.
int CardModules() {
    std::istringstream lines(Pactl({"list", "short", "modules"}).out);
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
        const std::string padded = line + " ";
        if (padded.find(std::string("sink_name=") + kSink + " ") != std::string::npos ||
            padded.find(std::string("source_name=") + kSource + " ") != std::string::npos)
            ++count;
    }
    return count;
}

class CardAudioTest : public ::testing::Test {
  protected:
    // One daemon for the suite; it points this process's (and so the children's) PULSE_SERVER
    // at itself. Each test leaves it as it found it, which is what the tests check.
    static void SetUpTestSuite() {
        if (!PulseDaemon::Available()) return;
        s_daemon = std::make_unique<PulseDaemon>();
        s_started = s_daemon->Start(&s_error);
    }
    static void TearDownTestSuite() { s_daemon.reset(); }

    void SetUp() override {
        if (!PulseDaemon::Available()) GTEST_SKIP() << "pulseaudio is not installed";
        ASSERT_TRUE(s_started) << s_error;
    }

    bool StartEmulator(ChildProcess& emulator) {
        return emulator.Start(LW52_EMULATOR_PATH, {"--audio", "--dir", m_vhid.Path()}) &&
               !emulator.WaitForLine("listening on", 10000).empty();
    }

    // The card's output and a real (non-monitor) line in, both named as the card.
    void ExpectCardDevices() {
        const auto sinks = Devices("sinks");
        const SoundDevice* output = Find(sinks, kSink);
        ASSERT_NE(output, nullptr);
        EXPECT_NE(output->description.find("LW52"), std::string::npos) << output->description;
        const auto sources = Devices("sources");
        const SoundDevice* lineIn = Find(sources, kSource);
        ASSERT_NE(lineIn, nullptr);
        EXPECT_NE(lineIn->description.find("LW52"), std::string::npos) << lineIn->description;
        EXPECT_EQ(lineIn->monitorOf, "n/a");
    }

    void ExpectNoCardDevices() {
        EXPECT_EQ(Find(Devices("sinks"), kSink), nullptr);
        EXPECT_EQ(Find(Devices("sources"), kSource), nullptr);
        EXPECT_EQ(CardModules(), 0);
    }

    static std::unique_ptr<PulseDaemon> s_daemon;
    static bool s_started;
    static std::string s_error;
    TempDir m_vhid;
};

std::unique_ptr<PulseDaemon> CardAudioTest::s_daemon;
bool CardAudioTest::s_started = false;
std::string CardAudioTest::s_error;

bool HangupIgnored() {
    struct sigaction action {};
    return sigaction(SIGHUP, nullptr, &action) == 0 && action.sa_handler == SIG_IGN;
}

}  // namespace

TEST_F(CardAudioTest, OutputAndLineInLastAsLongAsTheEmulatorHoweverItEnds) {
    struct Ending {
        const char* name;
        int signal;  // 0: "quit" on the console
    };
    std::vector<Ending> endings = {{"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"quit", 0}};
    // An ignored hangup is inherited, and then the emulator rightly keeps running.
    if (!HangupIgnored()) endings.push_back({"SIGHUP", SIGHUP});
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.name);
        ChildProcess emulator;
        ASSERT_TRUE(StartEmulator(emulator));
        ExpectCardDevices();

        if (ending.signal)
            kill(emulator.Pid(), ending.signal);
        else
            emulator.WriteLine("quit");
        EXPECT_EQ(emulator.Wait(5000), 0);
        // Gone by the time the emulator has exited, not eventually.
        ExpectNoCardDevices();
    }
}

TEST_F(CardAudioTest, WhatPlaysIntoTheOutputComesBackOnTheLineIn) {
    ChildProcess emulator;
    ASSERT_TRUE(StartEmulator(emulator));

    // Two seconds of a loud 440 Hz tone, mono 16-bit at 48 kHz.
    TempDir dir;
    const std::string tone = dir.Path() + "/tone.raw", recorded = dir.Path() + "/recorded.raw";
    {
        std::ofstream out(tone, std::ios::binary);
        for (int i = 0; i < 96000; ++i) {
            const auto sample =
                static_cast<int16_t>(16000 * std::sin(2 * std::numbers::pi * 440 * i / 48000));
            out.write(reinterpret_cast<const char*>(&sample), sizeof sample);
        }
    }
    const std::vector<std::string> format = {"--raw", "--format=s16le", "--rate=48000",
                                             "--channels=1", "--latency-msec=50"};
    auto withFormat = [&](std::vector<std::string> args) {
        args.insert(args.begin(), format.begin(), format.end());
        return args;
    };
    ChildProcess recorder, player;
    ASSERT_TRUE(recorder.Start(FindProgram("parec"), withFormat({"-d", kSource, recorded})));
    ASSERT_TRUE(player.Start(FindProgram("pacat"), withFormat({"-d", kSink, tone})));

    auto loudestRecorded = [&] {
        std::ifstream in(recorded, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        int loudest = 0;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
            int16_t sample;
            memcpy(&sample, bytes.data() + i, sizeof sample);
            loudest = std::max(loudest, std::abs(static_cast<int>(sample)));
        }
        return loudest;
    };
    EXPECT_TRUE(WaitFor([&] { return loudestRecorded() > 8000; }, 10000))
        << "loudest sample on the line in: " << loudestRecorded();
}

TEST_F(CardAudioTest, DevicesLeftByAKilledEmulatorAreReplacedNotDuplicated) {
    {
        ChildProcess killed;
        ASSERT_TRUE(StartEmulator(killed));
        kill(killed.Pid(), SIGKILL);
        killed.Wait(5000);
    }
    ASSERT_EQ(CardModules(), 2) << "the killed emulator's devices stay behind";

    ChildProcess emulator;
    ASSERT_TRUE(StartEmulator(emulator));
    EXPECT_EQ(CardModules(), 2);
    ExpectCardDevices();
    EXPECT_EQ(emulator.Stop(), 0);
    ExpectNoCardDevices();
}

// Without a sound server --audio gives up at once instead of running without the device.
TEST(CardAudioNoServerTest, AudioFailsAtStartWhenNoSoundServerAnswers) {
    TempDir dir;
    // A socket nobody accepts on: connecting works, the server's answer never comes.
    const std::string silentPath = dir.Path() + "/silent";
    const int silent = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof addr.sun_path, "%s", silentPath.c_str());
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(silent, 4), 0);

    struct Case {
        const char* name;
        std::string server;
    };
    for (const Case& c : {Case{"nothing there", "unix:" + dir.Path() + "/none"},
                          Case{"no answer", "unix:" + silentPath}}) {
        SCOPED_TRACE(c.name);
        const std::string vhid = dir.Path() + "/vhid";
        const RunResult result = RunProgram(LW52_EMULATOR_PATH, {"--audio", "--dir", vhid},
                                            {"PULSE_SERVER=" + c.server}, 15000);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find("sound server"), std::string::npos) << result.err;
        EXPECT_EQ(result.out.find("listening on"), std::string::npos) << "no card without sound";
    }
    close(silent);
}
