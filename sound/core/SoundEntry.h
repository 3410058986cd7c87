#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "TextUtil.h"

static_assert(std::endian::native == std::endian::little,
              "stored sound entries are little-endian byte images");

// One sound clip as the pads, the lists of the hotkey configuration and the cloud tabs keep
// it. The byte layout is stored as is (the first kStoredBytes in the configuration file), so
// the field order and widths are fixed. A new entry is all zero.
struct SoundEntry {
    enum Kind : int32_t { kBuiltIn = 0, kFile = 1, kCloud = 2 };
    enum DownloadState : uint32_t { kIdle = 0, kDownloading = 1, kDownloaded = 2 };

    static constexpr size_t kNameUnits = 16;
    static constexpr size_t kNameMaxChars = 8;  // names are cut here
    static constexpr size_t kPathUnits = 260;
    static constexpr size_t kPathMaxUnits = kPathUnits - 1;  // the terminator takes the last

    int32_t kind = kBuiltIn;
    char16_t name[kNameUnits] = {};
    uint32_t hotkey = 0;  // (modifiers << 16) | virtual-key code; 0 = none
    int32_t cloudId = 0;
    char16_t path[kPathUnits] = {};  // file path, resource name or download URL
    uint32_t downloadState = kIdle;

    void SetName(std::u16string_view value) {
        text::CopyToField(name, kNameUnits, value.substr(0, kNameMaxChars));
    }
    std::u16string Name() const { return text::FieldToString(name, kNameUnits); }
    static bool PathFits(std::u16string_view value) { return value.size() <= kPathMaxUnits; }
    // A path that does not fit is not cut (a cut path names another file, or none): the field
    // is left empty and the result is false.
    bool SetPath(std::u16string_view value) {
        const bool fits = PathFits(value);
        text::CopyToField(path, kPathUnits, fits ? value : std::u16string_view());
        return fits;
    }
    std::u16string Path() const { return text::FieldToString(path, kPathUnits); }
    // Paths on Linux are UTF-8.
    bool SetPathUtf8(std::string_view value) { return SetPath(text::Utf8ToUtf16(value)); }
    std::string PathUtf8() const { return text::Utf16ToUtf8(Path()); }
};

static_assert(sizeof(SoundEntry) == 568, "stored record layout");
static_assert(offsetof(SoundEntry, name) == 4 && offsetof(SoundEntry, hotkey) == 36 &&
                  offsetof(SoundEntry, cloudId) == 40 && offsetof(SoundEntry, path) == 44 &&
                  offsetof(SoundEntry, downloadState) == 564,
              "stored record layout");

// The head of the entry (kind, name, hotkey, cloud id) stored as one checksummed value.
constexpr size_t kSoundEntryStoredBytes = offsetof(SoundEntry, path);
