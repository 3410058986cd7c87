#pragma once

#include <vector>

#include "UpgradeContext.h"

// Which firmware steps an upgrade writes for the card's firmwareVersion.
namespace firmware {

// The first step, in the package's order, whose NeedVersion holds; -1 when none does.
int FirstStep(const UpgradeContext& context);

// The steps the write phase takes, in order: every step whose NeedVersion holds for the
// firmware version the card had when the phase began (the version is not advanced between
// steps).
std::vector<int> WrittenSteps(const UpgradeContext& context);

// selectedStep = FirstStep; when there is none, errorText says so and the result is false.
bool SelectStep(UpgradeContext& context);

}  // namespace firmware
