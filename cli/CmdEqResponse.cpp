// eq-response G1 ... G10: the equaliser curve the panel draws for ten band gains.
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "Commands.h"
#include "EqResponse.h"
#include "Json.h"

namespace {

// The left edge of the curve in the main window.
constexpr double kPanelZeroXFreq = 20.0;

bool ParseGain(const std::string& text, double& out) {
    char* end = nullptr;
    out = strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(out) && out >= -12.0 && out <= 12.0;
}

}  // namespace

// Ten gains in dB (band order 55 Hz ... 10 kHz) -> the summed response in dB at the 1024
// points of the curve, set up exactly as the effects page sets up its bands.
int CmdEqResponse(const CliContext& ctx) {
    if (ctx.args.size() != lw52::kCardEqBands)
        return UsageError("eq-response takes ten gains in dB (-12..12), one per band, got " +
                          std::to_string(ctx.args.size()));
    std::array<double, lw52::kCardEqBands> gains{};
    for (size_t k = 0; k < gains.size(); ++k)
        if (!ParseGain(ctx.args[k], gains[k]))
            return UsageError("gain " + std::to_string(k + 1) +
                              " is not a number from -12 to 12: '" + ctx.args[k] + "'");

    lw52::EqResponse eq(kPanelZeroXFreq);
    lw52::AddCardEqBands(eq);
    for (size_t k = 0; k < gains.size(); ++k)
        eq.SetBand(static_cast<int>(k), gains[k], lw52::kEqGain);

    const std::vector<double>& db = eq.MainSum();
    if (ctx.json) {
        Json::Value out;
        Json::Value freqs(Json::arrayValue), levels(Json::arrayValue);
        for (int i = 0; i < lw52::kEqPoints; ++i) {
            freqs.append(eq.Axis().Freq(i));
            levels.append(db[static_cast<size_t>(i)]);
        }
        out["freqs"] = freqs;
        out["db"] = levels;
        PrintJson(out);
        return kExitOk;
    }
    for (double level : db)
        printf("%.4f\n", std::fabs(level) < 5e-5 ? 0.0 : level);  // no "-0.0000"
    return kExitOk;
}
