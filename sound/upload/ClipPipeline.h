#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace upload {

enum class PrepareResult {
    kOk,
    kNothingDecoded,  // nothing decoded, or no temporary file: "特效解码失败"
    kNotLoaded,       // the WAV unreadable or not converted: "特效载入失败"
};

// The whole preparation of an upload on the caller's thread, as the upload window does it in
// steps: decode at the decoder volume for padVolume and the master level, write and read back
// the WAV, convert to the card's 48 kHz mono 16-bit PCM. The temporary files are deleted.
PrepareResult PrepareClip(const std::string& source, int resourceFlag, int padVolume,
                          double masterLevel, std::vector<uint8_t>& pcm);

// The message a preparation failure shows (empty for kOk).
const char* PrepareFailureText(PrepareResult result);

}  // namespace upload
