#include "BuiltInClipData.h"

#include "ClipTable.h"

namespace clips {

ClipBytes FindClip(std::string_view resourceName) {
    for (size_t i = 0; i < kClipTableSize; ++i) {
        if (kClipTable[i].name == resourceName) return {kClipTable[i].data, kClipTable[i].size};
    }
    return {nullptr, 0};
}

}  // namespace clips
