#include "EffectFileAssembler.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace lw52::emu {
namespace {

constexpr uint8_t kBlockCodes[3] = {CMD_EFFECT_BLOCK_04, CMD_EFFECT_BLOCK_06, CMD_EFFECT_BLOCK_16};

int BlockIndex(uint8_t code) {
    for (int i = 0; i < 3; ++i)
        if (kBlockCodes[i] == code) return i;
    return -1;
}

int Be16(const uint8_t* p) {
    return (p[0] << 8) | p[1];
}
int Be24(const uint8_t* p) {
    return (p[0] << 16) | (p[1] << 8) | p[2];
}

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
    char text[160];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

}  // namespace

uint32_t BlockHash(const std::vector<uint8_t>& bytes) {
    uint32_t hash = 2166136261u;
    for (uint8_t b : bytes) hash = (hash ^ b) * 16777619u;
    return hash;
}

int CEffectFileAssembler::BytesPerFrame(uint8_t code, int packetSize) {
    const int entrySize = code == CMD_EFFECT_BLOCK_16 ? 24 : 8;
    const int payload = packetSize - 5;  // bytes 4..N-2
    return payload / entrySize * entrySize;
}

void CEffectFileAssembler::OnHeader(const uint8_t* frame) {
    if (m_upload.status == EffectFileUpload::kReceiving) ++m_failed;  // abandoned by the host
    m_upload = EffectFileUpload{};
    m_upload.status = EffectFileUpload::kReceiving;
    m_upload.target = Be16(frame + 4);

    const int frameCounts[3] = {Be16(frame + 6), Be16(frame + 11), Be16(frame + 17)};
    const int byteCounts[3] = {Be24(frame + 8), Be16(frame + 13), Be16(frame + 19)};
    for (int i = 0; i < 3; ++i) {
        EffectBlock& block = m_upload.blocks[static_cast<size_t>(i)];
        block.code = kBlockCodes[i];
        block.expectedFrames = frameCounts[i];
        block.expectedBytes = byteCounts[i];
    }
    if (m_upload.target > 3) {
        Fail(Format("target %d out of range", m_upload.target));
        return;
    }
    for (const EffectBlock& block : m_upload.blocks) {
        const int perFrame = BytesPerFrame(block.code, m_packetSize);
        const int needed = (block.expectedBytes + perFrame - 1) / perFrame;
        if (needed != block.expectedFrames) {
            Fail(Format("block 0x%02X: header announces %d frames for %d bytes, %d needed",
                        block.code, block.expectedFrames, block.expectedBytes, needed));
            return;
        }
    }
    FinishIfComplete();
}

void CEffectFileAssembler::OnBlockFrame(const uint8_t* frame) {
    const uint8_t code = frame[0];
    const int index = Be16(frame + 1);
    switch (m_upload.status) {
        case EffectFileUpload::kNone:
            Fail(Format("block 0x%02X frame %d without a header", code, index));
            return;
        case EffectFileUpload::kFailed:
            return;  // keep the first reason
        case EffectFileUpload::kOk:
        case EffectFileUpload::kReceiving:
            break;
    }
    EffectBlock& block = m_upload.blocks[static_cast<size_t>(BlockIndex(code))];
    if (block.receivedFrames >= block.expectedFrames) {
        Fail(Format("block 0x%02X: frame %d beyond the %d announced", code, index,
                    block.expectedFrames));
        return;
    }
    if (index != block.receivedFrames) {
        Fail(
            Format("block 0x%02X: frame index %d, expected %d", code, index, block.receivedFrames));
        return;
    }
    const int perFrame = BytesPerFrame(code, m_packetSize);
    const int take = std::min(perFrame, block.expectedBytes - static_cast<int>(block.bytes.size()));
    block.bytes.insert(block.bytes.end(), frame + 4, frame + 4 + take);
    ++block.receivedFrames;
    FinishIfComplete();
}

void CEffectFileAssembler::Fail(const std::string& reason) {
    m_upload.status = EffectFileUpload::kFailed;
    m_upload.error = reason;
    ++m_failed;
}

// The header pinned each block's frame count to its byte count, so complete frame counts
// mean complete blocks.
void CEffectFileAssembler::FinishIfComplete() {
    for (const EffectBlock& block : m_upload.blocks)
        if (block.receivedFrames < block.expectedFrames) return;
    m_upload.status = EffectFileUpload::kOk;
    ++m_completed;
}

}  // namespace lw52::emu
