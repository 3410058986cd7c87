#include "HotkeyConfig.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "AppPaths.h"
#include "BuiltInClips.h"
#include "HotkeyText.h"
#include "IGlobalHotkeys.h"
#include "IniDocument.h"
#include "IniFile.h"
#include "IniValue.h"
#include "Log.h"
#include "VirtualKeys.h"

namespace {
constexpr std::string_view kFavourites = "HotkeyMood";
constexpr std::string_view kFavouritePaths = "HotkeyMoodPath";
constexpr std::string_view kLocal = "DIY";
constexpr std::string_view kLocalPaths = "DIYPath";
constexpr std::string_view kDownload = "Download";
constexpr std::string_view kDownloadPaths = "DownloadPath";
constexpr std::string_view kConfig = "Config";
constexpr std::string_view kVolume = "Volume";
constexpr std::string_view kEnableHotkey = "EnableHotKey";
constexpr std::string_view kCount = "count";
constexpr std::string_view kEffectHotkeySection = "HotKey";

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// Case folding for the favourite comparison; the stored names are Chinese or ASCII.
std::u16string Folded(std::u16string s) {
    for (char16_t& c : s)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return s;
}

void ReadList(const CIniDocument& file, std::string_view section, std::string_view pathSection,
              bool requireFile, std::vector<SoundEntry>& list) {
    list.clear();
    const int count = file.GetInt(section, kCount, 0);
    for (int i = 0; i < count; ++i) {
        const std::string key = std::to_string(i);
        SoundEntry entry;
        if (!file.GetStruct(section, key, &entry, kSoundEntryStoredBytes)) continue;
        const std::string path = file.Get(pathSection, key).value_or("");
        if (path.empty()) continue;
        if (requireFile && !FileExists(path)) continue;
        if (!entry.SetPathUtf8(path)) continue;  // written elsewhere; cannot be held
        list.push_back(entry);
    }
}

bool WriteList(CIniDocument& file, std::string_view section, std::string_view pathSection,
               const std::vector<SoundEntry>& list) {
    file.DeleteSection(section);
    file.DeleteSection(pathSection);
    CIniDocument::KeyValues heads = {{std::string(kCount), std::to_string(list.size())}};
    CIniDocument::KeyValues paths;
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string key = std::to_string(i);
        heads.emplace_back(key, ini::FormatStruct(&list[i], kSoundEntryStoredBytes));
        paths.emplace_back(key, list[i].PathUtf8());
    }
    // The path section follows its list section, as writing the keys pairwise leaves them.
    const bool headsOk = file.AppendSection(section, heads);
    return file.AppendSection(pathSection, paths) && headsOk;
}
}  // namespace

bool HotkeyConfig::Init() {
    return Init(app_paths::HotkeyConfigPath());
}

bool HotkeyConfig::Init(const std::string& path) {
    path_ = path;
    if (FileExists(path_)) {
        Load();
        return true;
    }
    volume_ = kNewFileVolume;
    hotkeysEnabled_ = false;
    std::string reason;
    if (CIniFile::CreateUtf16File(path_, &reason)) return true;
    QV_LOG("cannot create %s: %s", path_.c_str(), reason.c_str());
    return false;
}

void HotkeyConfig::Load() {
    // One read of the file; every key is looked up in memory.
    CIniDocument file;
    std::string reason;
    if (!file.Read(path_, &reason)) QV_LOG("cannot read %s: %s", path_.c_str(), reason.c_str());
    ReadList(file, kFavourites, kFavouritePaths, false, favourites_);
    ReadList(file, kLocal, kLocalPaths, true, locals_);
    ReadList(file, kDownload, kDownloadPaths, true, downloaded_);
    volume_ = file.GetInt(kConfig, kVolume, kMissingVolume);
    hotkeysEnabled_ = file.GetInt(kConfig, kEnableHotkey, 0) != 0;
}

