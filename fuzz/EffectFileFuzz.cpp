// Effect files as an upload reads them: parsed, turned into the frames for both packet sizes,
// and their parameter values mapped onto the current record.
#include <cstdint>
#include <string>

#include "EffectFile.h"
#include "EffectFileFrames.h"
#include "EffectFileParams.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > lw52::kMaxEffectFileBytes) return 0;  // refused before parsing
    lw52::EffectFile file;
    std::string reason;
    if (!lw52::ParseEffectFile(data, size, file, reason)) return 0;
    if (!lw52::CheckEffectFile(file, reason)) fuzz::Violated("an accepted file fails its check");
    for (int packet : {64, 40}) {
        lw52::EffectFileFrameInfo info;
        const auto frames = lw52::BuildEffectFileFrames(file, 1, packet, &info);
        if (frames.empty()) fuzz::Violated("an accepted file gives no frames");
        if (frames.size() != static_cast<size_t>(info.TotalFrames()))
            fuzz::Violated("frame count differs from the description");
    }
    int32_t values[64] = {};
    lw52::MapEffectFileParams(file, values);
    return 0;
}
