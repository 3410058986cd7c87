#pragma once

#include <cstddef>
#include <cstdint>

// The frame checksum: c = 0; for each byte b, c = T[b ^ c]; result ~c. T is linear over
// XOR and is not the table of a published CRC-8.
namespace lw52 {

extern const uint8_t kChecksumTable[256];

uint8_t Checksum(const uint8_t* data, size_t length);

// Writes the checksum of bytes 0..packetSize-2 into byte packetSize-1.
void StampChecksum(uint8_t* frame, int packetSize);
// True when byte packetSize-1 holds the checksum of bytes 0..packetSize-2.
bool ChecksumMatches(const uint8_t* frame, int packetSize);

}  // namespace lw52
