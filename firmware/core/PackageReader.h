#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "UpgradeContext.h"

// The downloaded firmware package: a zip archive held in memory whose "steps.xml" names the
// images to extract. Nothing is written to disk: members are looked up by their exact name.
namespace firmware {

// The most a member may inflate to. A member that would be larger is refused while it is
// read, whatever its header says, and no more than this is ever held for it.
constexpr size_t kMaxStepsXmlSize = size_t{1} << 20;
constexpr size_t kMaxImageSize = size_t{16} << 20;

// The largest package file read into memory: ten firmware and ten flash images at their
// largest, stored, and room for steps.xml and the archive's directory.
constexpr uint64_t kMaxPackageSize = 20 * uint64_t{kMaxImageSize} + (uint64_t{16} << 20);

// Reads the package file whole into package; errorText says why not.
bool ReadPackageFile(UpgradeContext& context, const std::string& path,
                     std::vector<uint8_t>& package);

// Opens the package, reads "steps.xml" (ParseSteps) and extracts the image of every firmware
// and flash step. On failure errorText says why and no step is left in the context.
bool ExtractPackage(UpgradeContext& context, const std::vector<uint8_t>& package);

}  // namespace firmware
