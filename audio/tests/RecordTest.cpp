// Recording to MP3: the writer on its own (bytes reach the file as they come, a full disk), and
// the recorder on the private sound server (what the card plays comes back as an MP3 of the
// recorded length and pitch, at the source's rate; files that cannot be written).
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "DeviceFilter.h"
#include "Mp3TestKit.h"
#include "Mp3Writer.h"
#include "PulseTest.h"

using namespace audiokit;

namespace {

constexpr uint32_t kMp3BytesPerSecond = 24000;  // 192 kbps
const std::vector<double> kOtherPitches = {300, 600, 880};

uint64_t FileSize(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : size;
}

// Every byte the encoder hands out is in the file when Write returns, never more than 0.1 s of
// audio behind; the stream is 24000 bytes a second at the input's rate and decodes to the input's
// length and pitch (plus the encoder's delay and the last frame's padding), mono as two equal
// channels.
TEST(Mp3Writer, WritesAsTheAudioComesAndTheFileDecodesToIt) {
    TempDir dir;
    const struct {
        int rate;
        int channels;
    } cases[] = {{44100, 2}, {48000, 2}, {48000, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " channels");
        const std::string path = dir.Path() + "/tone.mp3";
        const auto channels = static_cast<size_t>(c.channels);
        const std::vector<float> tone = Tone(2, 0.5, 440, c.channels, c.rate);
        const size_t frames = tone.size() / channels;
        audio::Mp3Writer writer;
        std::string error;
        ASSERT_TRUE(writer.Open(path, c.rate, c.channels, error)) << error;
        const auto block = static_cast<size_t>(c.rate / 50);  // 20 ms, as a capture hands it over
        for (size_t f = 0; f < frames; f += block) {
            const size_t n = std::min(block, frames - f);
            ASSERT_TRUE(writer.Write(&tone[f * channels], n, error)) << error;
            ASSERT_EQ(FileSize(path), writer.BytesWritten()) << "after frame " << f;
            const double seconds = static_cast<double>(f + n) / c.rate;
            ASSERT_GE(static_cast<double>(writer.BytesWritten()),
                      (seconds - 0.1) * kMp3BytesPerSecond)
                << "after frame " << f;
        }
        ASSERT_TRUE(writer.Close(error)) << error;
        EXPECT_EQ(FileSize(path), writer.BytesWritten());

        const mp3kit::Decoded d = mp3kit::Decode(path);
        ASSERT_EQ(d.error, "");
        EXPECT_EQ(d.rate, c.rate);
        EXPECT_EQ(d.channels, 2);
        EXPECT_GE(d.Seconds(), 2.0);
        EXPECT_LE(d.Seconds(), 2.06);
        EXPECT_NEAR(static_cast<double>(writer.BytesWritten()) / kMp3BytesPerSecond, d.Seconds(),
                    0.005);
        const auto edge = static_cast<size_t>(c.rate / 10);
        for (int ch = 0; ch < 2; ++ch)
            EXPECT_GT(mp3kit::Dominance(d, ch, 440, kOtherPitches, edge, d.Frames() - edge), 100)
                << "channel " << ch;
    }
}

TEST(Mp3Writer, AFullDiskEndsTheWritingAndFilesThatCannotBeMadeAreRefused) {
    TempDir dir;
    audio::Mp3Writer writer;
    std::string error;
    if (access("/dev/full", W_OK) == 0) {
        ASSERT_TRUE(writer.Open("/dev/full", 48000, 2, error)) << error;
        const std::vector<float> tone = Tone(0.5, 0.5, 440);
        EXPECT_FALSE(writer.Write(tone.data(), tone.size() / 2, error));
        EXPECT_EQ(error, "disk full: cannot write /dev/full");
        error.clear();
        EXPECT_FALSE(writer.Write(tone.data(), 960, error)) << "no write after a failed one";
        EXPECT_EQ(error, "disk full: cannot write /dev/full");
        error.clear();
        EXPECT_FALSE(writer.Close(error));
        EXPECT_EQ(error, "disk full: cannot write /dev/full");
        EXPECT_FALSE(writer.IsOpen());
    }
    const std::string missing = dir.Path() + "/missing/out.mp3";
    EXPECT_FALSE(writer.Open(missing, 48000, 2, error));
    EXPECT_EQ(error, "cannot create " + missing + ": No such file or directory");
    EXPECT_FALSE(writer.Open(dir.Path() + "/out.mp3", 22050, 2, error));
    EXPECT_EQ(error, "cannot write MP3 at 22050 Hz (44100 or 48000 only)");
}

class AudioRecording : public PulseTest {
  protected:
    // A recorder on the input whose name contains filter, open, recording to path.
    StreamPtr OpenRecorder(const std::string& filter, const std::string& path) {
        StreamPtr recorder(audio::CreateAudioStream());
        recorder->SetOption(1, 100);
        EXPECT_GE(audio::SelectDeviceByFilter(*recorder, false, filter), 0) << filter;
        EXPECT_TRUE(recorder->Open(audio::kLineInputUrl, 1000)) << ErrorOf(*recorder);
        EXPECT_TRUE(recorder->RecordToFile(path, 1, 0)) << ErrorOf(*recorder);
        return recorder;
    }

