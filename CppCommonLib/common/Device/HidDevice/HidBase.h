#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "BoundedWriter.h"
#include "ICommunicateDevice.h"

// A HID device on Linux: a hidraw node, or a virtual device (a SOCK_SEQPACKET socket, see
// VirtualHid.h) behind the same report semantics. Report lengths come from the report
// descriptor; both include the report id byte. Reads wait in poll() on the device and an
// eventfd that AbortRead signals.
class CHidBase : public ICommunicateDevice {
  public:
    static constexpr size_t kMaxPathChars = 259;
    static constexpr int kBufferSize = 128;

    explicit CHidBase(const std::string& devicePath);
    ~CHidBase() override;
    CHidBase(const CHidBase&) = delete;
    CHidBase& operator=(const CHidBase&) = delete;

    bool IsOpen() override;
    bool OpenDevice() override;
    void CloseDevice() override;
    bool Write(const uint8_t* data, int length) override;
    bool Read(const uint8_t** outData, uint32_t timeoutMs) override;
    void AbortRead() override;
    int GetMaxReadLength() override { return m_inputReportLength - 1; }
    int GetMaxWriteLength() override { return m_outputReportLength - 1; }
    std::string GetDevicePath() override { return m_devicePath; }

    // Why the last OpenDevice failed, for callers that show it (empty after a success).
    std::string LastOpenError() const;
    // True when the last OpenDevice failed because another program holds the device.
    bool LastOpenWasBusy() const { return m_lastOpenBusy; }

  private:
    bool OpenHidraw(std::string& error);
    bool OpenVirtual(std::string& error);
    bool ApplyDescriptor(const uint8_t* descriptor, size_t size, std::string& error);
    void CloseFds();
    void FailOpen(const std::string& error, bool busy = false);
    void MarkGone();

    const std::string m_devicePath;
    bool m_isSocket = false;

    std::atomic<int> m_writeFd{-1};
    std::atomic<int> m_readFd{-1};
    std::atomic<bool> m_gone{false};  // the device hung up or failed: it will not come back
    std::atomic<int> m_inputReportLength{0};
    std::atomic<int> m_outputReportLength{0};

    std::mutex m_readMutex;   // guards m_readBuffer and the read side of m_readFd/m_abortFd
    std::mutex m_writeMutex;  // guards m_writeBuffer and writes on m_writeFd
    std::mutex m_abortMutex;  // guards signalling and closing m_abortFd
    int m_abortFd = -1;       // eventfd: the read event
    uint8_t m_readBuffer[kBufferSize] = {};
    uint8_t m_writeBuffer[kBufferSize] = {};
    std::unique_ptr<CBoundedWriter> m_writer;  // hidraw writes; guarded by m_writeMutex

    mutable std::mutex m_errorMutex;  // guards m_lastOpenError
    std::string m_lastOpenError;
    std::atomic<bool> m_lastOpenBusy{false};
};
