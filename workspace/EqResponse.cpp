#include "EqResponse.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lw52 {

namespace {

constexpr double kPi = std::numbers::pi;

struct Coefficients {
    double b0, b1, b2, a0, a1, a2;
};

constexpr Coefficients kPassThrough = {1, 0, 0, 1, 0, 0};

// Damping of the three low-/high-pass pairs (types 4/5, 6/7, 8/9).
double PassDamping(int type) {
    if (type <= 5) return 1.4142135624;
    if (type <= 7) return 2.61312592975;
    return 1.1547005384;
}

Coefficients Design(int type, double freq, double gain, double q) {
    const double A = std::pow(10.0, gain / 40.0);
    const double w0 = 2.0 * kPi * freq / kEqSampleRate;
    const double cs = std::cos(w0);
    const double sn = std::sin(w0);
    switch (type) {
        case kEqLowShelf: {
            if (gain == 0.0) return kPassThrough;
            const double S = std::sqrt(2.0 * A) * sn / q;
            return {A * ((A + 1) - (A - 1) * cs + S), 2 * A * ((A - 1) - (A + 1) * cs),
                    A * ((A + 1) - (A - 1) * cs - S), (A + 1) + (A - 1) * cs + S,
                    -2 * ((A - 1) + (A + 1) * cs),    (A + 1) + (A - 1) * cs - S};
        }
        case kEqPeaking: {
            if (gain == 0.0) return kPassThrough;
            const double alpha = sn / (2.0 * q);
            return {1 + alpha * A, -2 * cs, 1 - alpha * A, 1 + alpha / A, -2 * cs, 1 - alpha / A};
        }
        case kEqHighShelf: {
            if (gain == 0.0) return kPassThrough;
            const double S = std::sqrt(2.0 * A) * sn / q;
            return {A * ((A + 1) + (A - 1) * cs + S), -2 * A * ((A - 1) + (A + 1) * cs),
                    A * ((A + 1) + (A - 1) * cs - S), (A + 1) - (A - 1) * cs + S,
                    2 * ((A - 1) - (A + 1) * cs),     (A + 1) - (A - 1) * cs - S};
        }
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
        case 9: {
            if (freq < 20.0 || freq > 22000.0) return kPassThrough;
            const double alpha = sn / PassDamping(type);
            const bool lowPass = type % 2 == 0;
            const double b0 = lowPass ? (1 - cs) / 2 : (1 + cs) / 2;
            const double b1 = lowPass ? 1 - cs : -(1 + cs);
            return {b0, b1, b0, 1 + alpha, -2 * cs, 1 - alpha};
        }
        default:
            return kPassThrough;
    }
}

bool IsFlat(double gain) {
    return gain >= -kEqActiveGain && gain <= kEqActiveGain;
}

}  // namespace

void ComputeCoefficients(EqBand& band) {
    if (band.type == kEqKeepCoefficients) return;
    const Coefficients c = Design(band.type, band.freq, band.gain, band.q);
    const double scale = 0.5 / c.a0;
    band.b0 = c.b0 * scale;
    band.b1 = c.b1 * scale;
    band.b2 = c.b2 * scale;
    band.a0 = 0.5;
    band.a1 = c.a1 * scale;
    band.a2 = c.a2 * scale;
}

EqAxis::EqAxis(double zeroXFreq) {
    Build(zeroXFreq);
}

void EqAxis::Build(double zeroXFreq) {
    zeroXFreq_ = zeroXFreq;
    const double logMin = std::log10(2.0 * kPi * zeroXFreq / kEqSampleRate);
    const double step = (std::log10(kPi) - logMin) / kEqPoints;
    for (size_t i = 0; i < kEqPoints; ++i) {
        const double w = std::pow(10.0, logMin + static_cast<double>(i) * step);
        omega_[i] = w;
        cos1_[i] = std::cos(w);
        sin1_[i] = std::sin(w);
        cos2_[i] = std::cos(2 * w);
        sin2_[i] = std::sin(2 * w);
    }
}

double EqAxis::Freq(int i) const {
    return Omega(i) * kEqSampleRate / (2.0 * kPi);
}

double EqAxis::MagnitudeDb(const EqBand& b, int i) const {
    const auto k = static_cast<size_t>(i);
    const double nRe = b.b0 + b.b1 * cos1_[k] + b.b2 * cos2_[k];
    const double nIm = -b.b1 * sin1_[k] - b.b2 * sin2_[k];
    const double dRe = b.a0 + b.a1 * cos1_[k] + b.a2 * cos2_[k];
    const double dIm = -b.a1 * sin1_[k] - b.a2 * sin2_[k];
    // 20 log10(|N| / |D|) without the two square roots.
    return 10.0 * std::log10((nRe * nRe + nIm * nIm) / (dRe * dRe + dIm * dIm));
}

