// lw52ctl convert-sound and upload-sound as a user runs them: the clip the card would get as a
// WAV file, and the very same bytes in the virtual card's sound slot afterwards.
#include <gtest/gtest.h>
#include <json/json.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "ChildProcess.h"
#include "CliJson.h"

namespace fs = std::filesystem;

namespace {

std::string Fixture(const char* name) {
    return std::string(LW52_UPLOAD_FIXTURES) + "/" + name;
}

uint32_t Le(const uint8_t* at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | at[i];
    return value;
}

// A WAV file with the plain 44-byte header: its format fields and its samples (all zero and
// empty when the header is not that one, or its sizes disagree with the file).
struct Wav {
    uint32_t formatTag = 0, channels = 0, rate = 0, byteRate = 0, blockAlign = 0, bits = 0;
    std::vector<uint8_t> data;
};
Wav ReadWav(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> b{std::istreambuf_iterator<char>(in),
                                 std::istreambuf_iterator<char>()};
    Wav wav;
    if (b.size() < 44 || memcmp(&b[0], "RIFF", 4) != 0 || memcmp(&b[8], "WAVEfmt ", 8) != 0 ||
        Le(&b[16], 4) != 16 || memcmp(&b[36], "data", 4) != 0 || Le(&b[4], 4) != b.size() - 8 ||
        Le(&b[40], 4) != b.size() - 44)
        return wav;
    wav.formatTag = Le(&b[20], 2);
    wav.channels = Le(&b[22], 2);
    wav.rate = Le(&b[24], 4);
    wav.byteRate = Le(&b[28], 4);
    wav.blockAlign = Le(&b[32], 2);
    wav.bits = Le(&b[34], 2);
    wav.data.assign(b.begin() + 44, b.end());
    return wav;
}

double Rms(const std::vector<uint8_t>& pcm) {
    double sum = 0;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        const double v = static_cast<int16_t>(pcm[i] | (pcm[i + 1] << 8));
        sum += v * v;
    }
    return pcm.size() < 2 ? 0 : std::sqrt(sum / static_cast<double>(pcm.size() / 2));
}

class CliSoundUploadTest : public ::testing::Test {
  protected:
    void SetUp() override { fs::create_directories(tmp); }
    // TMPDIR is private, so the preparation's temporary files can be seen to go; so is the
    // runtime folder, so a panel the developer runs is not asked.
    RunResult Ctl(const std::vector<std::string>& args) {
        return RunProgram(
            LW52CTL_PATH, args,
            {"LW52_VHID_DIR=" + vhid, "TMPDIR=" + tmp, "XDG_RUNTIME_DIR=" + dir.Path()});
    }
    void StartCard(ChildProcess& card, const std::string& packet) {
        ASSERT_TRUE(card.Start(LW52_EMULATOR_PATH, {"--dir", vhid, "--packet", packet}));
        ASSERT_NE(card.WaitForLine("listening on", 10000), "");
    }
    static std::string CardCommand(ChildProcess& card, const std::string& line) {
        card.WriteLine(line);
        std::string reply;
        card.ReadLine(reply, 10000);
        return reply;
    }

    TempDir dir;
    std::string vhid = dir.Path() + "/vhid";
    std::string tmp = dir.Path() + "/tmp";
};

