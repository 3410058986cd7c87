#include "ParamFrames.h"

#include <algorithm>

#include "FrameDefs.h"
#include "ParamTable.h"

namespace lw52 {
namespace {
constexpr int kLastFrameFlagByte = 62;

int UsableEnd(int packetSize) {
    return std::min(packetSize - 1, kLastFrameFlagByte);
}
}  // namespace

int MaxSetParamsEntries(int packetSize) {
    return (UsableEnd(packetSize) - 5) / 3;
}
int MaxSetEffectEntries(int packetSize) {
    return (UsableEnd(packetSize) - 6) / 3;
}

void EncodeEntry(uint8_t* at, int id, int value) {
    const int tag = id >= 0 && id < kParamCount ? Param(id).entryTag : 1;
    at[0] = static_cast<uint8_t>(id);
    at[1] = static_cast<uint8_t>(((tag & 0x0F) << 4) | ((value >> 8) & 0x0F));
    at[2] = static_cast<uint8_t>(value & 0xFF);
}

ParamPair DecodeEntry(const uint8_t* at) {
    return {at[0], ((at[1] & 0x0F) << 8) | at[2]};
}

std::vector<Frame64> BuildSetParamsFrames(const std::vector<ParamPair>& entries, int packetSize) {
    std::vector<Frame64> frames;
    const size_t perFrame = static_cast<size_t>(MaxSetParamsEntries(packetSize));
    for (size_t first = 0; first < entries.size(); first += perFrame) {
        const size_t count = std::min(perFrame, entries.size() - first);
        Frame64 frame{};
        frame[0] = CMD_SET_PARAMS;
        frame[2] = static_cast<uint8_t>(frames.size());
        frame[4] = static_cast<uint8_t>(count);
        for (size_t i = 0; i < count; ++i)
            EncodeEntry(&frame[5 + 3 * i], entries[first + i].first, entries[first + i].second);
        frames.push_back(frame);
    }
    if (!frames.empty()) frames.back()[kLastFrameFlagByte] = 1;
    return frames;
}

std::vector<Frame64> BuildSetEffectFrames(int effectValue, const std::vector<ParamPair>& others,
                                          uint8_t target, int packetSize) {
    std::vector<Frame64> frames;
    const size_t perFrame = static_cast<size_t>(MaxSetEffectEntries(packetSize) - 1);
    size_t first = 0;
    do {
        const size_t count = std::min(perFrame, others.size() - first);
        Frame64 frame{};
        frame[0] = CMD_SET_EFFECT_PARAMS;
        frame[2] = static_cast<uint8_t>(frames.size());
        frame[4] = target;
        frame[5] = static_cast<uint8_t>(count + 1);
        EncodeEntry(&frame[6], kParamEffect, effectValue);
        for (size_t i = 0; i < count; ++i)
            EncodeEntry(&frame[9 + 3 * i], others[first + i].first, others[first + i].second);
        frames.push_back(frame);
        first += count;
    } while (first < others.size());
    frames.back()[kLastFrameFlagByte] = 1;
    return frames;
}

}  // namespace lw52
