#include "StepSelection.h"

#include "FirmwareVersion.h"

namespace firmware {

namespace {

bool Holds(const UpgradeContext& context, const FirmwareStep& step) {
    return ConditionHolds(step.needVersion, context.firmwareVersion);
}

}  // namespace

int FirstStep(const UpgradeContext& context) {
    for (size_t i = 0; i < context.steps.size(); ++i)
        if (Holds(context, context.steps[i])) return static_cast<int>(i);
    return -1;
}

std::vector<int> WrittenSteps(const UpgradeContext& context) {
    std::vector<int> written;
    for (size_t i = 0; i < context.steps.size(); ++i)
        if (Holds(context, context.steps[i])) written.push_back(static_cast<int>(i));
    return written;
}

bool SelectStep(UpgradeContext& context) {
    context.selectedStep = FirstStep(context);
    if (context.selectedStep >= 0) return true;
    context.errorText = "没有进行固件更新，因为没有找到合适的固件";
    return false;
}

}  // namespace firmware
