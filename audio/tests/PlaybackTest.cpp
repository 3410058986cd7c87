// Playback into the card's output, heard on its line input (the remap of the sink's monitor):
// level, length, pitch, position, seek, volume, stop, end notification.
#include <cmath>
#include <filesystem>
#include <fstream>

#include "DeviceFilter.h"
#include "PulseTest.h"

using namespace audiokit;

namespace {

constexpr float kSilence = 0.02f;

int ThreadsNamed(const std::string& name) {
    int count = 0;
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream comm(task.path() / "comm");
        std::string line;
        if (std::getline(comm, line) && line == name) ++count;
    }
    return count;
}

class AudioPlayback : public PulseTest {
  protected:
    void SetUp() override {
        PulseTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        std::string error;
        ASSERT_TRUE(m_card.Start("lw52_line", &error)) << error;
        m_player.reset(audio::CreateAudioStream());
        ASSERT_TRUE(m_player);
        m_player->SetOption(2, 1);
        m_player->SetOption(3, 1);
        ASSERT_EQ(audio::SelectDeviceByFilter(*m_player, true, "LW52"), 0);
        m_ends.Attach(*m_player);
    }

    std::string WriteWav(const std::string& name, const std::vector<float>& frames) {
        const std::string path = m_dir.Path() + "/" + name;
        EXPECT_TRUE(WriteClip(path, "wav", frames));
        return path;
    }

    // Waits for the end notification, then lets the capture run on a little: a second
    // notification or a late sound would show up by then.
    void WaitForEnd(int timeoutMs) {
        ASSERT_TRUE(WaitUntil([&] { return m_ends.ends >= 1; }, timeoutMs)) << ErrorOf(*m_player);
        ASSERT_TRUE(m_card.WaitForFrames(m_card.Frames() + kRate / 4, 2000));
        EXPECT_EQ(m_ends.ends, 1);
        EXPECT_FALSE(IsRunning(*m_player));
        EXPECT_EQ(PositionMs(*m_player), 0u);
    }

    Capture m_card;
    StreamPtr m_player;
    EndCounter m_ends;
};

struct ClipCase {
    const char* name;
    const char* kind;  // "wav" or "mp3"
    bool fromMemory;
};

void PrintTo(const ClipCase& c, std::ostream* os) {
    *os << c.name;
}

class AudioPlaybackOfClips : public AudioPlayback,
                             public ::testing::WithParamInterface<ClipCase> {};

// A 440 Hz sine at half scale, 1.5 s long, through Open or OpenMemory (whose bytes are
// overwritten right after the call: the player keeps its own copy).
TEST_P(AudioPlaybackOfClips, PlaysTheWholeClipAtItsPitchAndLevelAndTellsTheEndOnce) {
    const ClipCase c = GetParam();
    const bool mp3 = std::string(c.kind) == "mp3";
    if (mp3 && !CanWriteMp3()) GTEST_SKIP() << "this libsndfile cannot write MP3";
    const std::string path = m_dir.Path() + "/clip." + c.kind;
    std::string error;
    ASSERT_TRUE(WriteClip(path, c.kind, Tone(1.5, 0.5, 440), 2, kRate, &error)) << error;
    if (c.fromMemory) {
        std::vector<unsigned char> bytes = ReadBytes(path);
        ASSERT_TRUE(m_player->OpenMemory(1, 0, bytes.data(), bytes.size(),
                                         mp3 ? audio::kFormatMp3 : audio::kFormatWave))
            << ErrorOf(*m_player);
        std::fill(bytes.begin(), bytes.end(), 0);
    } else {
        ASSERT_TRUE(m_player->Open(path, 1000)) << ErrorOf(*m_player);
    }
    audio::MediaInfo info;
    ASSERT_TRUE(m_player->GetMediaInfo(info));
    EXPECT_EQ(info.bytesPerSecond, 48000u * 2 * 2);
    EXPECT_EQ(info.lengthSeconds, 1u);
    EXPECT_NEAR(info.lengthUnits, 1500, mp3 ? 30 : 0);
    EXPECT_EQ(info.seconds, 1u);

    const size_t from = m_card.Frames();
    ASSERT_TRUE(m_player->Start()) << ErrorOf(*m_player);
    EXPECT_TRUE(IsRunning(*m_player));

    // The position is what has been heard: it matches the sound that reached the line input.
    const long first = m_card.WaitForSound(from, kSilence, 3000);
    ASSERT_GE(first, 0);
    ASSERT_TRUE(m_card.WaitForFrames(static_cast<size_t>(first) + kRate * 7 / 10, 3000));
    // The capture reaches us late by its own latency, at times more so under a sanitizer: of a
    // few readings the closest counts. Counting what was sent instead of what was heard puts
    // every reading ahead by the server's buffer (~65 ms here).
    double ahead = 1e9, behind = -1e9;
    audio::Status status;
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(m_card.WaitForFrames(m_card.Frames() + kRate * 3 / 100, 1000));
        const size_t before = m_card.Frames();
        ASSERT_TRUE(m_player->GetStatus(status));
        const size_t after = m_card.Frames();
        ahead = std::min(ahead, status.positionUnits - (after - first) * 1000.0 / kRate);
        behind = std::max(behind, (before - first) * 1000.0 / kRate - status.positionUnits);
        EXPECT_NEAR(status.bytes / 192.0, status.positionUnits, 1);  // 192 bytes a millisecond
    }
    EXPECT_LT(ahead, 30);
    EXPECT_LT(behind, 30);
    int left = 0, right = 0;
    m_player->GetLevels(left, right);
    EXPECT_NEAR(left, 50, 3);
    EXPECT_NEAR(right, 50, 3);

    WaitForEnd(5000);
    m_player->GetLevels(left, right);
    EXPECT_EQ(left + right, 0);

    const std::vector<float> heard = m_card.Samples();
    const long last = LastAbove(heard, kSilence);
    EXPECT_NEAR((last - first) / double(kRate), 1.5, mp3 ? 0.03 : 0.01);
    const size_t mid = static_cast<size_t>(first) + kRate / 4;
    EXPECT_NEAR(Peak(heard, 0, mid, mid + kRate), 0.5, mp3 ? 0.03 : 0.01);
    EXPECT_NEAR(Peak(heard, 1, mid, mid + kRate), 0.5, mp3 ? 0.03 : 0.01);
    EXPECT_NEAR(Frequency(heard, 0, mid, mid + kRate), 440, 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, AudioPlaybackOfClips,
                         ::testing::Values(ClipCase{"WavFile", "wav", false},
                                           ClipCase{"Mp3File", "mp3", false},
                                           ClipCase{"WavMemory", "wav", true},
                                           ClipCase{"Mp3Memory", "mp3", true}),
                         [](const auto& test) { return std::string(test.param.name); });

