#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "PcmFormat.h"

namespace upload {

// Clips longer than this are loaded only this far: 20 seconds of MP3 at the highest bit rate
// take under 1 MiB, so this only guards against a huge file being read into memory.
constexpr size_t kMaxMp3Input = 64u << 20;

// The MP3 bytes of a source: a built-in clip by its resource name (resourceFlag 1) or a file.
// Empty when nothing could be loaded.
std::vector<uint8_t> LoadMp3(const std::string& source, int resourceFlag);

struct Mp3Pcm {
    PcmFormat format;           // of the first decoded frame; 16-bit
    uint64_t totalSamples = 0;  // per channel
    bool ok = false;            // libmad ended without a failure
};

// Decodes MP3 bytes with libmad into 16-bit little-endian PCM appended to out: each sample is
// rounded (+4096), clipped, shifted to 16 bits, multiplied by gain and truncated. Decoding stops
// after the frame that brings the whole seconds decoded to maxSeconds, or when stop is set.
// A leading ID3v2 tag is skipped; frames whose rate or channel count differ from the first
// are dropped (junk after a lost sync must not garble the rest).
Mp3Pcm DecodeMp3(const std::vector<uint8_t>& mp3, double gain, int maxSeconds, FILE* out,
                 const std::atomic<bool>* stop = nullptr);

}  // namespace upload
