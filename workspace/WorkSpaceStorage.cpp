// Presets, custom effects, the card's slots and the last state, kept as blobs in the
// settings file and written one key at a time.
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstring>

#include "IniDocument.h"
#include "IniFile.h"
#include "ParamTable.h"
#include "TextUtil.h"
#include "WorkSpace.h"

namespace {
constexpr const char* kSectionLastStatus = "LastStatus";
constexpr const char* kKeyCurrentEffect = "CurrentEffect";
constexpr const char* kSectionDeviceCustom = "DeviceCustomEffect";
constexpr const char* kSectionMyCustom = "MyCustomEffect";
constexpr const char* kSectionCustomPreset = "CustomPreset";
constexpr const char* kSectionDownload = "DownloadEffect";
constexpr int kCustomEffectCount = 12;
constexpr int kCardSlotCount = 3;

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string PresetKey(int group, int slot) {
    return std::to_string(group) + "_" + std::to_string(slot);
}

// k for the key std::to_string(k) of a record number k >= 0 (no sign, no leading zero).
bool RecordNumber(const std::string& key, int& k) {
    const char* end = key.data() + key.size();
    const auto [ptr, ec] = std::from_chars(key.data(), end, k);
    return ec == std::errc() && ptr == end && k >= 0 && std::to_string(k) == key;
}

template <typename Record>
Record Zeroed() {
    Record record;
    memset(&record, 0, sizeof record);
    return record;
}
}  // namespace

