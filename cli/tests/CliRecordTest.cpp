// lw52ctl record as a user runs it: a private sound server whose LW52-Output comes back on
// LW52-Line-In, lw52ctl play playing a 440 Hz tone into the card, and the line input recorded
// to MP3 files that are read back with libmpg123.
#include <gtest/gtest.h>
#include <json/json.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "AudioTestKit.h"
#include "ChildProcess.h"
#include "CliJson.h"
#include "Mp3TestKit.h"
#include "PulseDaemon.h"

namespace fs = std::filesystem;

namespace {

constexpr double kMp3BytesPerSecond = 24000;  // 192 kbps

uint64_t FileSize(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return ec ? 0 : size;
}

// What record prints for a file of that many bytes.
std::string Summary(const std::string& path) {
    const uint64_t bytes = FileSize(path);
    char text[64];
    snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / kMp3BytesPerSecond);
    return "recorded " + std::string(text) + " s to " + path + " (" + std::to_string(bytes) +
           " bytes)\n";
}

bool IsTone(const mp3kit::Decoded& d) {
    if (d.Frames() < static_cast<size_t>(d.rate)) return false;
    const auto edge = static_cast<size_t>(d.rate / 10);
    return mp3kit::Dominance(d, 0, 440, {300, 600, 880}, edge, d.Frames() - edge) > 100;
}

class CliRecordTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!PulseDaemon::Available()) GTEST_SKIP() << "pulseaudio is not installed";
        std::string error;
        ASSERT_TRUE(pulse.Start(&error)) << error;  // the programs run find it in PULSE_SERVER
        const std::string tone = dir.Path() + "/tone.wav";
        ASSERT_TRUE(audiokit::WriteClip(tone, "wav", audiokit::Tone(60, 0.5, 440, 1), 1,
                                        audiokit::kRate, &error))
            << error;
        ASSERT_TRUE(player.Start(LW52CTL_PATH, {"play", tone}, Env()));
    }

    std::vector<std::string> Env() const { return {"XDG_DATA_HOME=" + data}; }
    RunResult Ctl(const std::vector<std::string>& args) {
        return RunProgram(LW52CTL_PATH, args, Env());
    }

    TempDir dir;
    std::string data = dir.Path() + "/data";
    PulseDaemon pulse;
    ChildProcess player;  // plays the tone into the card while the test runs
};

TEST_F(CliRecordTest, RecordsTheSecondsAskedOfTheLineInputToAFileThatPlays) {
    const std::string out = dir.Path() + "/out.mp3";
    const RunResult recorded = Ctl({"record", "--seconds", "2", out, "--verbose"});
    ASSERT_EQ(recorded.exitCode, 0) << recorded.err;
    EXPECT_EQ(recorded.out, Summary(out));
    EXPECT_NE(recorded.err.find("recorded 00:00:01\n"), std::string::npos) << recorded.err;
    const mp3kit::Decoded d = mp3kit::Decode(out);
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.channels, 2);
    EXPECT_GE(d.Seconds(), 2.0);
    EXPECT_LE(d.Seconds(), 2.2);
    EXPECT_TRUE(IsTone(d));
    const RunResult played = Ctl({"play", out});
    EXPECT_EQ(played.exitCode, 0) << played.err;

    // Without OUT: tmp_record.mp3 in the state folder, which is made when missing.
    const RunResult json = Ctl({"--json", "record", "--seconds", "1"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const Json::Value result = ParseJson(json.out);
    ASSERT_TRUE(result.isObject()) << json.out;
    const std::string path = data + "/QvLW52/tmp_record.mp3";
    EXPECT_EQ(result["path"].asString(), path);
    EXPECT_EQ(result["bytes"].asUInt64(), FileSize(path));
    EXPECT_GE(result["seconds"].asDouble(), 1.0);
    EXPECT_FALSE(result["stopped"].asBool());
}

// Ctrl+C and SIGTERM end the recording early with a complete file and the summary; after
// SIGKILL the file plays up to about its last second.
TEST_F(CliRecordTest, SignalsLeaveAFileThatPlays) {
    for (const int signal : {SIGINT, SIGTERM, SIGKILL}) {
        SCOPED_TRACE(strsignal(signal));
        const std::string out = dir.Path() + "/signal.mp3";
        fs::remove(out);
        ChildProcess recorder;
        ASSERT_TRUE(recorder.Start(LW52CTL_PATH, {"record", "--seconds", "60", out}, Env()));
        ASSERT_TRUE(
            audiokit::WaitUntil([&] { return FileSize(out) > 1.5 * kMp3BytesPerSecond; }, 15000));
        ASSERT_EQ(kill(recorder.Pid(), signal), 0);
        if (signal == SIGKILL) {
            EXPECT_EQ(recorder.Wait(5000), -1);
        } else {
            EXPECT_EQ(recorder.Wait(5000), 0);
            EXPECT_EQ(recorder.ReadAll(1000), Summary(out));
        }
        const mp3kit::Decoded d = mp3kit::Decode(out);
        EXPECT_EQ(d.error, "");
        EXPECT_GE(d.Seconds(), 1.0);
        EXPECT_TRUE(IsTone(d));
    }
}

TEST_F(CliRecordTest, RecordingsThatCannotGoOnFailWithTheReason) {
    const std::string missing = dir.Path() + "/missing/out.mp3";
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string says;
    } cases[] = {
        {{"record", "/dev/full"}, 1, "lw52ctl: disk full: cannot write /dev/full\n"},
        {{"record", missing}, 1, "lw52ctl: cannot create " + missing + ": No such file"},
        {{"record", "--seconds", "0", missing}, 2, "--seconds"},
        {{"record", "--seconds"}, 2, "--seconds"},
        {{"record", "--second", "2"}, 2, "unknown option '--second'"},
        {{"record", "a.mp3", "b.mp3"}, 2, "one OUT.mp3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const RunResult r = Ctl(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir.Path() + "/missing"));
}

}  // namespace
