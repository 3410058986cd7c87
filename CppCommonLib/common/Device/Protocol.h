#pragma once

#include <atomic>
#include <cstdint>

#include "ICommProtocol.h"

// Generic protocol base: checksum stamping and the reply check, for a packet size of 64 or
// 40 bytes. Frames are composed in 64-byte buffers; only the first N bytes travel.
class CProtocol : public ICommProtocol {
  public:
    bool CheckReply(const uint8_t* reply, uint8_t expectedCmd) override;
    void SetChecksum(uint8_t* frame) override;
    // No observer is installed in this program: both do nothing.
    void OnBeforeSend(const uint8_t* /*frame*/) override {}
    void OnReplyReceived(const uint8_t* /*reply*/) override {}
    int GetPacketSize() override { return m_packetSize.load(); }
    void SetPacketSize(int size) override { m_packetSize = size; }

  protected:
    std::atomic<int> m_packetSize{64};
};
