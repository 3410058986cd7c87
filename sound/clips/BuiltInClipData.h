#pragma once

#include <cstddef>
#include <string_view>

// The MP3 bytes of the sound pad's built-in clips, embedded in the program.
namespace clips {

struct ClipBytes {
    const unsigned char* data;
    size_t size;
};  // null/0 when unknown

// By resource name ("DJ_ZS"); the name must match exactly.
ClipBytes FindClip(std::string_view resourceName);

}  // namespace clips
