// A package's "steps.xml" on its own (inside a package it sits behind the zip layer's
// checksums, which mutations rarely get past): read for the card's hardware version, then the
// steps an upgrade would write.
#include <cstdint>
#include <string_view>

#include "FuzzSupport.h"
#include "StepSelection.h"
#include "StepsXml.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    firmware::UpgradeContext context;
    context.hardwareVersion = "1.0";
    context.firmwareVersion = "1.0";
    const std::string_view xml(reinterpret_cast<const char*>(data), size);
    if (!firmware::ParseSteps(context, xml)) {
        if (!context.steps.empty() || !context.flashes.empty())
            fuzz::Violated("refused steps leave steps behind");
        return 0;
    }
    if (context.steps.size() > firmware::kMaxSteps || context.flashes.size() > firmware::kMaxSteps)
        fuzz::Violated("more steps than a package may name");
    firmware::WrittenSteps(context);
    firmware::SelectStep(context);
    return 0;
}
