#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PcmFormat.h"

namespace upload {

constexpr uint32_t kCardSampleRate = 48000;
constexpr int kMaxSourceSeconds = 20;

// Converts integer PCM (1 or 2 channels, 8, 16 or 32 bits) to 48 kHz mono 16-bit: stereo
// becomes the average of its channels, the rate is changed by libsoxr at high quality, and
// the result lasts as long as the source (n source frames give n x 48000 / rate frames,
// rounded). False when the format is not one of those or the resampler fails.
bool ConvertToCardPcm(const PcmFormat& format, const uint8_t* data, size_t bytes,
                      std::vector<uint8_t>& out);

// Reads a WAV file, takes at most its first 20 seconds and converts them as above. False
// (out empty) when the file is not a WAV this program reads or the conversion fails.
bool LoadAndConvert(const std::string& wavPath, std::vector<uint8_t>& out);

}  // namespace upload
