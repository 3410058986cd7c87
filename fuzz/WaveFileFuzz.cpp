// A WAV file as the clip upload reads it back: opened and walked chunk by chunk over its
// mapping, then converted to the card's 48 kHz mono.
#include <cstdint>
#include <numeric>
#include <vector>

#include "FuzzSupport.h"
#include "PcmConverter.h"
#include "WaveFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteTempFile("clip.wav", data, size);
    {
        upload::CWaveFile wav;
        if (!wav.Open(path)) return 0;
        // The samples lie inside the file: RIFF header, chunk header, then the data.
        if (size < 20 || wav.DataLength() > size - 20) fuzz::Violated("data beyond the file");
        const uint8_t* samples = wav.Data();
        volatile unsigned sum = std::accumulate(samples, samples + wav.DataLength(), 0u);
        (void)sum;
    }
    std::vector<uint8_t> pcm;
    upload::LoadAndConvert(path, pcm);
    return 0;
}