    static audio::Status StatusOf(audio::IAudioStream& s) {
        audio::Status status;
        s.GetStatus(status);
        return status;
    }

    // Waits until the status counts seconds of recording or the recording stopped.
    static bool WaitForRecorded(audio::IAudioStream& s, double seconds) {
        return WaitUntil(
            [&] { return StatusOf(s).bytes >= seconds * kMp3BytesPerSecond || !IsRunning(s); },
            15000);
    }
};

// The card plays a 440 Hz tone, its line input is recorded for 3 s: the MP3 holds the tone at
// the line input's rate for that long. Until Start the capture only feeds the levels; while
// recording the file always holds what the status counts.
TEST_F(AudioRecording, TheCardsOutputComesBackAsAnMp3OfTheRecordedLengthAndPitch) {
    StreamPtr player(audio::CreateAudioStream());
    ASSERT_EQ(audio::SelectDeviceByFilter(*player, true, "LW52"), 0);
    const std::string clip = m_dir.Path() + "/tone.wav";
    ASSERT_TRUE(WriteClip(clip, "wav", Tone(20, 0.5, 440)));
    ASSERT_TRUE(player->Open(clip, 1000)) << ErrorOf(*player);
    ASSERT_TRUE(player->Start()) << ErrorOf(*player);

    const std::string path = m_dir.Path() + "/out.mp3";
    StreamPtr recorder = OpenRecorder("LW52", path);
    ASSERT_FALSE(HasFailure());
    audio::MediaInfo media;
    ASSERT_TRUE(recorder->GetMediaInfo(media));
    EXPECT_EQ(media.bytesPerSecond, kMp3BytesPerSecond);
    int left = 0, right = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            recorder->GetLevels(left, right);
            return left >= 40 && right >= 40;
        },
        5000))
        << left << " " << right;
    // Another 0.3 s reaches the input: enough for the encoder to hand out frames, had it any.
    const uint32_t heard = PositionMs(*player);
    ASSERT_TRUE(WaitUntil([&] { return PositionMs(*player) >= heard + 300; }, 5000));
    EXPECT_FALSE(IsRunning(*recorder));
    EXPECT_EQ(StatusOf(*recorder).bytes, 0u);
    EXPECT_EQ(FileSize(path), 0u);

    ASSERT_TRUE(recorder->Start()) << ErrorOf(*recorder);
    EXPECT_TRUE(IsRunning(*recorder));
    ASSERT_TRUE(WaitForRecorded(*recorder, 3));
    ASSERT_TRUE(IsRunning(*recorder)) << ErrorOf(*recorder);
    const audio::Status status = StatusOf(*recorder);
    EXPECT_GE(FileSize(path), status.bytes);
    EXPECT_EQ(status.positionUnits, status.bytes * 1000 / kMp3BytesPerSecond);
    EXPECT_EQ(status.hours * 3600 + status.minutes * 60 + status.seconds, 3u);
    recorder->GetLevels(left, right);
    EXPECT_GE(left, 40);
    EXPECT_GE(right, 40);

    ASSERT_TRUE(recorder->Stop()) << ErrorOf(*recorder);
    EXPECT_FALSE(IsRunning(*recorder));
    EXPECT_EQ(FileSize(path), StatusOf(*recorder).bytes) << "the last frames count too";
    const mp3kit::Decoded d = mp3kit::Decode(path);
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.rate, 48000);
    EXPECT_EQ(d.channels, 2);
    EXPECT_NEAR(d.Seconds(), 3.0, 0.2);
    for (int ch = 0; ch < 2; ++ch)
        EXPECT_GT(mp3kit::Dominance(d, ch, 440, kOtherPitches, 4800, d.Frames() - 4800), 100)
            << "channel " << ch;
}

