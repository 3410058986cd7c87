#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "QvAudioProtocol.h"

// Parameter frames: 0x94 (mixer parameters) and 0x96 (effect parameters behind the leading
// effect-number entry). Entries are 3 bytes (id; tag << 4 | value bits 11..8; bits 7..0).
// Frames are composed in 64-byte buffers; byte 62 = 1 marks the last frame of a transfer.
// How many entries a frame carries follows the packet size N, so that entries never reach
// the checksum byte (N-1) or byte 62: a card with 40-byte reports gets every entry.
namespace lw52 {

using ParamPair = std::pair<int, int>;  // (id, raw value)

// Entries per 0x94 frame: floor((min(N-1, 62) - 5) / 3) -> 19 at N=64, 11 at N=40.
int MaxSetParamsEntries(int packetSize);
// Entries per 0x96 frame including the leading one: floor((min(N-1, 62) - 6) / 3)
// -> 18 at N=64, 11 at N=40.
int MaxSetEffectEntries(int packetSize);

void EncodeEntry(uint8_t* at, int id, int value);
// Decodes an entry; the high nibble of the middle byte is ignored.
ParamPair DecodeEntry(const uint8_t* at);

// entries in ascending id order.
std::vector<Frame64> BuildSetParamsFrames(const std::vector<ParamPair>& entries, int packetSize);
// effectValue: the value of the leading parameter-4 entry; others: parameter 4 excluded.
std::vector<Frame64> BuildSetEffectFrames(int effectValue, const std::vector<ParamPair>& others,
                                          uint8_t target, int packetSize);

}  // namespace lw52
