#pragma once

#include <string>

namespace audio {

// The master level of the default output device (0.0..1.0) from the sound server; false with
// error set when there is no server or no default output within timeoutMs.
bool ReadMasterVolume(double& level, std::string* error = nullptr, int timeoutMs = 2000);

}  // namespace audio
