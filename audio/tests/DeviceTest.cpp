// Device lists, the card filter, and the line input, against the private sound server.
#include <filesystem>
#include <set>

#include "DeviceFilter.h"
#include "MasterVolume.h"
#include "PulseTest.h"

using namespace audiokit;

namespace {

class AudioDevices : public PulseTest {};

std::vector<audio::DeviceInfo> List(audio::IAudioStream& s, bool output) {
    std::vector<audio::DeviceInfo> out;
    const int count = output ? s.GetOutputDeviceCount() : s.GetInputDeviceCount();
    for (int i = 0; i < count; ++i) {
        audio::DeviceInfo info;
        EXPECT_TRUE(output ? s.GetOutputDeviceInfo(i, info) : s.GetInputDeviceInfo(i, info));
        out.push_back(info);
    }
    return out;
}

TEST_F(AudioDevices, OutputsAreTheSinksAndInputsTheSourcesThatAreNoMonitors) {
    StreamPtr s(audio::CreateAudioStream());
    ASSERT_TRUE(s);
    const auto outputs = List(*s, true);
    ASSERT_EQ(outputs.size(), 2u) << ErrorOf(*s);
    EXPECT_EQ(outputs[0].name, "lw52_out");
    EXPECT_EQ(outputs[0].displayName, "LW52-Output");
    EXPECT_FALSE(outputs[0].isDefault);
    EXPECT_EQ(outputs[1].name, "other_out");
    EXPECT_EQ(outputs[1].displayName, "Other-Output");
    EXPECT_TRUE(outputs[1].isDefault);

    const auto inputs = List(*s, false);
    std::set<std::string> names;
    for (const auto& d : inputs) names.insert(d.name);
    EXPECT_EQ(names, (std::set<std::string>{"lw52_line", "other_in"}));
    for (const auto& d : inputs) {
        EXPECT_EQ(d.isDefault, d.name == "other_in") << d.name;
        EXPECT_EQ(d.displayName, d.name == "lw52_line" ? "LW52-Line-In" : "Other-Input");
    }
    audio::DeviceInfo none;
    EXPECT_FALSE(s->GetOutputDeviceInfo(2, none));
    EXPECT_FALSE(s->GetInputDeviceInfo(-1, none));
    EXPECT_FALSE(s->SelectOutputDevice(2));
}

TEST_F(AudioDevices, FilterMatchesDisplayOrServerNameCaseSensitively) {
    struct Case {
        bool output;
        const char* filter;
        const char* picked;  // null: nothing matches
    } cases[] = {
        {true, "LW52", "lw52_out"},        // display name (also what the pages pass)
        {true, "Other-Out", "other_out"},  // display name only
        {true, "other_out", "other_out"},  // server name only
        {true, "Lw52", nullptr},           // case matters
        {false, "LW52", "lw52_line"},      // not "Monitor of LW52-Output": monitors are hidden
        {false, "Monitor", nullptr},      {false, "lw52_out.monitor", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.output ? "output " : "input ") + c.filter);
        StreamPtr s(audio::CreateAudioStream());
        ASSERT_TRUE(s);
        const int index = audio::SelectDeviceByFilter(*s, c.output, c.filter);
        if (!c.picked) {
            EXPECT_EQ(index, -1);
            continue;
        }
        ASSERT_GE(index, 0) << ErrorOf(*s);
        audio::DeviceInfo info;
        ASSERT_TRUE(c.output ? s->GetOutputDeviceInfo(index, info)
                             : s->GetInputDeviceInfo(index, info));
        EXPECT_EQ(info.name, c.picked);
    }
}

