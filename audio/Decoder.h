#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace audio {

// A clip decoded as it is read (libsndfile: WAV, FLAC, OGG, MP3 through mpg123...), from a file
// or from bytes the decoder keeps a copy of. Only a read buffer's worth of PCM is ever held.
class Decoder {
  public:
    Decoder() = default;
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // On failure error says why: "file not found: PATH", "cannot read PATH: ...",
    // "cannot decode PATH: <libsndfile's text>".
    bool OpenFile(const std::string& path, std::string& error);
    // Copies the bytes. The format is only named in the error text: the data's own header
    // decides how it is decoded.
    bool OpenMemory(const void* bytes, size_t size, const std::string& formatName,
                    std::string& error);
    void Close();
    bool IsOpen() const { return m_file != nullptr; }

    int Rate() const { return m_rate; }
    int Channels() const { return m_channels; }
    // Total frames; 0 when the container does not say.
    uint64_t Frames() const { return m_frames; }

    // Reads up to frames interleaved float frames in [-1, 1]; 0 at the end (or on an error).
    size_t Read(float* out, size_t frames);
    bool Seek(uint64_t frame);

  private:
    struct MemorySource {
        std::vector<unsigned char> bytes;
        int64_t position = 0;
    };
    bool Adopt(SNDFILE* file, const void* info);

    SNDFILE* m_file = nullptr;
    std::unique_ptr<MemorySource> m_memory;
    int m_rate = 0;
    int m_channels = 0;
    uint64_t m_frames = 0;
};

}  // namespace audio
