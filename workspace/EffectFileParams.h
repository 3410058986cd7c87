#pragma once

#include <cstdint>

#include "EffectFile.h"

namespace lw52 {

// Takes over the parameter values of an effect file: an entry with number k in 2..44 whose
// parameter k-1 is an effect parameter sets values[k-1] to
//   min + trunc((value - low) * (max - min)) / (high - low)
// (integer division toward zero; min/max from the parameter table). Other entries, the
// microphone volume (k = 1) among them, are ignored. The result is not clamped to min..max;
// a non-finite value leaves its parameter alone and huge products saturate.
void MapEffectFileParams(const EffectFile& file, int32_t values[64]);

}  // namespace lw52
