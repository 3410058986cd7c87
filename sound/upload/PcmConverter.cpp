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
    const size_t wanted = static_cast<size_t>(
        (uint64_t{frames} * kCardSampleRate + format.sampleRate / 2) / format.sampleRate);
    out.reserve(wanted * 2);

    soxr_t resampler = nullptr;
    if (format.sampleRate != kCardSampleRate) {
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        soxr_error_t error = nullptr;
        resampler =
            soxr_create(format.sampleRate, kCardSampleRate, 1, &error, &io, &quality, &runtime);
        if (error || !resampler) return false;
    }
    // Streamed in blocks: small buffers that stay in the cache instead of whole-clip ones.
    // A block is no longer than the clip: a very low source rate stretches a block into a
    // huge output, and the clip's own length is what bounds it.
    const size_t block = std::min<size_t>(16384, frames);
    std::vector<float> mono(block);
    std::vector<float> resampled(block * kCardSampleRate / format.sampleRate + 256);
    auto append = [&](const float* samples, size_t count) {
        const size_t at = out.size();
        count = std::min(count, wanted - at / 2);
        out.resize(at + 2 * count);
        uint8_t* to = out.data() + at;
        for (size_t i = 0; i < count; ++i) {
            const auto v = static_cast<uint16_t>(ToInt16(samples[i]));
            to[2 * i] = static_cast<uint8_t>(v & 0xFF);
            to[2 * i + 1] = static_cast<uint8_t>(v >> 8);
        }
    };
    // 16-bit sources, the decoder's own, are mixed without the general sample reader.
    auto mix = [&](size_t first, size_t count) {
        const uint8_t* at = data + first * width * channels;
        if (bits == 16 && channels == 2) {
            for (size_t i = 0; i < count; ++i, at += 4)
                mono[i] = (static_cast<int16_t>(at[0] | (at[1] << 8)) +
                           static_cast<int16_t>(at[2] | (at[3] << 8))) /
                          65536.0f;
        } else if (bits == 16) {
            for (size_t i = 0; i < count; ++i, at += 2)
                mono[i] = static_cast<int16_t>(at[0] | (at[1] << 8)) / 32768.0f;
        } else {
            for (size_t i = 0; i < count; ++i, at += width * channels)
                mono[i] = channels == 1 ? Sample(at, bits)
                                        : (Sample(at, bits) + Sample(at + width, bits)) / 2;
        }
    };
    bool ok = true;
    for (size_t first = 0; first < frames && ok; first += block) {
        const size_t count = std::min(block, frames - first);
        mix(first, count);
        if (!resampler) {
            append(mono.data(), count);
            continue;
        }
        size_t done = 0;
        ok = soxr_process(resampler, mono.data(), count, nullptr, resampled.data(),
                          resampled.size(), &done) == nullptr;
        append(resampled.data(), done);
    }
    // The filter's tail: asked for until it has nothing more.
    for (size_t done = 1; ok && resampler && done > 0;) {
        ok = soxr_process(resampler, nullptr, 0, nullptr, resampled.data(), resampled.size(),
                          &done) == nullptr;
        append(resampled.data(), done);
    }
    if (resampler) soxr_delete(resampler);
    if (!ok || out.empty()) {
        out.clear();
        return false;
    }
    // The resampler may end a sample short of the exact duration: the last one is repeated.
    while (out.size() < wanted * 2) {
        const uint8_t lo = out[out.size() - 2];
        const uint8_t hi = out[out.size() - 1];
        out.push_back(lo);
        out.push_back(hi);
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