void CWorkSpace::LoadStoredRecords() {
    // The settings file is UTF-16: whoever creates it first (the panel's settings or a
    // command-line run) creates it holding only the byte-order mark.
    if (!m_settingsPath.empty() && !FileExists(m_settingsPath))
        CIniFile::CreateUtf16File(m_settingsPath);
    // One read of the file for every record.
    CIniDocument ini;
    ini.Read(m_settingsPath);
    for (int g = 1; g <= 3; ++g)
        for (int s = 0; s < lw52::kUserPresetSlots; ++s) {
            auto record = Zeroed<lw52::PresetRecord>();
            if (!ini.GetStruct(kSectionCustomPreset, PresetKey(g, s), &record, sizeof record))
                record = Zeroed<lw52::PresetRecord>();
            m_presets[static_cast<size_t>(g)].push_back(record);
        }

    if (!ini.GetStruct(kSectionLastStatus, kKeyCurrentEffect, &m_current, sizeof m_current))
        m_current = lw52::BuiltinEffect(0);

    for (int s = 0; s < kCardSlotCount; ++s) {
        auto record = Zeroed<lw52::EffectRecord>();
        if (ini.GetStruct(kSectionDeviceCustom, std::to_string(s), &record, sizeof record))
            m_builtinEffects[static_cast<size_t>(lw52::kFirstCardSlotEffect + s)] = record;
    }

    for (int i = 0; i < kCustomEffectCount; ++i) {
        auto record = Zeroed<lw52::EffectRecord>();
        if (!ini.GetStruct(kSectionMyCustom, std::to_string(i), &record, sizeof record)) {
            record = Zeroed<lw52::EffectRecord>();
            record.empty = 1;
        }
        m_customEffects.push_back(record);
    }

    // Records 0..count-1 in order, those the section holds: walking its keys rather than
    // every number below count, so that a damaged count cannot stall the start.
    const int count = ini.GetInt(kSectionDownload, "count", 0);
    std::vector<int> numbers;
    for (const std::string& key : ini.KeyNames(kSectionDownload)) {
        int k = 0;
        if (RecordNumber(key, k) && k < count) numbers.push_back(k);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    for (int k : numbers) {
        auto record = Zeroed<lw52::CloudEffectRecord>();
        if (!ini.GetStruct(kSectionDownload, std::to_string(k), &record, sizeof record)) continue;
        const std::string path = text::Utf16ToUtf8(text::FieldToString(record.url, 260));
        if (FileExists(path)) m_downloaded.push_back(record);
    }
}

bool CWorkSpace::WriteRecord(const char* section, const std::string& key, const void* data,
                             size_t size) {
    CIniFile ini(m_settingsPath);
    return ini.WriteStruct(section, key, data, size);
}

bool CWorkSpace::StoreLastStatus() {
    return WriteRecord(kSectionLastStatus, kKeyCurrentEffect, &m_current, sizeof m_current);
}

int CWorkSpace::ApplyPreset(int group, int index) {
    if (group < 0 || group >= 4) return 0;
    const auto& list = m_presets[static_cast<size_t>(group)];
    const auto& members = lw52::ParamGroups()[static_cast<size_t>(group)].members;
    if (index < 0 || index >= static_cast<int>(list.size())) return 0;
    const lw52::PresetRecord& preset = list[static_cast<size_t>(index)];
    if (preset.count != static_cast<int>(members.size())) return 0;

    const bool connected = IsConnected();
    for (size_t i = 0; i < members.size(); ++i) {
        const int id = members[i];
        const int v = preset.values[i];
        // The noise-reduction level only means something while one-key reduction is on.
        if (id == lw52::kParamNoiseLevel && m_current.values[lw52::kParamNoiseReduction] == 0)
            continue;
        if (id == lw52::kParamMicVolume && v != 0) m_current.values[lw52::kParamMicMute] = 0;
        m_current.values[id] = v;
        if (connected) Queue(id, v);
    }
    RefreshControls();
    if (connected) Flush(0);
    return 1;
}

int CWorkSpace::ApplyGroupFromEffect(int group, int effect) {
    if (group < 0 || group >= lw52::kGroupCount || effect < 0 ||
        effect >= lw52::kBuiltinEffectCount + kCustomEffectCount)
        return 0;
    const lw52::EffectRecord& record =
        effect < lw52::kBuiltinEffectCount
            ? m_builtinEffects[static_cast<size_t>(effect)]
            : m_customEffects[static_cast<size_t>(effect - lw52::kBuiltinEffectCount)];
    const bool connected = IsConnected();
    for (int id : lw52::ParamGroups()[static_cast<size_t>(group)].members) {
        m_current.values[id] = record.values[id];
        if (connected) Queue(id, record.values[id]);
    }
    RefreshControls();
    if (connected) Flush(0);
    return 1;
}

int CWorkSpace::SaveCustomPreset(const std::string& name, int group, int slot) {
    if (slot < 0 || slot >= lw52::kUserPresetSlots || group < 1 || group > 3) return 0;
    const auto& members = lw52::ParamGroups()[static_cast<size_t>(group)].members;
    auto record = Zeroed<lw52::PresetRecord>();
    text::CopyToField(record.name, 16, text::Utf8ToUtf16(name));
    for (size_t i = 0; i < members.size(); ++i) record.values[i] = m_current.values[members[i]];
    // The reverb and voice-change groups lead with their on/off switch: a preset turns it on.
    if (group == lw52::kGroupReverb || group == lw52::kGroupVoice) record.values[0] = 1;
    record.count = static_cast<int32_t>(members.size());
    auto& list = m_presets[static_cast<size_t>(group)];
    list[static_cast<size_t>(lw52::BuiltinPresetCount(group) + slot)] = record;
    // Kept in the list either way; a record that did not reach the file is reported.
    return WriteRecord(kSectionCustomPreset, PresetKey(group, slot), &record, sizeof record) ? 1
                                                                                             : 0;
}

int CWorkSpace::SaveEffectToSlot(int kind, int slot, const std::string& name) {
    if (name.empty() || slot < 0) return 0;
    if (kind == 0 ? slot >= kCardSlotCount : kind == 1 ? slot >= kCustomEffectCount : true)
        return 0;
    lw52::EffectRecord copy = m_current;
    lw52::SetRecordName(copy, name);
    copy.reserved1024 = 0;
    if (copy.isFileEffect == 1)
        copy.values[lw52::kParamEffect] = (kind == 0 ? 148 : 151) + slot;
    else
        copy.values[lw52::kParamEffect] = (m_current.values[lw52::kParamEffect] & 0x0F) + 0x40;
    copy.slot = kind == 0 ? slot : slot + 3;
    if (kind == 0) {
        m_builtinEffects[static_cast<size_t>(lw52::kFirstCardSlotEffect + slot)] = copy;
        return WriteRecord(kSectionDeviceCustom, std::to_string(slot), &copy, sizeof copy) ? 1 : 0;
    }
    m_customEffects[static_cast<size_t>(slot)] = copy;
    return WriteRecord(kSectionMyCustom, std::to_string(slot), &copy, sizeof copy) ? 1 : 0;
}

int CWorkSpace::ResetDeviceSlot(int index) {
    if (index < lw52::kFirstCardSlotEffect || index >= lw52::kBuiltinEffectCount) return 0;
    lw52::EffectRecord record = lw52::BuiltinEffect(index);
    record.slot = index - lw52::kFirstCardSlotEffect;
    record.isFileEffect = 0;
    m_builtinEffects[static_cast<size_t>(index)] = record;
    return WriteRecord(kSectionDeviceCustom, std::to_string(record.slot), &record, sizeof record)
               ? 1
               : 0;
}

int CWorkSpace::SendRecord(const lw52::EffectRecord& record, int target) {
    if (!IsConnected()) return 0;
    m_pending.clear();
    for (int id = 0; id < lw52::kParamCount; ++id)
        if (lw52::IsEffectParam(id)) Queue(id, record.values[id]);
    return Flush(target);
}
