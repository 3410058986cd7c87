#include "WavWriter.h"

#include <cstdio>

namespace lw52::emu {
namespace {

void Put(std::vector<uint8_t>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> MakeWav(const std::vector<uint8_t>& pcm) {
    constexpr uint32_t kChannels = 1;
    constexpr uint32_t kBytesPerSample = 2;
    const uint32_t dataSize = static_cast<uint32_t>(pcm.size() & ~size_t{1});
    std::vector<uint8_t> out;
    out.reserve(44 + dataSize);
    Put(out, "RIFF");
    PutLe(out, 36 + dataSize, 4);
    Put(out, "WAVE");
    Put(out, "fmt ");
    PutLe(out, 16, 4);  // PCM format chunk size
    PutLe(out, 1, 2);   // PCM
    PutLe(out, kChannels, 2);
    PutLe(out, kSoundSampleRate, 4);
    PutLe(out, kSoundSampleRate * kChannels * kBytesPerSample, 4);
    PutLe(out, kChannels * kBytesPerSample, 2);
    PutLe(out, 8 * kBytesPerSample, 2);
    Put(out, "data");
    PutLe(out, dataSize, 4);
    out.insert(out.end(), pcm.begin(), pcm.begin() + dataSize);
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
