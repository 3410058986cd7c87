#pragma once

#include <string_view>

#include "UpgradeContext.h"

namespace firmware {

// Reads the service's answer to the upgrade check ("/api/effect_sound/checkAppUpgrade.json",
// body "appVer=1&appType=22"): latestVersion from "data"."currentVer" (1002000 is "1.2") and
// packageUrl from "data"."url". On failure errorText says why and the context keeps its
// earlier values.
bool ReadServerAnswer(UpgradeContext& context, std::string_view reply);

}  // namespace firmware