// What the card's output plays comes back on its line input: the player selected by the filter
// plays there, a player with no selection plays to the server's default, and the recorder
// selected by the filter hears the card.
TEST_F(AudioDevices, FilteredPlayerReachesTheCardAndUnselectedPlayerTheDefault) {
    Capture card, other;
    std::string error;
    ASSERT_TRUE(card.Start("lw52_line", &error)) << error;
    ASSERT_TRUE(other.Start("other_out.monitor", &error)) << error;
    const std::string clip = m_dir.Path() + "/tone.wav";
    ASSERT_TRUE(WriteClip(clip, "wav", Tone(0.3, 0.5, 440)));

    for (const bool selected : {false, true}) {
        SCOPED_TRACE(selected ? "selected LW52" : "no selection");
        StreamPtr s(audio::CreateAudioStream());
        EndCounter counter;
        counter.Attach(*s);
        if (selected) {
            ASSERT_EQ(audio::SelectDeviceByFilter(*s, true, "LW52"), 0);
        }
        const size_t cardFrom = card.Frames(), otherFrom = other.Frames();
        ASSERT_TRUE(s->Open(clip, 1000)) << ErrorOf(*s);
        ASSERT_TRUE(s->Start()) << ErrorOf(*s);
        ASSERT_TRUE(WaitUntil([&] { return counter.ends == 1; }, 5000));
        // Both captures run on past the end, so silence on one is not a capture that lags.
        ASSERT_TRUE(card.WaitForFrames(card.Frames() + kRate / 5, 2000));
        ASSERT_TRUE(other.WaitForFrames(other.Frames() + kRate / 5, 2000));
        const bool onCard = FirstAbove(card.Samples(), 0.1f, cardFrom) >= 0;
        const bool onOther = FirstAbove(other.Samples(), 0.1f, otherFrom) >= 0;
        EXPECT_EQ(onCard, selected);
        EXPECT_EQ(onOther, !selected);
    }
}

TEST_F(AudioDevices, RecorderOnTheCardsLineInputHearsTheCardsOutput) {
    StreamPtr recorder(audio::CreateAudioStream());
    recorder->SetOption(1, 100);
    ASSERT_GE(audio::SelectDeviceByFilter(*recorder, false, "LW52"), 0);
    ASSERT_TRUE(recorder->Open(audio::kLineInputUrl, 1000)) << ErrorOf(*recorder);
    int left = -1, right = -1;
    recorder->GetLevels(left, right);
    EXPECT_EQ(left + right, 0);

    StreamPtr player(audio::CreateAudioStream());
    ASSERT_EQ(audio::SelectDeviceByFilter(*player, true, "LW52"), 0);
    const std::vector<float> tone = Tone(3, 0.5, 440);
    const std::string clip = m_dir.Path() + "/tone.wav";
    ASSERT_TRUE(WriteClip(clip, "wav", tone));
    ASSERT_TRUE(player->Open(clip, 1000));
    ASSERT_TRUE(player->Start()) << ErrorOf(*player);
    EXPECT_TRUE(WaitUntil(
        [&] {
            recorder->GetLevels(left, right);
            return left >= 45 && right >= 45;
        },
        3000))
        << left << " " << right;
    EXPECT_LE(left, 55);
    EXPECT_LE(right, 55);

    // The file is made at once; nothing goes into it before Start.
    const std::string out = m_dir.Path() + "/out.mp3";
    EXPECT_TRUE(recorder->RecordToFile(out, 1, 0)) << ErrorOf(*recorder);
    EXPECT_TRUE(std::filesystem::exists(out));
    EXPECT_EQ(ReadBytes(out).size(), 0u);
}

// The master level is the default output's volume as the server shows it: 30 % reads 0.30,
// anything above 100 % reads 1.0. Another output's volume does not count.
TEST_F(AudioDevices, MasterLevelIsTheDefaultOutputsVolume) {
    struct Case {
        const char* command;
        double level;
    } cases[] = {
        {"pactl set-sink-volume other_out 30%", 0.30},
        {"pactl set-sink-volume lw52_out 10%", 0.30},
        {"pactl set-sink-volume other_out 150%", 1.0},
        {"pactl set-sink-volume other_out 100% && pactl set-sink-volume lw52_out 100%", 1.0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(system(c.command), 0) << c.command;
        double level = -1;
        std::string error;
        ASSERT_TRUE(audio::ReadMasterVolume(level, &error)) << error;
        EXPECT_NEAR(level, c.level, 0.001) << c.command;
    }
}

}  // namespace
