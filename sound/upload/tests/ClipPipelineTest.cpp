#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "ClipPipeline.h"
#include "LibmadDecoder.h"
#include "NotifyCenter.h"
#include "PcmConverter.h"
#include "TempDir.h"
#include "UploadVolume.h"
#include "WaveFile.h"

using upload::PrepareClip;
using upload::PrepareResult;

namespace {

std::string Fixture(const char* name) {
    return std::string(LW52_UPLOAD_FIXTURES) + "/" + name;
}

std::vector<double> Samples(const std::vector<uint8_t>& pcm) {
    std::vector<double> out(pcm.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8)) / 32768.0;
    return out;
}

// The clip as another decoder (libsndfile's) hears it: mixed to mono and taken to 48 kHz by
// linear interpolation, which is plenty for the low tones of the fixtures.
std::vector<double> ReferenceAt48k(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {};
    std::vector<double> frames(static_cast<size_t>(info.frames) * info.channels);
    const sf_count_t got = sf_readf_double(file, frames.data(), info.frames);
    sf_close(file);
    std::vector<double> mono(static_cast<size_t>(got));
    for (size_t i = 0; i < mono.size(); ++i) {
        double sum = 0;
        for (int c = 0; c < info.channels; ++c) sum += frames[i * info.channels + c];
        mono[i] = sum / info.channels;
    }
    std::vector<double> out;
    const double step = static_cast<double>(info.samplerate) / 48000;
    for (double t = 0; t + 1 < static_cast<double>(mono.size()); t += step) {
        const auto i = static_cast<size_t>(t);
        out.push_back(mono[i] + (mono[i + 1] - mono[i]) * (t - static_cast<double>(i)));
    }
    return out;
}

double Correlation(const std::vector<double>& a, const std::vector<double>& b, long lag,
                   size_t first, size_t count) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = first; i < first + count; ++i) {
        const long j = static_cast<long>(i) + lag;
        if (i >= a.size() || j < 0 || static_cast<size_t>(j) >= b.size()) continue;
        ab += a[i] * b[j];
        aa += a[i] * a[i];
        bb += b[j] * b[j];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

// Our output against the reference: the best alignment (decoders differ in the encoder delay
// they keep) found on a short window, then the correlation over the whole clip.
double BestCorrelation(const std::vector<double>& ours, const std::vector<double>& reference) {
    long bestLag = 0;
    double best = -1;
    for (long lag = -2500; lag <= 2500; ++lag) {
        const double c = Correlation(ours, reference, lag, 48000, 12000);
        if (c > best) best = c, bestLag = lag;
    }
    return Correlation(ours, reference, bestLag, 0, ours.size());
}

double Rms(const std::vector<double>& s) {
    double sum = 0;
    for (double v : s) sum += v * v;
    return s.empty() ? 0 : std::sqrt(sum / static_cast<double>(s.size()));
}

// Frequency of a steady tone from its rising zero crossings.
double ToneHz(const std::vector<double>& s, size_t first, size_t count) {
    int crossings = 0;
    for (size_t i = first + 1; i < first + count && i < s.size(); ++i)
        if (s[i - 1] < 0 && s[i] >= 0) ++crossings;
    return crossings * 48000.0 / static_cast<double>(count);
}

}  // namespace

TEST(UploadVolume, MasterPercentAndDecoderVolume) {
    struct Case {
        double level;
        int percent;
    };
    for (const Case& c : std::vector<Case>{{1.0, 100},
                                           {0.995, 100},
                                           {0.505, 51},
                                           {0.5, 51},
                                           {0.01, 2},
                                           {0.0099, 0},
                                           {0.004, 0},
                                           {0.0, 0}}) {
        EXPECT_EQ(upload::MasterPercent(c.level), c.percent) << c.level;
    }
    EXPECT_EQ(upload::DecoderVolume(50, 51), 25);
    EXPECT_EQ(upload::DecoderVolume(100, 100), 100);
    EXPECT_EQ(upload::DecoderVolume(33, 51), 16);
    EXPECT_EQ(upload::DecoderVolume(29, 100), 29);
    EXPECT_EQ(upload::DecoderVolume(70, 90), 63);
    EXPECT_EQ(upload::DecoderVolume(100, 0), 0);
}

TEST(ClipPipeline, StereoClipBecomesTwentySecondsOfMonoThatSoundsLikeTheSource) {
    TempDir dir;
    std::vector<uint8_t> full, quarter, silent;
    ASSERT_EQ(PrepareClip(Fixture("stereo30.mp3"), 0, 100, 1.0, full), PrepareResult::kOk);
    ASSERT_EQ(full.size(), 1920000u);
    const std::vector<double> ours = Samples(full);
    const std::vector<double> reference = ReferenceAt48k(Fixture("stereo30.mp3"));
    ASSERT_GT(reference.size(), ours.size());
    EXPECT_GT(BestCorrelation(ours, reference), 0.98);
    EXPECT_NEAR(Rms(ours) / Rms(std::vector<double>(reference.begin(), reference.begin() + 960000)),
                1.0, 0.03);

    // Pad volume 50 at master 0.505: decoder volume 25, a quarter of the amplitude.
    ASSERT_EQ(PrepareClip(Fixture("stereo30.mp3"), 0, 50, 0.505, quarter), PrepareResult::kOk);
    ASSERT_EQ(quarter.size(), full.size());
    EXPECT_NEAR(Rms(Samples(quarter)) / Rms(ours), 0.25, 0.005);

    // Master 0.004 counts as 0: the upload is silence of the same length.
    ASSERT_EQ(PrepareClip(Fixture("stereo30.mp3"), 0, 100, 0.004, silent), PrepareResult::kOk);
    ASSERT_EQ(silent.size(), full.size());
    EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(dir.Names().empty()) << "temporary files are deleted";
}

