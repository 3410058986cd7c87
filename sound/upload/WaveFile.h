#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "PcmFormat.h"

namespace upload {

// The 44-byte header of a PCM WAV file holding dataLength bytes of samples.
void MakeWavHeader(const PcmFormat& format, uint32_t dataLength, uint8_t header[44]);

// A WAV file over a memory mapping. Opened on an existing file it is read and checked; opened
// on an empty file with a format it is written: 10 MiB are reserved and mapped, a fresh
// 44-byte header goes in, samples are appended, and Close patches the RIFF and data sizes and
// cuts the file after the data.
class CWaveFile {
  public:
    static constexpr size_t kHeaderSize = 44;
    static constexpr size_t kInitialMapping = 10485760;

    CWaveFile() = default;
    ~CWaveFile() { Close(); }
    CWaveFile(const CWaveFile&) = delete;
    CWaveFile& operator=(const CWaveFile&) = delete;

    // False when the file cannot be opened, an existing file is not a WAV this program reads
    // (integer PCM, 1 or 2 channels, 8, 16 or 32 bits), or an empty file comes without format.
    bool Open(const std::string& path, const PcmFormat* format = nullptr);
    // Appends samples to a file being written; false (nothing appended) when the disk is full.
    bool Write(const void* data, size_t size);
    // Finishes a written file; false when its sizes could not be stored.
    bool Close();

    bool IsOpen() const { return m_fd >= 0; }
    const PcmFormat& Format() const { return m_format; }
    const uint8_t* Data() const { return m_view ? m_view + m_dataStart : nullptr; }
    uint32_t DataLength() const { return m_dataLength; }

  private:
    bool Parse(size_t fileSize);
    bool Reserve(size_t size);  // grows the reserved and mapped length of a written file
    void Unmap();

    int m_fd = -1;
    uint8_t* m_view = nullptr;
    size_t m_mapped = 0;
    bool m_writing = false;
    PcmFormat m_format;
    size_t m_dataStart = 0;
    uint32_t m_dataLength = 0;
};

}  // namespace upload
