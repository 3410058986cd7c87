#pragma once

#include <string>

#include "AudioStream.h"

namespace audio {

// Selects the first output (or input) from index 0 whose display name or server name contains
// filter (case-sensitive) and returns its index; -1 when none does (the selection is left as
// it was: the server's default unless something was selected before).
int SelectDeviceByFilter(IAudioStream& stream, bool output, const std::string& filter);

}  // namespace audio
