#pragma once

#include <cstdint>

namespace upload {

// The 16-byte PCM format of a WAV "fmt " chunk.
struct PcmFormat {
    uint16_t formatTag = 1;  // 1: integer PCM
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t byteRate = 0;  // sampleRate x blockAlign
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
};

// Tag 1, the given channels and rate, 16 bits, byte rate and block align to match.
inline PcmFormat Pcm16(uint16_t channels, uint32_t sampleRate) {
    PcmFormat f;
    f.channels = channels;
    f.sampleRate = sampleRate;
    f.bitsPerSample = 16;
    f.blockAlign = static_cast<uint16_t>(channels * 2);
    f.byteRate = sampleRate * f.blockAlign;
    return f;
}

}  // namespace upload
