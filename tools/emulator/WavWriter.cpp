#include "WavWriter.h"

#include <cstdio>
#include <cstring>

namespace lw52::emu {
namespace {

void PutTag(uint8_t* at, const char* tag) {
    memcpy(at, tag, 4);
}

void PutLe(uint8_t* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::vector<uint8_t> MakeWav(const std::vector<uint8_t>& pcm) {
    constexpr uint32_t kChannels = 1;
    constexpr uint32_t kBytesPerSample = 2;
    constexpr size_t kHeaderSize = 44;
    const uint32_t dataSize = static_cast<uint32_t>(pcm.size() & ~size_t{1});
    // Sized once and filled in place (growing by inserts trips a false overflow warning).
    std::vector<uint8_t> out(kHeaderSize + dataSize);
    uint8_t* h = out.data();
    PutTag(h + 0, "RIFF");
    PutLe(h + 4, 36 + dataSize, 4);
    PutTag(h + 8, "WAVE");
    PutTag(h + 12, "fmt ");
    PutLe(h + 16, 16, 4);  // PCM format chunk size
    PutLe(h + 20, 1, 2);   // PCM
    PutLe(h + 22, kChannels, 2);
    PutLe(h + 24, kSoundSampleRate, 4);
    PutLe(h + 28, kSoundSampleRate * kChannels * kBytesPerSample, 4);
    PutLe(h + 32, kChannels * kBytesPerSample, 2);
    PutLe(h + 34, 8 * kBytesPerSample, 2);
    PutTag(h + 36, "data");
    PutLe(h + 40, dataSize, 4);
    if (dataSize) memcpy(h + kHeaderSize, pcm.data(), dataSize);
    return out;
}

bool WriteWavFile(const std::string& path, const std::vector<uint8_t>& pcm) {
    const std::vector<uint8_t> wav = MakeWav(pcm);
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = fwrite(wav.data(), 1, wav.size(), file) == wav.size();
    return fclose(file) == 0 && written;
}

}  // namespace lw52::emu
