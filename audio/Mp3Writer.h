#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct lame_global_struct;

namespace audio {

// Writes an MP3 file as the audio comes (LAME): constant 192 kbps, joint stereo, at the rate of
// the audio given (44100 or 48000 Hz). No header is rewritten at the end (no Xing/Info frame),
// so the file is a playable MP3 at every moment; every encoded byte goes to the kernel with
// write(2) as soon as the encoder hands it out (the encoder holds under 0.1 s of audio), so a
// process killed at any time leaves a file that plays up to about its last tenth of a second.
// Memory stays the same for any length. A failed write ends the writing: what is in the file
// stays, later writes fail with the same text. Not thread-safe: one caller at a time.
class Mp3Writer {
  public:
    static constexpr int kBitrateKbps = 192;
    static constexpr uint32_t kBytesPerSecond = kBitrateKbps * 1000 / 8;
    // LAME's algorithm choice (0 best and slowest .. 9): 3, its own default at a constant
    // bitrate. Measured on 48 kHz stereo: 11 ms of CPU per second of audio, against 17 ms at 2
    // (near-best) and 8 ms at 5, which leaves out part of the noise shaping.
    static constexpr int kQuality = 3;

    Mp3Writer();
    ~Mp3Writer();  // finishes an open file (errors are dropped: call Close to see them)
    Mp3Writer(const Mp3Writer&) = delete;
    Mp3Writer& operator=(const Mp3Writer&) = delete;

    // Creates or truncates path. channels 1 (written as two equal channels) or 2. On failure
    // error says why, e.g. "cannot create PATH: No such file or directory". A file still open
    // is finished first.
    bool Open(const std::string& path, int rate, int channels, std::string& error);
    // frames interleaved float frames in [-1, 1]. False once a write failed ("disk full:
    // cannot write PATH" when the disk is full, "cannot write PATH: <reason>" otherwise).
    bool Write(const float* interleaved, size_t frames, std::string& error);
    // Encodes what the encoder still holds, writes it and closes the file. False with the
    // reason when that, or an earlier write, failed; the file is closed either way.
    bool Close(std::string& error);

    bool IsOpen() const { return m_fd >= 0; }
    bool Failed() const { return !m_error.empty(); }
    const std::string& FailureText() const { return m_error; }
    // Bytes in the file so far (kept after Close until the next Open).
    uint64_t BytesWritten() const { return m_bytes; }
    static constexpr uint32_t BytesPerSecond() { return kBytesPerSecond; }

  private:
    static constexpr size_t kChunkFrames = 4096;
    bool Encode(const float* stereo, size_t frames, std::string& error);
    bool Put(const unsigned char* bytes, size_t size, std::string& error);
    void Release();

    lame_global_struct* m_lame = nullptr;
    int m_fd = -1;
    int m_channels = 2;
    std::string m_path;
    std::string m_error;  // the failure that ended the writing
    uint64_t m_bytes = 0;
    std::vector<float> m_stereo;          // mono input spread to two channels, one chunk
    std::vector<unsigned char> m_output;  // one chunk's worst-case MP3 bytes
};

}  // namespace audio
