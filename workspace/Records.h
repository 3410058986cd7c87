#pragma once

#include <cstdint>
#include <string>

// Records stored as blobs in the settings file: byte layouts fixed (little-endian, UTF-16
// text fields), so files move between this program and its Windows build.
namespace lw52 {

static_assert(sizeof(char16_t) == 2);

#pragma pack(push, 1)
struct EffectRecord {
    int32_t values[64];  // indexed by parameter id; 44..63 are 0
    char16_t name[64];
    uint8_t reserved[640];
    int32_t reserved1024;
    int32_t slot;  // 0..2 the card's custom slots, 3..14 the user's custom effects 0..11
    int32_t empty;
    int32_t isFileEffect;
    char16_t path[260];
};

struct PresetRecord {
    char16_t name[16];
    int32_t values[32];  // in the order of the group's members
    int32_t count;       // applies only to a group with exactly this many members
    int32_t reserved;
};

struct CloudEffectRecord {
    char16_t soundName[64];
    char16_t categoryName[64];
    char16_t url[260];  // download URL in the cloud list; local file in the downloaded list
    int32_t reserved;
    int32_t downloaded;
};
#pragma pack(pop)

static_assert(sizeof(EffectRecord) == 1560);
static_assert(sizeof(PresetRecord) == 168);
static_assert(sizeof(CloudEffectRecord) == 784);

// UTF-8 views of the text fields.
std::string RecordName(const EffectRecord& record);
std::string RecordPath(const EffectRecord& record);
void SetRecordName(EffectRecord& record, const std::string& utf8);
void SetRecordPath(EffectRecord& record, const std::string& utf8);
std::string PresetName(const PresetRecord& record);

}  // namespace lw52
