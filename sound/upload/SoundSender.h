#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "QvAudioProtocol.h"

class IMessageSink;

namespace upload {

// Messages the sender posts to its window.
constexpr uint32_t MSG_SEND_STARTED = 0x22B9;   // wParam: byte count
constexpr uint32_t MSG_SEND_PROGRESS = 0x227C;  // wParam: bytes acknowledged so far
constexpr uint32_t MSG_SEND_DONE = 0x228A;      // wParam: 0 success, 1 failure

constexpr int kMaxSoundBytes = 3460300;
constexpr int kHeaderAttempts = 3;
constexpr uint32_t kHeaderTimeoutMs = 15000;
constexpr int kDataAttempts = 3;
constexpr uint32_t kDataTimeoutMs = 2000;

// Payload bytes per data frame: the packet size less command, zero, index, flag, the 24-bit
// frame counter and the checksum.
constexpr int PayloadSize(int packetSize) {
    return packetSize - 8;
}
constexpr int DataFrameCount(int bytes, int packetSize) {
    return (bytes + PayloadSize(packetSize) - 1) / PayloadSize(packetSize);
}

// The header frame: slot 1..3, the number of data frames and the byte count (24 bits each).
Frame64 MakeSoundHeader(int slot, int bytes, int packetSize);
// Data frame index: the next payload bytes of pcm (zero-padded at the end) and the index.
Frame64 MakeSoundData(const std::vector<uint8_t>& pcm, int bytes, int index, int packetSize);

// Sends PCM into one of the card's sound slots on its own thread: the header (3 x 15 s), then
// every data frame (3 x 2 s each), each acknowledged before the next, reporting to sink.
class CSoundSender {
  public:
    CSoundSender() = default;
    ~CSoundSender() { Join(); }
    CSoundSender(const CSoundSender&) = delete;
    CSoundSender& operator=(const CSoundSender&) = delete;

    // False when a transfer is already running or the thread cannot be started.
    bool Start(CQvAudioProtocol& protocol, int slot, std::vector<uint8_t> pcm, IMessageSink* sink);
    // Sends on the caller's thread; 0 success, 1 failure (the value MSG_SEND_DONE carries).
    static int Send(CQvAudioProtocol& protocol, int slot, const std::vector<uint8_t>& pcm,
                    IMessageSink* sink, const std::atomic<bool>* stop = nullptr);
    // Asks a running transfer to give up after the frame in flight.
    void RequestStop() { m_stop = true; }
    void Join();

  private:
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stop{false};
};

}  // namespace upload
