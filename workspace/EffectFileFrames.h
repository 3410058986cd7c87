#pragma once

#include <cstdint>
#include <vector>

#include "EffectFile.h"
#include "QvAudioProtocol.h"

// The frames of an effect file upload: one header frame (0x02), then the data frames of
// blocks 0x04, 0x06 and 0x16. A data frame carries whole entries in bytes 4..N-2 (N - 5
// payload bytes), so nothing reaches the checksum byte N-1 that the sender stamps later.
namespace lw52 {

constexpr int kMaxBlock04Entries = 4096;  // the rest of a longer block is not sent
constexpr int kMaxBlock06Entries = 2560;

// What an upload consists of, for callers that describe it.
struct EffectFileFrameInfo {
    int packetSize = 0;
    int perFrame04 = 0;  // entries per data frame
    int perFrame06 = 0;
    int perFrame16 = 0;
    int entries04 = 0;  // entries sent
    int entries06 = 0;
    int entries16 = 0;
    int dropped04 = 0;  // entries beyond the block limits
    int dropped06 = 0;
    int skipped16 = 0;  // entries with a zero among words 1..5
    int frames04 = 0;
    int frames06 = 0;
    int frames16 = 0;
    // False when the header's byte or frame counts cannot describe the data frames: a 0x04
    // block beyond its limit (its 24-bit size mixes the file's and the sent size) or 0x16
    // counts beyond 16 bits. A card checking the counts would refuse such an upload.
    bool headerMatchesData = true;

    int TotalFrames() const { return 1 + frames04 + frames06 + frames16; }
};

// file: as ParseEffectFile accepted it (CheckEffectFile holds). packetSize: the protocol's
// N, 40 or 64 (29..64 work). Returns no frames for a file that fails CheckEffectFile or an
// unusable packet size; otherwise the header frame first. Checksums are not stamped.
std::vector<Frame64> BuildEffectFileFrames(const EffectFile& file, uint16_t target, int packetSize,
                                           EffectFileFrameInfo* info = nullptr);

}  // namespace lw52
