#include "EffectFileParams.h"

#include <cmath>
#include <limits>

#include "ParamTable.h"

namespace lw52 {
namespace {

// trunc(x) as an int64, saturating instead of overflowing.
int64_t TruncSaturated(float x) {
    constexpr float kLimit = 9.0e18f;
    if (x >= kLimit) return static_cast<int64_t>(kLimit);
    if (x <= -kLimit) return -static_cast<int64_t>(kLimit);
    return static_cast<int64_t>(x);  // conversion truncates toward zero
}

int32_t SaturateInt32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

}  // namespace

void MapEffectFileParams(const EffectFile& file, int32_t values[64]) {
    for (const EffectFileParam& param : file.params) {
        // The number is checked before the subtraction: a file may hold any int32 there.
        if (param.number < 2 || param.number > kParamCount) continue;
        const int id = param.number - 1;
        if (!IsEffectParam(id)) continue;
        if (!std::isfinite(param.value) || param.high == param.low) continue;
        const ParamInfo& info = Param(id);
        // The value is a float and the product is formed in single precision, as the
        // files' makers compute it: 2.3 on a -12..12 scale gives 143, not 142.
        const float scaled =
            (param.value - static_cast<float>(param.low)) * static_cast<float>(info.max - info.min);
        const int64_t span = static_cast<int64_t>(param.high) - param.low;
        values[id] = SaturateInt32(info.min + TruncSaturated(scaled) / span);
    }
}

}  // namespace lw52
