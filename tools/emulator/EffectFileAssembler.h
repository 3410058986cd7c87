#pragma once

#include <cstdint>

#include "CardState.h"

// Reassembles an effect file upload: a 0x02 header announcing three blocks, then the frames
// of blocks 0x04, 0x06 and 0x16, each numbered from 0. Not thread-safe; CCardModel guards it.
namespace lw52::emu {

// FNV-1a, 32 bits: the fingerprint of a reassembled block in the state dump.
uint32_t BlockHash(const std::vector<uint8_t>& bytes);

class CEffectFileAssembler {
  public:
    explicit CEffectFileAssembler(int packetSize) : m_packetSize(packetSize) {}

    void OnHeader(const uint8_t* frame);
    void OnBlockFrame(const uint8_t* frame);

    // The upload in progress or the last one finished.
    const EffectFileUpload& Upload() const { return m_upload; }
    int Completed() const { return m_completed; }
    int Failed() const { return m_failed; }

    // Data bytes one frame of the block carries: whole entries of the block's entry size.
    static int BytesPerFrame(uint8_t code, int packetSize);

  private:
    void Fail(const std::string& reason);
    void FinishIfComplete();

    const int m_packetSize;
    EffectFileUpload m_upload;
    int m_completed = 0;
    int m_failed = 0;
};

}  // namespace lw52::emu
