#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The card's 44 parameters. Values are raw 12-bit integers everywhere; step, offset and
// format matter for display only.
namespace lw52 {

constexpr int kParamCount = 44;

enum ParamType : int32_t {
    kParamRange = 0,
    kParamSwitch = 3,
    kParamList = 4,
    kParamEffectNumber = 7,
};

// Ids with behaviour attached to them.
enum ParamId : int {
    kParamMicVolume = 0,
    kParamNoiseLevel = 3,
    kParamEffect = 4,
    kParamMicMute = 5,
    kParamMicBoost = 6,
    kParamAccBoost = 7,
    kParamNaturalVoice = 9,
    kParamInternalPlayback = 10,
    kParamNoiseReduction = 11,
    kParamVocalRemoval = 12,
    kParamEqFirst = 15,
    kParamEqLast = 24,
    kParamDucking = 25,
    kParamVoiceChangeOn = 29,
    kParamScale = 33,
    kParamKey = 34,
    kParamReverbOn = 35,
};

struct ParamInfo {
    int32_t id;
    const char* name;  // UTF-8
    int32_t type;
    int32_t min;
    int32_t max;
    float step;
    const char* format;  // printf-style display format
    const char* items;   // list items joined by "[#]"
    int32_t reserved1;
    int32_t initial;
    int32_t isEffectParam;  // copied with an effect; written with 0x96, others with 0x94
    int32_t refreshOnLoad;
    int32_t entryTag;  // high nibble of the entry's middle byte
    int32_t reserved2;
    int32_t displayOffset;
};

const std::array<ParamInfo, kParamCount>& ParamTable();
inline const ParamInfo& Param(int id) {
    return ParamTable()[static_cast<size_t>(id)];
}
inline bool IsEffectParam(int id) {
    return id >= 0 && id < kParamCount && Param(id).isEffectParam;
}

constexpr int kGroupCount = 5;
enum GroupIndex : int {
    kGroupMixer = 0,
    kGroupEq = 1,
    kGroupReverb = 2,
    kGroupVoice = 3,
    kGroupElectric = 4
};

struct ParamGroup {
    const char* name;
    std::vector<int> members;  // parameter ids, in order
};
const std::array<ParamGroup, kGroupCount>& ParamGroups();

}  // namespace lw52
