#pragma once

#include <string_view>

#include "UpgradeContext.h"

namespace firmware {

// Reads a package's "steps.xml" (UTF-8, or UTF-16 with a byte order mark) for the card's
// hardwareVersion: latestVersion, the firmware steps and the flash steps. On success they
// replace what the context held; on failure errorText says the first thing that is wrong,
// the step lists are left empty and latestVersion is kept.
bool ParseSteps(UpgradeContext& context, std::string_view xmlText);

}  // namespace firmware
