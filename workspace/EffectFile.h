#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Effect files ("*.dteff"): a complete processing configuration for the card. Little-endian:
// a header of ten int32 fields, blocks 0x06, 0x04 and 0x16, then the parameter section.
// Only layouts the upload frames can carry are accepted; anything else is refused with a
// reason so that nothing half-understood reaches the card.
namespace lw52 {

constexpr int32_t kEffectFileVersion = 2;
constexpr size_t kEffectFileHeaderBytes = 40;
constexpr size_t kMaxEffectFileBytes = size_t{16} << 20;
constexpr int32_t kBlockEntryBytes = 8;     // blocks 0x04 and 0x06
constexpr int32_t kBlock16EntryBytes = 24;  // block 0x16: six int32 words
constexpr int32_t kMinParamEntryBytes = 16;
constexpr int32_t kMaxParamEntryBytes = 24;

struct EffectFileHeader {
    int32_t version = kEffectFileVersion;
    int32_t reserved = 0;
    int32_t paramEntrySize = kMinParamEntryBytes;
    int32_t paramBytes = 0;
    int32_t entrySize06 = kBlockEntryBytes;
    int32_t entrySize04 = kBlockEntryBytes;
    int32_t entrySize16 = kBlock16EntryBytes;
    int32_t bytes06 = 0;
    int32_t bytes04 = 0;
    int32_t bytes16 = 0;
};

// A value on the scale low..high for parameter number - 1. Only the first 16 bytes of an
// entry carry data.
struct EffectFileParam {
    int32_t number = 0;
    int32_t low = 0;
    int32_t high = 0;
    float value = 0;
};

struct EffectFile {
    EffectFileHeader header;
    std::vector<uint8_t> block06;
    std::vector<uint8_t> block04;
    std::vector<uint8_t> block16;
    std::vector<EffectFileParam> params;
};

// Bytes after the announced sections are ignored. On failure `out` is unspecified.
bool ParseEffectFile(const uint8_t* data, size_t size, EffectFile& out, std::string& reason);
// Refuses unreadable files and files over kMaxEffectFileBytes before parsing.
bool ReadEffectFile(const std::string& path, EffectFile& out, std::string& reason);

// The checks ParseEffectFile makes on the decoded structure: entry sizes, block sizes
// matching the header and whole entries, no parameter with high == low. For files built by
// hand before they are turned into frames.
bool CheckEffectFile(const EffectFile& file, std::string& reason);

}  // namespace lw52