TEST_F(CliSoundUploadTest, ConvertSoundWritesTwentySecondsOfCardPcmAtTheGivenVolume) {
    const std::string full = dir.Path() + "/full.wav";
    std::ofstream(full) << std::string(3000000, 'x');  // an older, longer file is replaced
    RunResult r = Ctl({"convert-sound", Fixture("stereo30.mp3"), full, "--master", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(": 1920000 bytes, 20.000 s at 48000 Hz mono (volume 100, master 1)"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(fs::file_size(full), 44u + 1920000u);
    const Wav wav = ReadWav(full);
    EXPECT_EQ(wav.formatTag, 1u);
    EXPECT_EQ(wav.channels, 1u);
    EXPECT_EQ(wav.rate, 48000u);
    EXPECT_EQ(wav.byteRate, 96000u);
    EXPECT_EQ(wav.blockAlign, 2u);
    EXPECT_EQ(wav.bits, 16u);
    ASSERT_EQ(wav.data.size(), 1920000u);

    // Pad volume 50 at master 0.505: decoder volume 25, a quarter of the amplitude.
    const std::string quarter = dir.Path() + "/quarter.wav";
    r = Ctl({"--json", "convert-sound", Fixture("stereo30.mp3"), quarter, "--volume", "50",
             "--master", "0.505"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json::Value j = ParseJson(r.out);
    EXPECT_EQ(j["path"].asString(), quarter);
    EXPECT_EQ(j["bytes"].asInt(), 1920000);
    EXPECT_DOUBLE_EQ(j["seconds"].asDouble(), 20.0);
    EXPECT_EQ(j["volume"].asInt(), 50);
    EXPECT_DOUBLE_EQ(j["master"].asDouble(), 0.505);
    EXPECT_EQ(j["decoderVolume"].asInt(), 25);
    const Wav quiet = ReadWav(quarter);
    ASSERT_EQ(quiet.data.size(), wav.data.size());
    EXPECT_NEAR(Rms(quiet.data) / Rms(wav.data), 0.25, 0.01);
    EXPECT_TRUE(fs::is_empty(tmp)) << "temporary files are deleted";
}

TEST_F(CliSoundUploadTest, ConvertSoundRefusalsLeaveNoOutput) {
    const std::string out = dir.Path() + "/out.wav";
    const std::string clip = Fixture("short04.mp3");
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* says;
    } cases[] = {
        {{Fixture("nothing.mp3"), out}, 1, "特效解码失败"},
        {{dir.Path() + "/missing.mp3", out}, 1, "特效解码失败"},
        {{"builtin:NO_SUCH_CLIP", out}, 1, "特效解码失败"},
        {{clip, dir.Path() + "/no/folder/out.wav"}, 1, "cannot write"},
        {{clip}, 2, "usage"},
        {{clip, out, "extra"}, 2, "usage"},
        {{clip, out, "--volume", "101"}, 2, "--volume"},
        {{clip, out, "--volume"}, 2, "--volume"},
        {{clip, out, "--master", "1.5"}, 2, "--master"},
        {{clip, out, "--master", "half"}, 2, "--master"},
        {{clip, out, "--slot", "1"}, 2, "--slot"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"convert-sound"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        const RunResult r = Ctl(args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(fs::exists(out));
    }
    // A clip that cannot be decoded leaves an earlier output as it was.
    std::ofstream(out) << "earlier";
    EXPECT_EQ(Ctl({"convert-sound", Fixture("nothing.mp3"), out}).exitCode, 1);
    EXPECT_EQ(fs::file_size(out), 7u);
    EXPECT_TRUE(fs::is_empty(tmp));
}

TEST_F(CliSoundUploadTest, UploadSoundStoresExactlyTheConvertedClip) {
    const struct {
        int packet;
        std::string source;
        int slot;
        std::vector<std::string> options;
    } uploads[] = {
        {64, Fixture("mono22k.mp3"), 2, {"--volume", "80", "--master", "0.7"}},
        {40, Fixture("short04.mp3"), 1, {"--master", "1"}},
        {64, "builtin:DJ_ZS", 3, {"--volume", "60", "--master", "1"}},
    };
    for (const auto& u : uploads) {
        SCOPED_TRACE(u.source + " with " + std::to_string(u.packet) + "-byte packets");
        ChildProcess card;
        StartCard(card, std::to_string(u.packet));
        std::vector<std::string> args = {"--json", "upload-sound", u.source, "--slot",
                                         std::to_string(u.slot)};
        args.insert(args.end(), u.options.begin(), u.options.end());
        const RunResult uploaded = Ctl(args);
        ASSERT_EQ(uploaded.exitCode, 0) << uploaded.err;
        EXPECT_EQ(uploaded.err, "") << "no progress bar off a terminal";
        const Json::Value j = ParseJson(uploaded.out);
        EXPECT_EQ(j["path"].asString(), u.source);
        EXPECT_EQ(j["slot"].asInt(), u.slot);

        const std::string converted = dir.Path() + "/converted.wav";
        args = {"convert-sound", u.source, converted};
        args.insert(args.end(), u.options.begin(), u.options.end());
        ASSERT_EQ(Ctl(args).exitCode, 0);
        const std::vector<uint8_t> expected = ReadWav(converted).data;
        ASSERT_GT(expected.size(), 9600u);
        const int payload = u.packet - 8;
        EXPECT_EQ(j["bytes"].asUInt(), expected.size());
        EXPECT_EQ(j["frames"].asInt(), (static_cast<int>(expected.size()) + payload - 1) / payload);

        const std::string dumped = dir.Path() + "/dumped.wav";
        const std::string reply =
            CardCommand(card, "dump " + std::to_string(u.slot) + " " + dumped);
        EXPECT_EQ(reply, "ok " + std::to_string(expected.size()) + " bytes");
        const Wav stored = ReadWav(dumped);
        EXPECT_EQ(stored.rate, 48000u);
        EXPECT_EQ(stored.channels, 1u);
        EXPECT_TRUE(stored.data == expected) << "the slot holds other bytes than convert-sound";
        const Json::Value slot = ParseJson(CardCommand(card, "state"))["sound"][u.slot - 1];
        EXPECT_EQ(slot["frames"].asInt(), j["frames"].asInt());
        EXPECT_EQ(slot["repeatedFrames"].asInt(), 0);
        EXPECT_EQ(slot["error"].asString(), "");
    }
    // The plain output, with a built-in clip.
    ChildProcess card;
    StartCard(card, "64");
    const RunResult text = Ctl({"upload-sound", "builtin:DJ_ZS", "--slot", "1", "--master", "1"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out.rfind("uploaded builtin:DJ_ZS to sound slot 1: ", 0), 0u) << text.out;
    EXPECT_NE(text.out.find(" frames\n"), std::string::npos) << text.out;
    EXPECT_TRUE(fs::is_empty(tmp));
}

TEST_F(CliSoundUploadTest, UploadSoundFailsWithoutTouchingTheCardUnlessTheClipIsReady) {
    const std::string clip = Fixture("mono22k.mp3");
    const RunResult noCard = Ctl({"upload-sound", clip, "--slot", "1", "--master", "1"});
    EXPECT_EQ(noCard.exitCode, 1);
    EXPECT_NE(noCard.err.find("no LW52 card found"), std::string::npos) << noCard.err;

    ChildProcess card;
    StartCard(card, "64");
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* says;
    } refusals[] = {
        {{Fixture("nothing.mp3"), "--slot", "1"}, 1, "特效解码失败"},
        {{dir.Path() + "/missing.mp3", "--slot", "2", "--master", "1"}, 1, "特效解码失败"},
        {{clip}, 2, "usage"},
        {{clip, "--slot", "4"}, 2, "--slot"},
        {{clip, "--slot", "0"}, 2, "--slot"},
        {{clip, "--slot", "x"}, 2, "--slot"},
        {{"--slot", "1"}, 2, "usage"},
        {{clip, clip, "--slot", "1"}, 2, "usage"},
        {{clip, "--slot", "1", "--volume", "-1"}, 2, "--volume"},
    };
    for (const auto& r : refusals) {
        std::vector<std::string> args = {"upload-sound"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        SCOPED_TRACE(r.args[0] + " " + r.args.back());
        const RunResult run = Ctl(args);
        EXPECT_EQ(run.exitCode, r.exitCode);
        EXPECT_NE(run.err.find(r.says), std::string::npos) << run.err;
    }
    Json::Value state = ParseJson(CardCommand(card, "state"));
    EXPECT_EQ(state["counters"]["hostFrames"].asInt(), 0) << "the card was not even opened";
    EXPECT_FALSE(state["counters"]["byCommand"].isMember("0xB0"));

    // The cable pulled in the middle of the clip: not every frame is acknowledged.
    EXPECT_EQ(CardCommand(card, "fault unplug-after 200"), "ok");
    const RunResult cut = Ctl({"upload-sound", clip, "--slot", "2", "--master", "1"});
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_NE(cut.err.find("载入特效失败"), std::string::npos) << cut.err;
    EXPECT_EQ(cut.out, "");
    state = ParseJson(CardCommand(card, "state"));
    EXPECT_TRUE(state["sound"][1]["announced"].asBool());
    EXPECT_FALSE(state["sound"][1]["complete"].asBool());
    EXPECT_TRUE(fs::is_empty(tmp));
}

}  // namespace
