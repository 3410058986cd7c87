#pragma once

#include <cstdint>
#include <string>

// A transport device: moves fixed-size reports, knows nothing of the command protocol.
class ICommunicateDevice {
  public:
    virtual ~ICommunicateDevice() = default;
    virtual bool IsOpen() = 0;
    virtual bool OpenDevice() = 0;
    virtual void CloseDevice() = 0;
    // Writes one report of data (without the report id byte); length <= GetMaxWriteLength().
    virtual bool Write(const uint8_t* data, int length) = 0;
    // Waits up to timeoutMs (kInfinite: without limit) for one report. On true, *outData (when
    // given) points at the report's data bytes in the device's buffer, valid until the next
    // Read; at least 64 bytes may be read there, zero beyond the report. False on a timeout
    // or a failure; a device gone for good (pulled out, hung up) says so through IsOpen.
    virtual bool Read(const uint8_t** outData, uint32_t timeoutMs) = 0;
    // Wakes a Read that waits; it returns true with a zeroed buffer.
    virtual void AbortRead() = 0;
    virtual int GetMaxReadLength() = 0;
    virtual int GetMaxWriteLength() = 0;
    virtual std::string GetDevicePath() = 0;

    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;
};
