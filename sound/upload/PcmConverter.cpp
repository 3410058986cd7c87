#include "PcmConverter.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "WaveFile.h"

namespace upload {
namespace {

float Sample(const uint8_t* at, int bits) {
    switch (bits) {
        case 8:
            return (at[0] - 128) / 128.0f;
        case 16:
            return static_cast<int16_t>(at[0] | (at[1] << 8)) / 32768.0f;
        default: {
            const auto v = static_cast<int32_t>(at[0] | (at[1] << 8) | (at[2] << 16) |
                                                (static_cast<uint32_t>(at[3]) << 24));
            return static_cast<float>(v / 2147483648.0);
        }
    }
}

int16_t ToInt16(float v) {
    const float scaled = std::nearbyint(v * 32768.0f);
    return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

}  // namespace

bool ConvertToCardPcm(const PcmFormat& format, const uint8_t* data, size_t bytes,
                      std::vector<uint8_t>& out) {
    out.clear();
    const int bits = format.bitsPerSample;
    const int channels = format.channels;
    if (format.formatTag != 1 || (channels != 1 && channels != 2) ||
        (bits != 8 && bits != 16 && bits != 32) || format.sampleRate == 0)
        return false;
    const size_t width = static_cast<size_t>(bits / 8);
    const size_t frames = bytes / (width * channels);
    if (frames == 0) return true;

    std::vector<float> mono(frames);
    for (size_t i = 0; i < frames; ++i) {
        const uint8_t* at = data + i * width * channels;
        mono[i] =
            channels == 1 ? Sample(at, bits) : (Sample(at, bits) + Sample(at + width, bits)) / 2;
    }
    const size_t wanted = static_cast<size_t>(
        (uint64_t{frames} * kCardSampleRate + format.sampleRate / 2) / format.sampleRate);
    std::vector<float> resampled(wanted + 64);
    size_t done = 0;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    if (format.sampleRate == kCardSampleRate) {
        resampled.assign(mono.begin(), mono.end());
        done = frames;
    } else if (soxr_oneshot(format.sampleRate, kCardSampleRate, 1, mono.data(), frames, nullptr,
                            resampled.data(), resampled.size(), &done, &io, &quality,
                            nullptr) != nullptr) {
        return false;
    }
    // The resampler may end a sample short or long of the exact duration: the length is the
    // source's, padded with the last sample or cut.
    if (done == 0) return false;
    if (done < wanted)
        std::fill(resampled.begin() + done, resampled.begin() + wanted, resampled[done - 1]);
    out.resize(wanted * 2);
    for (size_t i = 0; i < wanted; ++i) {
        const auto v = static_cast<uint16_t>(ToInt16(resampled[i]));
        out[2 * i] = static_cast<uint8_t>(v & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    return true;
}

bool LoadAndConvert(const std::string& wavPath, std::vector<uint8_t>& out) {
    out.clear();
    CWaveFile wav;
    if (!wav.Open(wavPath)) return false;
    const PcmFormat& format = wav.Format();
    const size_t limit = size_t{kMaxSourceSeconds} * format.byteRate;
    const size_t bytes = std::min<size_t>(wav.DataLength(), limit);
    return ConvertToCardPcm(format, wav.Data(), bytes, out);
}

}  // namespace upload
