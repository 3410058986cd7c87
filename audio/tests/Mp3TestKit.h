#pragma once

#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <string>
#include <vector>

// Reads back MP3 files the recorder wrote (libmpg123, an independent decoder) and measures
// tones in them. Header-only: the test programs that use it link libmpg123 themselves.
namespace mp3kit {

struct Decoded {
    std::string error;  // empty when the whole file decoded
    long rate = 0;
    int channels = 0;
    std::vector<float> samples;  // interleaved
    size_t Frames() const {
        return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0;
    }
    double Seconds() const { return rate > 0 ? static_cast<double>(Frames()) / rate : 0; }
};

inline Decoded Decode(const std::string& path) {
    Decoded out;
    mpg123_init();
    int code = MPG123_OK;
    mpg123_handle* h = mpg123_new(nullptr, &code);
    if (!h) {
        out.error = mpg123_plain_strerror(code);
        return out;
    }
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(h);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i)
        mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    if (mpg123_open(h, path.c_str()) != MPG123_OK) {
        out.error = mpg123_strerror(h);
        mpg123_delete(h);
        return out;
    }
    std::vector<unsigned char> chunk(65536);
    for (;;) {
        size_t got = 0;
        code = mpg123_read(h, chunk.data(), chunk.size(), &got);
        const auto* first = reinterpret_cast<const float*>(chunk.data());
        out.samples.insert(out.samples.end(), first, first + got / sizeof(float));
        if (code == MPG123_NEW_FORMAT) {
            int encoding = 0;
            mpg123_getformat(h, &out.rate, &out.channels, &encoding);
        } else if (code == MPG123_DONE) {
            break;
        } else if (code != MPG123_OK) {
            out.error = mpg123_strerror(h);
            break;
        }
    }
    mpg123_close(h);
    mpg123_delete(h);
    return out;
}

// Power of one channel at hz over frames [from, to) (Goertzel).
inline double Power(const Decoded& d, int channel, double hz, size_t from, size_t to) {
    const double k = 2 * std::cos(2 * std::numbers::pi * hz / static_cast<double>(d.rate));
    double s1 = 0, s2 = 0;
    const auto channels = static_cast<size_t>(d.channels);
    for (size_t f = from; f < to && f < d.Frames(); ++f) {
        const double s = d.samples[f * channels + static_cast<size_t>(channel)] + k * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return s1 * s1 + s2 * s2 - k * s1 * s2;
}

// How many times stronger hz is than the strongest of the others (over the channel's frames
// [from, to)).
inline double Dominance(const Decoded& d, int channel, double hz, const std::vector<double>& others,
                        size_t from, size_t to) {
    double strongest = 1e-30;
    for (const double o : others) strongest = std::max(strongest, Power(d, channel, o, from, to));
    return Power(d, channel, hz, from, to) / strongest;
}

}  // namespace mp3kit