// One second each of 300, 400, 500, 600 and 700 Hz: the pitch heard tells the position played.
std::vector<float> Steps() {
    return Tone(5, 0.5, [](double t) { return 300 + 100 * std::floor(t); });
}

TEST_F(AudioPlayback, SeekWhilePlayingMovesWhatIsHeardAndThePosition) {
    ASSERT_TRUE(m_player->Open(WriteWav("steps.wav", Steps()), 1000));
    const size_t from = m_card.Frames();
    ASSERT_TRUE(m_player->Start());
    ASSERT_TRUE(WaitUntil([&] { return PositionMs(*m_player) >= 500; }, 3000));
    const double heardBefore = PositionMs(*m_player) / 1000.0;
    const double target = 3.0;
    ASSERT_TRUE(m_player->Seek(2, &target, 1)) << ErrorOf(*m_player);
    EXPECT_NEAR(PositionMs(*m_player), 3000, 50);
    ASSERT_TRUE(WaitUntil([&] { return PositionMs(*m_player) >= 3300; }, 3000));
    EXPECT_LT(PositionMs(*m_player), 4000u);
    WaitForEnd(5000);

    // After the seek: one second of 600 Hz, then one of 700 Hz, and then the end.
    const std::vector<float> heard = m_card.Samples();
    const long first = FirstAbove(heard, kSilence, from);
    const auto last = static_cast<size_t>(LastAbove(heard, kSilence));
    EXPECT_NEAR(Frequency(heard, 0, last - kRate * 19 / 10, last - kRate * 11 / 10), 600, 1);
    EXPECT_NEAR(Frequency(heard, 0, last - kRate * 9 / 10, last - kRate / 10), 700, 1);
    // Before it, only what had been heard and the server's buffer of the first second.
    EXPECT_NEAR(Frequency(heard, 0, static_cast<size_t>(first), first + kRate * 4 / 10), 300, 1);
    EXPECT_LT((last - static_cast<size_t>(first)) / double(kRate), heardBefore + 2.0 + 0.3);
}

TEST_F(AudioPlayback, SeekBeforeStartPlaysFromThere) {
    ASSERT_TRUE(m_player->Open(WriteWav("steps.wav", Steps()), 1000));
    const double target = 4.0;
    ASSERT_TRUE(m_player->Seek(2, &target, 1));
    EXPECT_EQ(PositionMs(*m_player), 4000u);
    const size_t from = m_card.Frames();
    ASSERT_TRUE(m_player->Start());
    WaitForEnd(4000);
    const std::vector<float> heard = m_card.Samples();
    const long first = FirstAbove(heard, kSilence, from);
    const long last = LastAbove(heard, kSilence);
    EXPECT_NEAR((last - first) / double(kRate), 1.0, 0.01);
    EXPECT_NEAR(Frequency(heard, 0, first + kRate / 10, last - kRate / 10), 700, 1);
}

