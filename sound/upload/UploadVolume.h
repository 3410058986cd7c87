#pragma once

namespace upload {

// The system master level (0.0..1.0) as the percentage the decoder volume uses: truncated,
// plus 1, at most 100; below 0.01 it is 0 (the upload is silent).
inline int MasterPercent(double level) {
    if (!(level >= 0.01)) return 0;
    const int percent = static_cast<int>(level * 100) + 1;
    return percent > 100 ? 100 : percent;
}

// The decoder volume for a pad volume (0..100) and a master percentage: the integer part of
// padVolume / 100 x masterPercent.
inline int DecoderVolume(int padVolume, int masterPercent) {
    return padVolume * masterPercent / 100;  // exact: no 0.29 x 100 = 28.999...
}

}  // namespace upload
