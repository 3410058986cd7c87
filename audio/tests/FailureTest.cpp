// Failures say why: missing or undecodable clips, no sound server, a device that went away,
// and a server that goes away while playing and recording.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "DeviceFilter.h"
#include "PulseTest.h"

using namespace audiokit;

namespace {

class AudioFailures : public PulseTest {};

std::string Pactl(const std::vector<std::string>& args) {
    const RunResult r = RunProgram("/usr/bin/pactl", args, {}, 10000);
    return r.exitCode == 0 ? r.out : "";
}

TEST_F(AudioFailures, ClipsThatCannotBePlayedAreRefusedWithTheReason) {
    const std::string missing = m_dir.Path() + "/missing.mp3";
    const std::string text = m_dir.Path() + "/notes.mp3";
    std::ofstream(text) << "these are not MPEG frames\n";
    const std::string junk(4096, '\x5a');
    const std::string good = m_dir.Path() + "/good.wav";
    ASSERT_TRUE(WriteClip(good, "wav", Tone(0.2, 0.5, 440)));

    struct Case {
        const char* what;
        std::function<int(audio::IAudioStream&)> open;
        std::string text;  // the error text starts with this
    } cases[] = {
        {"missing file", [&](auto& s) { return s.Open(missing, 1000); },
         "file not found: " + missing},
        {"undecodable file", [&](auto& s) { return s.Open(text, 1000); },
         "cannot decode " + text + ": "},
        {"undecodable bytes",
         [&](auto& s) { return s.OpenMemory(1, 0, junk.data(), junk.size(), audio::kFormatMp3); },
         "cannot decode MP3 data (4096 bytes): "},
        {"no bytes", [&](auto& s) { return s.OpenMemory(1, 0, nullptr, 0, audio::kFormatWave); },
         "cannot decode WAV data (0 bytes): no data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StreamPtr s(audio::CreateAudioStream());
        // A playing clip is stopped by a later Open even when that Open fails.
        ASSERT_TRUE(s->Open(good, 1000));
        ASSERT_TRUE(s->Start());
        EXPECT_FALSE(c.open(*s));
        EXPECT_EQ(ErrorOf(*s).rfind(c.text, 0), 0u) << ErrorOf(*s);
        EXPECT_FALSE(IsRunning(*s));
        EXPECT_FALSE(s->Start());
    }
    StreamPtr s(audio::CreateAudioStream());
    EXPECT_EQ(s->GetLastErrorText(), nullptr);
    EXPECT_FALSE(s->Start());
    EXPECT_NE(ErrorOf(*s), "");
}

TEST_F(AudioFailures, NoSoundServerIsReportedWithinTheTimeout) {
    const std::string good = m_dir.Path() + "/good.wav";
    ASSERT_TRUE(WriteClip(good, "wav", Tone(0.2, 0.5, 440)));
    setenv("PULSE_SERVER", ("unix:" + m_dir.Path() + "/no-server").c_str(), 1);
    StreamPtr s(audio::CreateAudioStream());
    EXPECT_EQ(s->GetOutputDeviceCount(), 0);
    EXPECT_EQ(ErrorOf(*s).rfind("no sound server: ", 0), 0u) << ErrorOf(*s);
    EXPECT_FALSE(s->Open(good, 1000));
    EXPECT_EQ(ErrorOf(*s).rfind("no sound server: ", 0), 0u) << ErrorOf(*s);
    EXPECT_FALSE(s->Open(audio::kLineInputUrl, 1000));
    EXPECT_EQ(ErrorOf(*s).rfind("no sound server: ", 0), 0u) << ErrorOf(*s);
}

// A selected device that the server no longer has fails Open (and Start) with its name.
TEST_F(AudioFailures, SelectedDeviceThatWentAwayIsReported) {
    if (access("/usr/bin/pactl", X_OK) != 0) GTEST_SKIP() << "pactl is not installed";
    const std::string good = m_dir.Path() + "/good.wav";
    ASSERT_TRUE(WriteClip(good, "wav", Tone(0.2, 0.5, 440)));
    struct Case {
        bool output;
        const char* load;
        const char* name;
    } cases[] = {
        {true, "module-null-sink sink_name=usb_out sink_properties=device.description=USB-Out",
         "usb_out"},
        {false, "module-null-source source_name=usb_in description=USB-In", "usb_in"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"load-module"};
        std::istringstream words(c.load);
        for (std::string w; words >> w;) args.push_back(w);
        std::string module = Pactl(args);
        ASSERT_FALSE(module.empty());
        module.erase(module.find_last_not_of("\n") + 1);
        StreamPtr s(audio::CreateAudioStream());
        ASSERT_GE(audio::SelectDeviceByFilter(*s, c.output, c.name), 0);
        ASSERT_TRUE(c.output ? s->Open(good, 1000) : s->Open(audio::kLineInputUrl, 1000))
            << ErrorOf(*s);
        Pactl({"unload-module", module});
        EXPECT_FALSE(c.output ? s->Open(good, 1000) : s->Open(audio::kLineInputUrl, 1000));
        EXPECT_EQ(ErrorOf(*s),
                  std::string(c.output ? "output" : "input") + " device gone: " + c.name);
    }
}

// The server dies while a clip plays and the line input records: both end with the reason,
// the player tells the end once, and nothing hangs.
TEST_F(AudioFailures, ServerGoingAwayEndsPlaybackAndCaptureWithTheReason) {
    PulseDaemon doomed;
    std::string error;
    ASSERT_TRUE(doomed.Start(&error)) << error;
    const std::string clip = m_dir.Path() + "/long.wav";
    ASSERT_TRUE(WriteClip(clip, "wav", Tone(10, 0.5, 440)));

    StreamPtr player(audio::CreateAudioStream());
    EndCounter ends;
    ends.Attach(*player);
    ASSERT_EQ(audio::SelectDeviceByFilter(*player, true, "LW52"), 0);
    ASSERT_TRUE(player->Open(clip, 1000));
    StreamPtr recorder(audio::CreateAudioStream());
    ASSERT_GE(audio::SelectDeviceByFilter(*recorder, false, "LW52"), 0);
    ASSERT_TRUE(recorder->Open(audio::kLineInputUrl, 1000)) << ErrorOf(*recorder);
    ASSERT_TRUE(player->Start());
    int left = 0, right = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            recorder->GetLevels(left, right);
            return PositionMs(*player) >= 300 && left > 0;
        },
        3000));

    doomed.Kill();
    ASSERT_TRUE(WaitUntil([&] { return !IsRunning(*player); }, 5000));
    EXPECT_EQ(ErrorOf(*player).rfind("sound server connection lost: ", 0), 0u) << ErrorOf(*player);
    EXPECT_TRUE(WaitUntil([&] { return ends.ends == 1; }, 2000));
    EXPECT_EQ(PositionMs(*player), 0u);
    ASSERT_TRUE(WaitUntil([&] { return ErrorOf(*recorder) != ""; }, 5000));
    EXPECT_EQ(ErrorOf(*recorder).rfind("sound server connection lost: ", 0), 0u);
    recorder->GetLevels(left, right);
    EXPECT_EQ(left + right, 0);

    // Later calls fail at once instead of waiting on the dead server.
    EXPECT_FALSE(player->Start());
    EXPECT_EQ(ErrorOf(*player).rfind("no sound server: ", 0), 0u) << ErrorOf(*player);
    EXPECT_EQ(ends.ends, 1);
}

}  // namespace
