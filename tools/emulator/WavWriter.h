#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Sound slots hold 16-bit little-endian mono PCM at 48 kHz; these wrap it as a WAV file.
namespace lw52::emu {

constexpr uint32_t kSoundSampleRate = 48000;

// The RIFF/WAVE bytes for pcm; an odd trailing byte (half a sample) is left out.
std::vector<uint8_t> MakeWav(const std::vector<uint8_t>& pcm);
bool WriteWavFile(const std::string& path, const std::vector<uint8_t>& pcm);

}  // namespace lw52::emu
