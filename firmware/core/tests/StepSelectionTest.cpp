#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StepSelection.h"

using firmware::UpgradeContext;

namespace {

UpgradeContext WithSteps(const std::vector<std::string>& conditions, const std::string& firmware) {
    UpgradeContext context;
    context.firmwareVersion = firmware;
    for (const std::string& condition : conditions)
        context.steps.push_back({"v", "f.bin", condition, {}});
    return context;
}

}  // namespace

TEST(StepSelection, TheFirstHoldingStepIsSelectedAndEveryHoldingStepIsWritten) {
    const struct {
        std::vector<std::string> conditions;
        const char* firmware;
        int first;
        std::vector<int> written;
    } cases[] = {
        {{"L1.1", "L1.2"}, "1.0", 0, {0, 1}},
        {{"L1.1", "L1.2"}, "1.1", 1, {1}},
        {{"L1.1", "L1.2"}, "1.2", -1, {}},
        // Conditions are always read against the version the card had at the start: after
        // step 0 (1.0 -> 1.1) the step for 1.1 is not taken.
        {{"E1.0", "E1.1", "G0.5"}, "1.0", 0, {0, 2}},
        {{"G1.2", "E1.2"}, "1.2.0", 1, {1}},
        {{"Q1.0", "", "e1.0"}, "1.0", -1, {}},
        {{}, "1.0", -1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("firmware ") + c.firmware);
        UpgradeContext context = WithSteps(c.conditions, c.firmware);
        EXPECT_EQ(firmware::FirstStep(context), c.first);
        EXPECT_EQ(firmware::WrittenSteps(context), c.written);
        context.errorText = "earlier";
        EXPECT_EQ(firmware::SelectStep(context), c.first >= 0);
        EXPECT_EQ(context.selectedStep, c.first);
        EXPECT_EQ(context.errorText,
                  c.first >= 0 ? "earlier" : "没有进行固件更新，因为没有找到合适的固件");
    }
}
