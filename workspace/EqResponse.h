#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The response engine behind the equaliser curve: second-order bands, each band's magnitude
// over a logarithmic frequency axis, and their sum. No Qt here, so lw52ctl and the tests
// compute exactly what the panel draws.
namespace lw52 {

constexpr int kEqPoints = 1024;
constexpr int kEqMaxBands = 31;
constexpr int kEqExtraSlots = 4;  // 0, 1 add to the main curve; 2, 3 make the second curve
constexpr double kEqSampleRate = 48000.0;
constexpr double kEqMinZeroXFreq = 10.0;
constexpr double kEqMaxZeroXFreq = 20.0;

enum EqBandType : int32_t {
    kEqPass = 0,
    kEqLowShelf = 1,
    kEqPeaking = 2,
    kEqHighShelf = 3,
    kEqLowPass = 4,  // 4/5, 6/7, 8/9: low-/high-pass pairs with their own fixed damping
    kEqHighPass = 5,
    kEqKeepCoefficients = 10,
};
constexpr int kEqLastType = kEqKeepCoefficients;

// What SetBand changes.
enum EqField : int { kEqGain = 0, kEqFreq = 1, kEqQ = 2, kEqType = 3 };

// A gain inside +-kEqActiveGain leaves a band flat: its response is cleared and it is not
// made the current band.
constexpr double kEqActiveGain = 0.01;
// Below this magnitude a band's response is all zero, whatever its type.
constexpr double kEqSilentGain = 0.001;

struct EqBand {
    int32_t type = kEqPass;
    double freq = 0.0;  // Hz
    double gain = 0.0;  // dB
    double q = 0.0;
    // Normalised by a0 and halved, so a0 is always 0.5.
    double b0 = 0.5, b1 = 0.0, b2 = 0.0, a0 = 0.5, a1 = 0.0, a2 = 0.0;
    std::vector<double> response;  // dB per axis point
};

// Sets band's six coefficients from its type, freq, gain and q (type 10 keeps them).
void ComputeCoefficients(EqBand& band);

// 1024 radian frequencies from zeroXFreq Hz up to just below the Nyquist frequency, with the
// sines and cosines every response needs.
class EqAxis {
  public:
    explicit EqAxis(double zeroXFreq = kEqMinZeroXFreq);
    void Build(double zeroXFreq);
    double ZeroXFreq() const { return zeroXFreq_; }
    double Omega(int i) const { return omega_[static_cast<std::size_t>(i)]; }
    double Freq(int i) const;  // Hz

    // 20 log10 |H(e^jw)| of the band's coefficients at point i.
    double MagnitudeDb(const EqBand& band, int i) const;

  private:
    double zeroXFreq_ = kEqMinZeroXFreq;
    std::array<double, kEqPoints> omega_{}, cos1_{}, sin1_{}, cos2_{}, sin2_{};
};

// Fills band.response from its coefficients (all zero when |gain| < kEqSilentGain).
void ComputeResponse(EqBand& band, const EqAxis& axis);

class EqResponse {
  public:
    explicit EqResponse(double zeroXFreq = kEqMinZeroXFreq);

    // Rebuilds the axis for a new left edge (clamped to 10..20 Hz) and recomputes everything.
    void SetZeroXFreq(double zeroXFreq);
    const EqAxis& Axis() const { return axis_; }

    // Appends a band with a flat response; 0 when 31 exist or the type is unknown.
    int AddBand(int type, double freq, double gain, double q);
    // Sets one field of a band and recomputes what changed. Returns 1 when the curve must be
    // redrawn, 0 when the index or the type is refused or nothing changed.
    int SetBand(int index, double value, int what);
    // Recomputes every band that is not flat, then the sums.
    void Refresh();

    // Filters outside the band list (nothing in the panel fills them). A filter is made
    // current like a band.
    int SetExtraFilter(int slot, int type, double freq, double gain, double q);
    void ClearExtraFilter(int slot);

    int BandCount() const { return static_cast<int>(bands_.size()); }
    const EqBand& Band(int index) const { return bands_[static_cast<std::size_t>(index)]; }

    // The band whose gain was last set outside +-0.01 dB, -1 for none (or an extra filter).
    int CurrentBand() const { return current_ < kEqMaxBands ? current_ : -1; }
    // The current band or extra filter, null for none.
    const EqBand* CurrentFilter() const;
    bool CurrentIsExtraFilter() const { return current_ >= kEqMaxBands; }

    const std::vector<double>& MainSum() const { return main_; }
    const std::vector<double>& SecondSum() const { return second_; }
    bool HasSecondCurve() const { return extraSet_[2] || extraSet_[3]; }
    double Largest() const { return largest_; }

  private:
    void ComputeBand(EqBand& band);
    void RecomputeSums();

    EqAxis axis_;
    std::vector<EqBand> bands_;
    std::array<EqBand, kEqExtraSlots> extra_;
    std::array<bool, kEqExtraSlots> extraSet_{};
    int current_ = -1;  // band index, or kEqMaxBands + extra slot
    std::vector<double> main_, second_;
    double largest_ = 0.0;
};

// The card's ten-band equaliser as the effects page shows it: peaking bands with one Q at
// fixed frequencies, gains from parameters 15-24.
constexpr int kCardEqBands = 10;
constexpr std::array<double, kCardEqBands> kCardEqFreqs = {55,  80,   150,  250,  500,
                                                           800, 1000, 2000, 4000, 10000};
constexpr double kCardEqQ = 1.7;
// Raw parameter value (0..240) -> band gain in dB.
inline double CardEqGainDb(int raw) {
    return raw / 10.0 - 12.0;
}
// Adds the ten bands flat and refreshes.
void AddCardEqBands(EqResponse& eq);

}  // namespace lw52