bool HotkeyConfig::Save() {
    // The new text is built in memory and replaces the file once.
    CIniDocument file;
    std::string& reason = saveError_;
    reason.clear();
    if (!file.Read(path_, &reason)) {
        QV_LOG("saving %s failed: %s", path_.c_str(), reason.c_str());
        return false;
    }
    bool ok = WriteList(file, kFavourites, kFavouritePaths, favourites_);
    ok = WriteList(file, kLocal, kLocalPaths, locals_) && ok;
    ok = WriteList(file, kDownload, kDownloadPaths, downloaded_) && ok;
    file.SetValue(kConfig, kVolume, std::to_string(volume_));
    file.SetValue(kConfig, kEnableHotkey, hotkeysEnabled_ ? "1" : "0");
    if (!ok) {
        reason = "a path holds a line break and was left out";
        QV_LOG("saving %s: %s", path_.c_str(), reason.c_str());
    }
    if (!file.Write(&reason)) {
        QV_LOG("saving %s failed: %s", path_.c_str(), reason.c_str());
        return false;
    }
    return ok;
}

bool HotkeyConfig::SetVolume(int volume) {
    volume_ = volume;
    return CIniFile(path_).WriteInt(kConfig, kVolume, volume_);
}

void HotkeyConfig::EnableHotkeys(bool on) {
    if (hotkeysEnabled_ && !on) UnregisterHotkeys();
    const bool wasEnabled = hotkeysEnabled_;
    hotkeysEnabled_ = on;
    if (!wasEnabled && on) RegisterHotkeys();
    CIniFile(path_).WriteInt(kConfig, kEnableHotkey, on ? 1 : 0);
}

void HotkeyConfig::AddFavourite(const SoundEntry& entry) {
    favourites_.push_back(entry);
    Save();
}

bool HotkeyConfig::SeedDefaultFavourites() {
    if (!favourites_.empty()) return false;
    for (size_t i = 0; i < kBuiltInClips.size(); ++i) {
        SoundEntry entry;
        entry.kind = SoundEntry::kBuiltIn;
        entry.SetName(kBuiltInClips[i].text);
        entry.SetPathUtf8(kBuiltInClips[i].resource);
        if (i < kSeededHotkeys)
            entry.hotkey = hotkey::MakeValue(0, vk::kNumpad0 + 1 + static_cast<uint32_t>(i));
        favourites_.push_back(entry);
    }
    Save();
    return true;
}

void HotkeyConfig::RemoveFavourite(size_t index) {
    if (index >= favourites_.size()) return;
    if (hotkeysEnabled_) UnregisterHotkeys();
    favourites_.erase(favourites_.begin() + static_cast<std::ptrdiff_t>(index));
    if (hotkeysEnabled_) RegisterHotkeys();
    Save();
}

bool HotkeyConfig::RemoveFavouritesLike(const SoundEntry& entry) {
    if (favourites_.empty()) return false;
    if (hotkeysEnabled_) UnregisterHotkeys();
    const std::u16string name = entry.Name();
    const std::u16string path = entry.Path();
    const size_t removed = std::erase_if(
        favourites_, [&](const SoundEntry& f) { return f.Name() == name && f.Path() == path; });
    if (hotkeysEnabled_) RegisterHotkeys();
    Save();
    return removed > 0;
}

bool HotkeyConfig::IsFavourite(const SoundEntry& entry) const {
    const std::u16string name = Folded(entry.Name());
    const std::u16string path = Folded(entry.Path());
    return std::any_of(favourites_.begin(), favourites_.end(), [&](const SoundEntry& f) {
        return Folded(f.Path()) == path || Folded(f.Name()) == name;
    });
}

uint32_t HotkeyConfig::GetFavouriteHotkey(size_t index) const {
    return index < favourites_.size() ? favourites_[index].hotkey : 0;
}

void HotkeyConfig::SetFavouriteHotkey(size_t index, uint32_t value) {
    if (index >= favourites_.size()) return;
    favourites_[index].hotkey = value;
    Save();
}