TEST(ClipPipeline, ShortAndLowRateClipsKeepTheirDurationAndPitch) {
    TempDir dir;
    std::vector<uint8_t> pcm;
    // 0.4 s at 44.1 kHz: every decoded sample arrives (libmad also outputs the encoder delay).
    ASSERT_EQ(PrepareClip(Fixture("short04.mp3"), 0, 100, 1.0, pcm), PrepareResult::kOk);
    EXPECT_GE(pcm.size(), 2u * 19200);
    EXPECT_LE(pcm.size(), 2u * 24000);
    EXPECT_NEAR(ToneHz(Samples(pcm), 4800, 9600), 660, 15);

    // 3 s of mono 22.05 kHz: 440 Hz then 880 Hz each half second, still at those pitches.
    ASSERT_EQ(PrepareClip(Fixture("mono22k.mp3"), 0, 100, 1.0, pcm), PrepareResult::kOk);
    EXPECT_NEAR(static_cast<double>(pcm.size()) / 96000, 3.06, 0.06);
    const std::vector<double> s = Samples(pcm);
    EXPECT_NEAR(ToneHz(s, 6000, 12000), 440, 10);
    EXPECT_NEAR(ToneHz(s, 30000, 12000), 880, 10);
    EXPECT_GT(BestCorrelation(s, ReferenceAt48k(Fixture("mono22k.mp3"))), 0.98);
    EXPECT_TRUE(dir.Names().empty());
}

TEST(ClipPipeline, NothingDecodedForTextMissingFilesAndUnknownClips) {
    TempDir dir;
    std::vector<uint8_t> pcm;
    EXPECT_EQ(PrepareClip(Fixture("nothing.mp3"), 0, 100, 1.0, pcm),
              PrepareResult::kNothingDecoded);
    EXPECT_EQ(PrepareClip(dir.path + "/missing.mp3", 0, 100, 1.0, pcm),
              PrepareResult::kNothingDecoded);
    EXPECT_EQ(PrepareClip("NO_SUCH_CLIP", 1, 100, 1.0, pcm), PrepareResult::kNothingDecoded);
    EXPECT_TRUE(pcm.empty());
    EXPECT_STREQ(upload::PrepareFailureText(PrepareResult::kNothingDecoded), "特效解码失败");
    EXPECT_TRUE(dir.Names().empty());
    // A built-in clip by its resource name decodes.
    EXPECT_EQ(PrepareClip("DJ_ZS", 1, 100, 1.0, pcm), PrepareResult::kOk);
    EXPECT_GT(pcm.size(), 9600u);
}

TEST(LibmadDecoder, WorkerReportsTheWavFileThroughTheEventQueue) {
    TempDir dir;
    CNotifyCenter center;
    auto gate = std::make_shared<CNotifyGate>(center);
    struct Seen {
        const void* sender;
        int status;
        std::string wavPath;
    };
    std::vector<Seen> seen;
    center.Subscribe(EventDecoderFinsh::kId, EventDecoderFinsh::kName, [&](EventArgs& e) {
        auto& event = static_cast<EventDecoderFinsh&>(e);
        seen.push_back({event.Sender(), event.status, event.wavPath});
    });
    upload::CLibmadDecoder decoder;
    ASSERT_NE(decoder.Start(Fixture("stereo30.mp3"), 100, 0, gate), 0);
    for (int i = 0; i < 100 && seen.empty(); ++i) center.PumpFor(100);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].sender, &decoder);
    EXPECT_EQ(seen[0].status, 1);
    ASSERT_EQ(dir.Names().size(), 1u) << "the raw file is gone, the WAV is left";
    EXPECT_EQ(seen[0].wavPath.rfind(dir.path + "/QvWavForm", 0), 0u) << seen[0].wavPath;
    upload::CWaveFile wav;
    ASSERT_TRUE(wav.Open(seen[0].wavPath));
    // 20 s are reached inside a frame: decoding stops after it.
    const uint32_t twenty = 20 * 44100 * 4;
    EXPECT_GE(wav.DataLength(), twenty);
    EXPECT_LT(wav.DataLength(), twenty + 1152 * 4);
    wav.Close();

    ASSERT_NE(decoder.Start(Fixture("nothing.mp3"), 100, 0, gate), 0);
    for (int i = 0; i < 100 && seen.size() < 2; ++i) center.PumpFor(100);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].status, 0);
    EXPECT_TRUE(dir.Names().empty()) << "a new start cleans up the last run";

    // A decoder dropped while it works reports nothing and leaves nothing behind.
    ASSERT_NE(decoder.Start(Fixture("stereo30.mp3"), 100, 0, gate), 0);
    decoder.Cleanup();
    center.PumpFor(50);
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_TRUE(dir.Names().empty());
}