// The capture runs at the source's own rate when an MP3 can have it, else at 44100 Hz. The
// selected input going away ends the recording by itself (the server does not move it to
// another input) with the reason, and the file is complete.
TEST_F(AudioRecording, TheFileHasTheSourcesRateAndEndsWhenTheSourceGoesAway) {
    if (access("/usr/bin/pactl", X_OK) != 0) GTEST_SKIP() << "pactl is not installed";
    const struct {
        int source;
        long file;
    } cases[] = {{44100, 44100}, {48000, 48000}, {32000, 44100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.source) + " Hz");
        const RunResult loaded = RunProgram(
            "/usr/bin/pactl", {"load-module", "module-null-source", "source_name=rate_in",
                               "rate=" + std::to_string(c.source)});
        ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
        const std::string path = m_dir.Path() + "/rate.mp3";
        StreamPtr recorder = OpenRecorder("rate_in", path);
        ASSERT_TRUE(recorder->Start()) << ErrorOf(*recorder);
        EXPECT_TRUE(WaitForRecorded(*recorder, 0.5));
        const RunResult unloaded = RunProgram(
            "/usr/bin/pactl", {"unload-module", loaded.out.substr(0, loaded.out.find('\n'))});
        ASSERT_EQ(unloaded.exitCode, 0) << unloaded.err;
        EXPECT_TRUE(WaitUntil([&] { return !IsRunning(*recorder); }, 5000));
        EXPECT_EQ(ErrorOf(*recorder), "input device gone: rate_in");
        EXPECT_EQ(FileSize(path), StatusOf(*recorder).bytes);
        const mp3kit::Decoded d = mp3kit::Decode(path);
        ASSERT_EQ(d.error, "");
        EXPECT_EQ(d.rate, c.file);
        EXPECT_GE(d.Seconds(), 0.5);
    }
}

// A file that cannot be made refuses RecordToFile; a write that fails (/dev/full: every write
// ends in ENOSPC) stops the recording by itself, and the reason outlives the status and media
// questions a page asks first.
TEST_F(AudioRecording, FilesThatCannotBeWrittenRefuseOrEndTheRecordingWithTheReason) {
    StreamPtr closed(audio::CreateAudioStream());
    EXPECT_FALSE(closed->RecordToFile(m_dir.Path() + "/out.mp3", 1, 0));
    EXPECT_EQ(ErrorOf(*closed), "the line input is not open");

    const std::string missing = m_dir.Path() + "/missing/out.mp3";
    StreamPtr recorder = OpenRecorder("LW52", m_dir.Path() + "/first.mp3");
    ASSERT_FALSE(HasFailure());
    EXPECT_FALSE(recorder->RecordToFile(missing, 1, 0));
    EXPECT_EQ(ErrorOf(*recorder), "cannot create " + missing + ": No such file or directory");

    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(recorder->RecordToFile("/dev/full", 1, 0)) << ErrorOf(*recorder);
    ASSERT_TRUE(recorder->Start()) << ErrorOf(*recorder);
    ASSERT_TRUE(WaitUntil([&] { return !IsRunning(*recorder); }, 10000));
    audio::MediaInfo media;
    EXPECT_TRUE(recorder->GetMediaInfo(media));
    EXPECT_EQ(StatusOf(*recorder).bytes, 0u);
    EXPECT_EQ(ErrorOf(*recorder), "disk full: cannot write /dev/full");
    EXPECT_FALSE(recorder->Start());
    EXPECT_EQ(ErrorOf(*recorder), "disk full: cannot write /dev/full");
    EXPECT_TRUE(recorder->Stop());
}

}  // namespace