bool HotkeyConfig::AddLocal(const SoundEntry& entry, std::string* reason) {
    if (!Addable(entry, reason)) return false;
    const std::u16string name = entry.Name();
    const auto same = std::find_if(locals_.begin(), locals_.end(),
                                   [&](const SoundEntry& e) { return e.Name() == name; });
    if (same != locals_.end()) locals_.erase(same);
    locals_.push_back(entry);
    Save();
    return true;
}

bool HotkeyConfig::AddLocalFile(std::u16string_view name, std::string_view path,
                                std::string* reason) {
    SoundEntry entry;
    if (!FileEntry(name, path, 0, entry, reason)) return false;
    return AddLocal(entry, reason);
}

void HotkeyConfig::RemoveLocal(size_t index) {
    if (index >= locals_.size()) return;
    locals_.erase(locals_.begin() + static_cast<std::ptrdiff_t>(index));
    Save();
}

void HotkeyConfig::RenameLocal(size_t index, std::u16string_view name) {
    if (index >= locals_.size()) return;
    locals_[index].SetName(name);
    Save();
}

bool HotkeyConfig::AddDownloaded(const SoundEntry& entry, std::string* reason) {
    if (!Addable(entry, reason)) return false;
    const auto same = std::find_if(downloaded_.begin(), downloaded_.end(),
                                   [&](const SoundEntry& e) { return e.cloudId == entry.cloudId; });
    if (same != downloaded_.end()) downloaded_.erase(same);
    downloaded_.push_back(entry);
    Save();
    return true;
}

bool HotkeyConfig::AddDownloadedFile(std::u16string_view name, int32_t cloudId,
                                     std::string_view path, std::string* reason) {
    SoundEntry entry;
    if (!FileEntry(name, path, cloudId, entry, reason)) return false;
    return AddDownloaded(entry, reason);
}

bool HotkeyConfig::FileEntry(std::u16string_view name, std::string_view path, int32_t cloudId,
                             SoundEntry& entry, std::string* reason) {
    entry = SoundEntry();
    entry.kind = SoundEntry::kFile;
    entry.SetName(name);
    entry.cloudId = cloudId;
    if (entry.SetPathUtf8(path)) return true;
    if (reason) *reason = kPathTooLongReason;
    return false;
}

bool HotkeyConfig::Addable(const SoundEntry& entry, std::string* reason) {
    if (entry.path[0] != 0) return true;
    if (reason) *reason = kNoPathReason;
    return false;
}

std::optional<SoundEntry> HotkeyConfig::FindDownloaded(int32_t cloudId) const {
    for (const SoundEntry& e : downloaded_)
        if (e.cloudId == cloudId) return e;
    return std::nullopt;
}

bool HotkeyConfig::IsHotkeyUsed(uint32_t value) const {
    if (value == 0) return false;
    for (const SoundEntry& f : favourites_)
        if (f.hotkey == value) return true;
    for (const auto& [id, effectValue] : effectHotkeys_)
        if (effectValue == value) return true;
    return false;
}

std::u16string HotkeyConfig::HotkeyText(uint32_t value) {
    return ::HotkeyText(value);
}

bool HotkeyConfig::RegisterHotkey(int id, uint32_t value) {
    if (!host_) return false;
    return host_->Register(id, hotkey::Modifiers(value), hotkey::KeyCode(value));
}

void HotkeyConfig::RegisterHotkeys() {
    if (!host_) return;
    for (size_t i = 0; i < favourites_.size(); ++i) {
        const uint32_t value = favourites_[i].hotkey;
        if (value != 0 && !RegisterHotkey(kHotkeyIdBase + static_cast<int>(i), value))
            QV_LOG("RegisterHotKey failed. index=%d\n", static_cast<int>(i));
    }
    for (const auto& [id, value] : effectHotkeys_)
        if (value != 0 && !RegisterHotkey(id, value))
            QV_LOG("RegisterHotKey failed. index=%d\n", id);
}

void HotkeyConfig::UnregisterHotkeys() {
    if (!host_) return;
    for (size_t i = 0; i < favourites_.size(); ++i)
        if (favourites_[i].hotkey != 0) host_->Unregister(kHotkeyIdBase + static_cast<int>(i));
    for (const auto& [id, value] : effectHotkeys_)
        if (value != 0) host_->Unregister(id);
}

