#include "LevelMeter.h"

#include <algorithm>
#include <cmath>

namespace audio {

void LevelMeter::Configure(int rate, std::vector<int> sides) {
    m_blockFrames = static_cast<size_t>(std::max(rate / 100, 1));
    m_sides = std::move(sides);
    Reset();
}

void LevelMeter::Reset() {
    m_peaks = {};
    m_current = {};
    m_inBlock = 0;
    m_next = 0;
}

void LevelMeter::Feed(const float* frames, size_t count) {
    const size_t channels = m_sides.size();
    if (channels == 0) return;
    for (size_t f = 0; f < count; ++f) {
        for (size_t c = 0; c < channels; ++c) {
            const float v = std::fabs(frames[f * channels + c]);
            const int side = m_sides[c];
            if (side != 1) m_current[0] = std::max(m_current[0], v);
            if (side != 0) m_current[1] = std::max(m_current[1], v);
        }
        if (++m_inBlock == m_blockFrames) {
            m_peaks[static_cast<size_t>(m_next)] = m_current;
            m_next = (m_next + 1) % kBlocks;
            m_current = {};
            m_inBlock = 0;
        }
    }
}

void LevelMeter::Levels(int& left, int& right) const {
    std::array<float, 2> peak = m_current;
    for (const auto& block : m_peaks) {
        peak[0] = std::max(peak[0], block[0]);
        peak[1] = std::max(peak[1], block[1]);
    }
    auto toLevel = [](float p) { return static_cast<int>(std::lround(std::min(p, 1.0f) * 100)); };
    left = toLevel(peak[0]);
    right = toLevel(peak[1]);
}

}  // namespace audio
