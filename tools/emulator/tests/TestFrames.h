#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "CardModel.h"
#include "Checksum.h"

// Host-side frame building for the emulator's tests.
namespace lw52::emu::test {

// A request of packet size n: bytes set at the given positions, checksum stamped.
inline Frame Request(int n, std::initializer_list<std::pair<int, int>> bytes) {
    Frame frame(static_cast<size_t>(n), 0);
    for (const auto& [at, value] : bytes)
        frame[static_cast<size_t>(at)] = static_cast<uint8_t>(value);
    StampChecksum(frame.data(), n);
    return frame;
}

inline void Restamp(Frame& frame) {
    StampChecksum(frame.data(), static_cast<int>(frame.size()));
}

// Writes entries in wire form from byte `at`.
inline void PutEntries(Frame& frame, int at, const std::vector<ParamEntry>& entries) {
    for (const ParamEntry& e : entries) {
        frame[static_cast<size_t>(at++)] = e.id;
        frame[static_cast<size_t>(at++)] = static_cast<uint8_t>(0x10 | (e.value >> 8));
        frame[static_cast<size_t>(at++)] = static_cast<uint8_t>(e.value & 0xFF);
    }
}

// Hands one frame to the model; returns its replies.
inline std::vector<Frame> Send(CCardModel& model, const Frame& frame) {
    std::vector<Frame> replies;
    model.HandleHostReport(frame.data(), static_cast<int>(frame.size()), replies);
    return replies;
}

// Deterministic filler bytes.
inline std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    return bytes;
}

}  // namespace lw52::emu::test