uint32_t HotkeyConfig::GetEffectHotkey(int id) const {
    const auto it = effectHotkeys_.find(id);
    return it == effectHotkeys_.end() ? 0 : it->second;
}

void HotkeyConfig::LoadEffectHotkeys(const std::string& settingsPath) {
    CIniDocument settings;
    settings.Read(settingsPath);  // unreadable: every hotkey 0
    for (int id = kFirstEffectHotkeyId; id <= kLastEffectHotkeyId; ++id) {
        const uint32_t value =
            static_cast<uint32_t>(settings.GetInt(kEffectHotkeySection, std::to_string(id), 0));
        effectHotkeys_[id] = value;
        if (hotkeysEnabled_ && value != 0 && !RegisterHotkey(id, value))
            QV_LOG("RegisterHotKey failed. index=%d\n", id);
    }
}

bool HotkeyConfig::SetEffectHotkey(uint32_t value, int id, const std::string& settingsPath) {
    effectHotkeys_[id] = value;
    if (hotkeysEnabled_ && value != 0 && !RegisterHotkey(id, value))
        QV_LOG("RegisterHotKey failed. index=%d\n", id);
    return CIniFile(settingsPath)
        .WriteInt(kEffectHotkeySection, std::to_string(id), static_cast<long>(value));
}

void HotkeyConfig::ClearCloudCategories() {
    std::lock_guard lock(cloudLock_);
    cloudCategories_.clear();
    cloudCategoryNames_.clear();
}

int HotkeyConfig::AddCloudCategory(std::u16string_view name) {
    std::lock_guard lock(cloudLock_);
    if (name.empty() || cloudCategories_.size() != cloudCategoryNames_.size()) return -1;
    cloudCategoryNames_.emplace_back(name);
    cloudCategories_.emplace_back();
    return static_cast<int>(cloudCategories_.size() - 1);
}

bool HotkeyConfig::AddCloudItem(size_t category, const SoundEntry& entry) {
    std::lock_guard lock(cloudLock_);
    if (category >= cloudCategories_.size()) return false;
    cloudCategories_[category].push_back(entry);
    return true;
}

size_t HotkeyConfig::CloudCategoryCount() const {
    std::lock_guard lock(cloudLock_);
    return cloudCategories_.size();
}

std::u16string HotkeyConfig::CloudCategoryName(size_t category) const {
    std::lock_guard lock(cloudLock_);
    return category < cloudCategoryNames_.size() ? cloudCategoryNames_[category] : std::u16string();
}

std::vector<SoundEntry> HotkeyConfig::CloudItems(size_t category) const {
    std::lock_guard lock(cloudLock_);
    return category < cloudCategories_.size() ? cloudCategories_[category]
                                              : std::vector<SoundEntry>();
}

SoundEntry* HotkeyConfig::CloudItemLocked(size_t category, size_t index) {
    if (category >= cloudCategories_.size() || index >= cloudCategories_[category].size())
        return nullptr;
    return &cloudCategories_[category][index];
}

std::optional<SoundEntry> HotkeyConfig::CloudItem(size_t category, size_t index) const {
    std::lock_guard lock(cloudLock_);
    if (category >= cloudCategories_.size() || index >= cloudCategories_[category].size())
        return std::nullopt;
    return cloudCategories_[category][index];
}

void HotkeyConfig::SetDownloadState(size_t category, size_t index, uint32_t state) {
    std::lock_guard lock(cloudLock_);
    if (SoundEntry* item = CloudItemLocked(category, index)) item->downloadState = state;
}

bool HotkeyConfig::TryBeginDownload(size_t category, size_t index) {
    std::lock_guard lock(cloudLock_);
    SoundEntry* item = CloudItemLocked(category, index);
    if (!item || item->kind != SoundEntry::kCloud || item->downloadState != SoundEntry::kIdle)
        return false;
    item->downloadState = SoundEntry::kDownloading;
    return true;
}
