#pragma once

#include <cstddef>
#include <string_view>

// The embedded clips, generated from mp3/ at build time (EmbedClips.cmake).
namespace clips {

struct ClipTableEntry {
    std::string_view name;
    const unsigned char* data;
    size_t size;
};

extern const ClipTableEntry kClipTable[];
extern const size_t kClipTableSize;

}  // namespace clips
