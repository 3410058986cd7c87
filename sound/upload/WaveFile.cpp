#include "WaveFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace upload {
namespace {

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
void PutLe(uint8_t* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}
bool Tag(const uint8_t* at, const char* tag) {
    return memcmp(at, tag, 4) == 0;
}

// What this program converts: integer PCM, mono or stereo, 8, 16 or 32 bits, and sizes that
// agree with each other (a block align or byte rate that disagrees would misread the data).
bool Readable(const PcmFormat& f) {
    if (f.formatTag != 1 || (f.channels != 1 && f.channels != 2)) return false;
    if (f.bitsPerSample != 8 && f.bitsPerSample != 16 && f.bitsPerSample != 32) return false;
    if (f.sampleRate == 0 || f.sampleRate > 768000) return false;
    return f.blockAlign == f.channels * f.bitsPerSample / 8 &&
           f.byteRate == f.sampleRate * f.blockAlign;
}

}  // namespace

void MakeWavHeader(const PcmFormat& format, uint32_t dataLength, uint8_t h[44]) {
    memcpy(h + 0, "RIFF", 4);
    PutLe(h + 4, dataLength + 36, 4);
    memcpy(h + 8, "WAVEfmt ", 8);
    PutLe(h + 16, 16, 4);
    PutLe(h + 20, format.formatTag, 2);
    PutLe(h + 22, format.channels, 2);
    PutLe(h + 24, format.sampleRate, 4);
    PutLe(h + 28, format.byteRate, 4);
    PutLe(h + 32, format.blockAlign, 2);
    PutLe(h + 34, format.bitsPerSample, 2);
    memcpy(h + 36, "data", 4);
    PutLe(h + 40, dataLength, 4);
}

bool CWaveFile::Open(const std::string& path, const PcmFormat* format) {
    Close();
    // Only a writer may create the file; a reader of a missing file leaves nothing behind.
    const int fd = format ? open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)
                          : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    m_fd = fd;
    const size_t size = static_cast<size_t>(st.st_size);
    if (size > 0) {
        // Populated at once: one call instead of a page fault per page read.
        void* view = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (view != MAP_FAILED) {
            m_view = static_cast<uint8_t*>(view);
            m_mapped = size;
            if (Parse(size)) return true;
        }
        Close();
        return false;
    }
    if (!format || !Readable(*format) || !Reserve(kInitialMapping)) {
        Close();
        return false;
    }
    m_writing = true;
    m_format = *format;
    MakeWavHeader(m_format, 0, m_view);
    m_dataStart = kHeaderSize;
    m_dataLength = 0;
    return true;
}

// Chunks are walked from the start of the RIFF body: an 8-byte header, the body, and one pad
// byte after an odd size. Nothing may reach past the RIFF size, nor that past the file.
bool CWaveFile::Parse(size_t fileSize) {
    const uint8_t* v = m_view;
    if (fileSize < 12 || !Tag(v, "RIFF") || !Tag(v + 8, "WAVE")) return false;
    const uint64_t end = uint64_t{Le32(v + 4)} + 8;
    if (end > fileSize) return false;
    bool haveFormat = false;
    bool haveData = false;
    uint64_t pos = 12;
    while (pos + 8 <= end && !(haveFormat && haveData)) {
        const uint8_t* chunk = v + pos;
        const uint64_t body = pos + 8;
        const uint64_t size = Le32(chunk + 4);
        if (body + size > end) return false;
        if (Tag(chunk, "fmt ")) {
            if (size < 16) return false;
            const uint8_t* f = v + body;
            m_format.formatTag = Le16(f);
            m_format.channels = Le16(f + 2);
            m_format.sampleRate = Le32(f + 4);
            m_format.byteRate = Le32(f + 8);
            m_format.blockAlign = Le16(f + 12);
            m_format.bitsPerSample = Le16(f + 14);
            haveFormat = true;
        } else if (Tag(chunk, "data")) {
            m_dataStart = static_cast<size_t>(body);
            m_dataLength = static_cast<uint32_t>(size);
            haveData = true;
        }
        pos = body + size + (size & 1);
    }
    return haveFormat && haveData && Readable(m_format);
}

bool CWaveFile::Reserve(size_t size) {
    // Blocks are allocated up front: a full disk is an error here, not a fault on a store.
    if (posix_fallocate(m_fd, 0, static_cast<off_t>(size)) != 0) return false;
    void* view = m_view ? mremap(m_view, m_mapped, size, MREMAP_MAYMOVE)
                        : mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
    if (view == MAP_FAILED) return false;
    m_view = static_cast<uint8_t*>(view);
    m_mapped = size;
    return true;
}

bool CWaveFile::Write(const void* data, size_t size) {
    if (!m_writing) return false;
    const size_t cursor = m_dataStart + m_dataLength;
    if (size > UINT32_MAX - 36 - m_dataLength) return false;  // the RIFF size is 32 bits
    if (cursor + size > m_mapped && !Reserve(std::max(m_mapped * 2, cursor + size))) return false;
    memcpy(m_view + cursor, data, size);
    m_dataLength += static_cast<uint32_t>(size);
    return true;
}

void CWaveFile::Unmap() {
    if (m_view) munmap(m_view, m_mapped);
    m_view = nullptr;
    m_mapped = 0;
}

bool CWaveFile::Close() {
    if (m_fd < 0) return true;
    bool ok = true;
    if (m_writing) {
        PutLe(m_view + 4, m_dataLength + 36, 4);
        PutLe(m_view + 40, m_dataLength, 4);
        Unmap();
        ok = ftruncate(m_fd, static_cast<off_t>(kHeaderSize + m_dataLength)) == 0;
    }
    Unmap();
    ok = close(m_fd) == 0 && ok;
    m_fd = -1;
    m_writing = false;
    m_format = PcmFormat{};
    m_dataStart = 0;
    m_dataLength = 0;
    return ok;
}

}  // namespace upload
