#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "CardModel.h"
#include "ICommunicateDevice.h"

// The virtual card as an in-process transport, for unit tests of the device layer: writes go
// straight to a CCardModel, its replies queue up for Read (each after the model's reply
// delay). Report lengths include the id byte, like a HID device's capabilities.
namespace lw52::emu {

class CInProcessCardDevice : public ICommunicateDevice {
  public:
    static constexpr int kBufferSize = 128;

    CInProcessCardDevice(int inputReportLength, int outputReportLength,
                         const CardConfig& config = {});
    CInProcessCardDevice(const CInProcessCardDevice&) = delete;
    CInProcessCardDevice& operator=(const CInProcessCardDevice&) = delete;

    bool IsOpen() override;
    bool OpenDevice() override;  // false once unplugged
    void CloseDevice() override;
    // Like hidraw: length 1..outputReportLength-1; the bytes are zero-padded to the packet.
    bool Write(const uint8_t* data, int length) override;
    // The packet's data bytes in a zero-filled buffer of kBufferSize bytes.
    bool Read(const uint8_t** outData, uint32_t timeoutMs) override;
    // Wakes a waiting Read (or the next one) with a zeroed buffer.
    void AbortRead() override;
    int GetMaxReadLength() override { return m_inputReportLength - 1; }
    int GetMaxWriteLength() override { return m_outputReportLength - 1; }
    std::string GetDevicePath() override;

    // Queues a card-initiated frame, readable at once. False while closed or unplugged.
    bool Inject(const Frame& frame);
    // Turns knobs on the card: the model's 0x9E is queued.
    bool TurnKnobs(const std::vector<ParamEntry>& entries);
    // Pulls the cable: Read and Write fail from now on; a waiting Read wakes and fails.
    // The handle stays open (IsOpen) until CloseDevice, as with a real device node.
    void Unplug();
    bool IsUnplugged() const;
    // Frames still queued, readable or not yet due.
    size_t QueuedFrames() const;

    CCardModel& Model() { return m_model; }

  private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        Frame frame;
    };
    void Enqueue(Frame frame, Clock::time_point due);  // m_mutex held

    const int m_inputReportLength;
    const int m_outputReportLength;
    CCardModel m_model;

    mutable std::mutex m_mutex;  // guards m_open, m_unplugged, m_abortPending, m_queue
    std::condition_variable m_changed;
    bool m_open = false;
    bool m_unplugged = false;
    bool m_abortPending = false;
    std::deque<Pending> m_queue;  // ordered by due time, FIFO among equal times

    std::mutex m_readMutex;  // guards m_readBuffer: one Read at a time
    uint8_t m_readBuffer[kBufferSize] = {};
};

}  // namespace lw52::emu