void ComputeResponse(EqBand& band, const EqAxis& axis) {
    band.response.resize(kEqPoints);
    if (std::fabs(band.gain) < kEqSilentGain) {
        std::fill(band.response.begin(), band.response.end(), 0.0);
        return;
    }
    for (int i = 0; i < kEqPoints; ++i)
        band.response[static_cast<size_t>(i)] = axis.MagnitudeDb(band, i);
}

EqResponse::EqResponse(double zeroXFreq)
    : axis_(std::clamp(zeroXFreq, kEqMinZeroXFreq, kEqMaxZeroXFreq)),
      main_(kEqPoints, 0.0),
      second_(kEqPoints, 0.0) {
    bands_.reserve(kEqMaxBands);
    for (EqBand& filter : extra_) filter.response.assign(kEqPoints, 0.0);
}

void EqResponse::SetZeroXFreq(double zeroXFreq) {
    axis_.Build(std::clamp(zeroXFreq, kEqMinZeroXFreq, kEqMaxZeroXFreq));
    for (size_t slot = 0; slot < extra_.size(); ++slot)
        if (extraSet_[slot] && !IsFlat(extra_[slot].gain)) ComputeBand(extra_[slot]);
    Refresh();
}

int EqResponse::AddBand(int type, double freq, double gain, double q) {
    if (BandCount() >= kEqMaxBands || type < 0 || type > kEqLastType) return 0;
    EqBand band;
    band.type = type;
    band.freq = freq;
    band.gain = gain;
    band.q = q;
    band.response.assign(kEqPoints, 0.0);
    bands_.push_back(std::move(band));
    return 1;
}

void EqResponse::ComputeBand(EqBand& band) {
    ComputeCoefficients(band);
    ComputeResponse(band, axis_);
}

int EqResponse::SetBand(int index, double value, int what) {
    if (index < 0 || index >= BandCount()) return 0;
    EqBand& band = bands_[static_cast<size_t>(index)];
    const double oldGain = band.gain;
    switch (what) {
        case kEqGain:
            band.gain = value;
            break;
        case kEqFreq:
            band.freq = value;
            break;
        case kEqQ:
            band.q = value;
            break;
        case kEqType:
            if (value < 0 || value > kEqLastType) return 0;
            band.type = static_cast<int32_t>(value);
            break;
        default:
            return 0;
    }
    current_ = -1;
    std::fill(band.response.begin(), band.response.end(), 0.0);
    if (!IsFlat(band.gain)) {
        ComputeBand(band);
        current_ = index;
    } else if (IsFlat(oldGain)) {
        return 0;  // flat before and after: the curve did not move
    }
    RecomputeSums();
    return 1;
}

void EqResponse::Refresh() {
    for (EqBand& band : bands_)
        if (std::fabs(band.gain) >= kEqActiveGain) ComputeBand(band);
    RecomputeSums();
}

int EqResponse::SetExtraFilter(int slot, int type, double freq, double gain, double q) {
    if (slot < 0 || slot >= kEqExtraSlots || type < 0 || type > kEqLastType) return 0;
    EqBand& filter = extra_[static_cast<size_t>(slot)];
    filter.type = type;
    filter.freq = freq;
    filter.gain = gain;
    filter.q = q;
    extraSet_[static_cast<size_t>(slot)] = true;
    current_ = -1;
    std::fill(filter.response.begin(), filter.response.end(), 0.0);
    if (!IsFlat(gain)) {
        ComputeBand(filter);
        current_ = kEqMaxBands + slot;
    }
    RecomputeSums();
    return 1;
}

void EqResponse::ClearExtraFilter(int slot) {
    if (slot < 0 || slot >= kEqExtraSlots) return;
    extraSet_[static_cast<size_t>(slot)] = false;
    if (current_ == kEqMaxBands + slot) current_ = -1;
    RecomputeSums();
}

const EqBand* EqResponse::CurrentFilter() const {
    if (current_ < 0) return nullptr;
    if (current_ < kEqMaxBands) return &bands_[static_cast<size_t>(current_)];
    return &extra_[static_cast<size_t>(current_ - kEqMaxBands)];
}

void EqResponse::RecomputeSums() {
    std::fill(main_.begin(), main_.end(), 0.0);
    for (const EqBand& band : bands_)
        for (size_t i = 0; i < kEqPoints; ++i) main_[i] += band.response[i];
    const bool second = HasSecondCurve();
    if (second) second_ = main_;  // both start from the bands alone
    for (size_t slot = 0; slot < extra_.size(); ++slot) {
        if (!extraSet_[slot]) continue;
        std::vector<double>& sum = slot < 2 ? main_ : second_;
        for (size_t i = 0; i < kEqPoints; ++i) sum[i] += extra_[slot].response[i];
    }
    largest_ = *std::max_element(main_.begin(), main_.end());
    if (second) largest_ = std::max(largest_, *std::max_element(second_.begin(), second_.end()));
}

void AddCardEqBands(EqResponse& eq) {
    for (double freq : kCardEqFreqs) eq.AddBand(kEqPeaking, freq, 0.0, kCardEqQ);
    eq.Refresh();
}

}  // namespace lw52
