// The cloud effect lists: the one fetched from the service (memory only) and the downloaded
// effects, appended to the settings file so they can be shown without the service.
#include <string>

#include "IniFile.h"
#include "WorkSpace.h"

namespace {
constexpr const char* kSectionDownload = "DownloadEffect";
constexpr const char* kKeyCount = "count";
}  // namespace

void CWorkSpace::SetCloudEffects(std::vector<lw52::CloudEffectRecord> list) {
    m_cloudEffects = std::move(list);
}

bool CWorkSpace::AddDownloadedEffect(const lw52::CloudEffectRecord& record) {
    m_downloaded.push_back(record);
    CIniFile ini(m_settingsPath);
    const int count = ini.GetInt(kSectionDownload, kKeyCount, 0);
    const int at = count < 0 ? 0 : count;
    // The record first, then the count that makes it visible to the next start.
    if (!ini.WriteStruct(kSectionDownload, std::to_string(at), &record, sizeof record))
        return false;
    return ini.WriteInt(kSectionDownload, kKeyCount, at + 1);
}