// Volume 50 before the start plays at half amplitude; (100, 25) while playing doubles the left
// and halves the right channel. The levels follow, measured after the volume.
TEST_F(AudioPlayback, VolumeScalesEachChannelLinearlyBeforeAndDuringPlayback) {
    ASSERT_TRUE(m_player->Open(WriteWav("tone.wav", Tone(2.5, 0.8, 440)), 1000));
    ASSERT_TRUE(m_player->SetVolume(50, 50));
    const size_t from = m_card.Frames();
    ASSERT_TRUE(m_player->Start());
    int left = 0, right = 0;
    ASSERT_TRUE(WaitUntil([&] { return PositionMs(*m_player) >= 800; }, 3000));
    m_player->GetLevels(left, right);
    EXPECT_NEAR(left, 40, 2);
    EXPECT_NEAR(right, 40, 2);
    ASSERT_TRUE(m_player->SetVolume(100, 25));
    EXPECT_TRUE(WaitUntil(
        [&] {
            m_player->GetLevels(left, right);
            return left == 80 && right == 20;
        },
        500))
        << left << " " << right;
    WaitForEnd(5000);

    const std::vector<float> heard = m_card.Samples();
    const auto first = static_cast<size_t>(FirstAbove(heard, kSilence, from));
    const auto last = static_cast<size_t>(LastAbove(heard, kSilence));
    const size_t before = first + kRate / 5, after = last - kRate * 6 / 10;
    const float l0 = Peak(heard, 0, before, before + kRate / 2);
    const float r0 = Peak(heard, 1, before, before + kRate / 2);
    EXPECT_NEAR(l0, 0.4, 0.01);
    EXPECT_NEAR(r0, 0.4, 0.01);
    EXPECT_NEAR(Peak(heard, 0, after, after + kRate / 2) / l0, 2.0, 0.03);
    EXPECT_NEAR(Peak(heard, 1, after, after + kRate / 2) / r0, 0.5, 0.015);
}

TEST_F(AudioPlayback, StopDiscardsWhatIsBufferedAndTellsNoEnd) {
    ASSERT_TRUE(m_player->Open(WriteWav("tone.wav", Tone(3, 0.5, 440)), 1000));
    const size_t from = m_card.Frames();
    ASSERT_TRUE(m_player->Start());
    ASSERT_TRUE(WaitUntil([&] { return PositionMs(*m_player) >= 500; }, 3000));
    const double heardAtStop = PositionMs(*m_player) / 1000.0;
    ASSERT_TRUE(m_player->Stop());
    EXPECT_FALSE(IsRunning(*m_player));
    EXPECT_EQ(PositionMs(*m_player), 0u);
    ASSERT_TRUE(m_card.WaitForFrames(m_card.Frames() + kRate / 2, 2000));
    EXPECT_EQ(m_ends.ends, 0);
    const std::vector<float> heard = m_card.Samples();
    const double played =
        (LastAbove(heard, kSilence) - FirstAbove(heard, kSilence, from)) / double(kRate);
    EXPECT_LT(played, heardAtStop + 0.25);  // at most the server's buffer after the stop

    // The clip stays open and plays again from its start.
    const size_t again = m_card.Frames();
    ASSERT_TRUE(m_player->Start());
    ASSERT_GE(m_card.WaitForSound(again, kSilence, 2000), 0);
    EXPECT_LT(PositionMs(*m_player), 300u);
}

TEST_F(AudioPlayback, OpeningAnotherClipStopsThePlayingOne) {
    ASSERT_TRUE(m_player->Open(WriteWav("a.wav", Tone(3, 0.5, 440)), 1000));
    ASSERT_TRUE(m_player->Start());
    ASSERT_TRUE(WaitUntil([&] { return PositionMs(*m_player) >= 300; }, 3000));
    const std::vector<float> b = Tone(0.6, 0.5, 880);
    ASSERT_TRUE(m_player->Open(WriteWav("b.wav", b), 1000));
    EXPECT_FALSE(IsRunning(*m_player));
    const size_t from = m_card.Frames();
    ASSERT_TRUE(m_player->Start());
    WaitForEnd(4000);
    // The first clip's end is never told: it did not play to its end.
    const std::vector<float> heard = m_card.Samples();
    const auto last = static_cast<size_t>(LastAbove(heard, kSilence));
    EXPECT_NEAR(Frequency(heard, 0, last - kRate / 2, last - kRate / 20), 880, 1);
    EXPECT_LT((last - static_cast<size_t>(FirstAbove(heard, kSilence, from))) / double(kRate),
              0.6 + 0.4);  // the first clip's buffered tail at most, not its rest
}

// The page's callback only posts an event, but Release from inside it must work too.
TEST_F(AudioPlayback, ReleaseFromInsideTheEndNotificationIsSafe) {
    struct Context {
        std::atomic<bool> released{false};
    } context;
    audio::IAudioStream* s = m_player.release();
    s->SetNotify(
        [](void* stream, void* ctx, uint32_t, uintptr_t, uintptr_t) {
            static_cast<audio::IAudioStream*>(stream)->Release();
            static_cast<Context*>(ctx)->released = true;
            return 0;
        },
        audio::kNotifyPlaybackEnded, &context);
    ASSERT_TRUE(s->Open(WriteWav("short.wav", Tone(0.05, 0.5, 440)), 1000));
    ASSERT_TRUE(s->Start());
    EXPECT_TRUE(WaitUntil([&] { return context.released.load(); }, 3000));
    // Gone once the callback returned: its sound-server thread ends with it.
    EXPECT_TRUE(WaitUntil([] { return ThreadsNamed("lw52-audio") == 0; }, 3000));
}

}  // namespace
