// A downloaded firmware package as the upgrade reads it: the zip archive opened in memory,
// its "steps.xml" read, every named image extracted, and the first step chosen.
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "PackageReader.h"
#include "StepSelection.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> package(data, data + size);
    firmware::UpgradeContext context;
    context.hardwareVersion = "1.0";
    context.firmwareVersion = "1.0";
    if (!firmware::ExtractPackage(context, package)) {
        if (!context.steps.empty() || !context.flashes.empty())
            fuzz::Violated("a refused package leaves steps behind");
        return 0;
    }
    for (const auto& step : context.steps)
        if (step.image.size() > firmware::kMaxImageSize) fuzz::Violated("an image over its limit");
    firmware::WrittenSteps(context);
    firmware::SelectStep(context);
    return 0;
}
