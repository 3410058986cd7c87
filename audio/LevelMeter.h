#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace audio {

// Peak levels (0..100) of the last ~50 ms of samples fed, per side. Channels whose position is
// left count for the left side, right for the right, the others (mono, centre) for both.
class LevelMeter {
  public:
    // sides[c]: 0 left, 1 right, 2 both, for each interleaved channel c.
    void Configure(int rate, std::vector<int> sides);
    void Feed(const float* frames, size_t count);
    void Reset();
    void Levels(int& left, int& right) const;

  private:
    static constexpr int kBlocks = 5;  // of 10 ms each
    size_t m_blockFrames = 480;
    std::vector<int> m_sides;
    std::array<std::array<float, 2>, kBlocks> m_peaks{};
    std::array<float, 2> m_current{};
    size_t m_inBlock = 0;
    int m_next = 0;
};

}  // namespace audio
