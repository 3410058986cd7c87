#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "SoundEntry.h"

class IGlobalHotkeys;

// Everything the sound pads remember: the favourites ("HotkeyMood"), the local files ("DIY")
// and the downloaded cloud clips ("Download"), the pad volume, the hotkey switch, the
// favourites' and the effect buttons' hotkeys, and the cloud categories. Persisted in the
// UTF-16 INI file "QvH31Moodcfg.ini"; every operation that changes a list saves the whole
// configuration at once, with one replacement of the file.
//
// The lists, the settings and the hotkeys belong to the UI thread. The cloud categories and
// their download states are shared with the cloud workers and guarded by the object's lock.
class HotkeyConfig {
  public:
    static constexpr int kHotkeyIdBase = 14000;  // favourite i is registered as 14000 + i
    static constexpr int kFirstEffectHotkeyId = 10000;
    static constexpr int kLastEffectHotkeyId = 10023;
    static constexpr int kNewFileVolume = 50;
    static constexpr int kMissingVolume = 76;
    static constexpr size_t kSeededHotkeys = 8;  // Num 1 .. Num 8 on the first built-in clips
    // Why an add was refused, for the page to show.
    static constexpr const char* kPathTooLongReason = "文件路径太长（最多259个字符），无法添加";
    static constexpr const char* kNoPathReason = "没有文件路径，无法添加";

    // The platform's hotkey service; null (the default) registers nothing. Not owned.
    void SetHotkeyHost(IGlobalHotkeys* host) { host_ = host; }

    // Loads path when it exists; otherwise creates it holding only the UTF-16 byte-order mark,
    // with volume 50 and hotkeys off in memory. False only when the file cannot be created.
    bool Init(const std::string& path);
    bool Init();  // the default file in the user's data folder
    // Reads every list and setting (one read of the file); entries whose value or path is
    // missing or corrupted are skipped, local and downloaded entries whose file has gone are
    // dropped.
    void Load();
    // Rewrites every list and setting: the new text is made in memory and replaces the file in
    // one go, or not at all when nothing changed. False when that failed or a path could not
    // be written (one holding a line break is left out).
    bool Save();
    const std::string& Path() const { return path_; }
    // Why the last Save failed (empty when it succeeded): the changes that call Save keep the
    // change in memory, and a caller that must know the file holds it saves once more.
    const std::string& SaveError() const { return saveError_; }

    int Volume() const { return volume_; }
    bool SetVolume(int volume);  // writes only "Config"/"Volume"
    bool HotkeysEnabled() const { return hotkeysEnabled_; }
    // Unregisters when switched off, registers when switched on, and stores the switch.
    void EnableHotkeys(bool on);

    const std::vector<SoundEntry>& Favourites() const { return favourites_; }
    const std::vector<SoundEntry>& Locals() const { return locals_; }
    const std::vector<SoundEntry>& Downloaded() const { return downloaded_; }

    void AddFavourite(const SoundEntry& entry);
    // On a first start (no favourites yet): the built-in clips in their order, the first eight
    // with the hotkeys Num 1 .. Num 8, saved once. False when favourites exist.
    bool SeedDefaultFavourites();
    // Registration ids follow list positions, so removals re-register around the change.
    void RemoveFavourite(size_t index);
    // Removes every favourite with the entry's exact name and path; true when one went.
    bool RemoveFavouritesLike(const SoundEntry& entry);
    // A favourite with the same path or the same name, both without regard to case.
    bool IsFavourite(const SoundEntry& entry) const;
    uint32_t GetFavouriteHotkey(size_t index) const;
    void SetFavouriteHotkey(size_t index, uint32_t value);

    // Replaces the first local entry of the same name (moving it to the end). An entry
    // without a path is refused: false, the reason set, nothing changed.
    bool AddLocal(const SoundEntry& entry, std::string* reason = nullptr);
    // A file on disk as a local entry (kind 1) under name. A path longer than an entry holds
    // (259 UTF-16 units) is refused rather than cut: false, reason kPathTooLongReason.
    bool AddLocalFile(std::u16string_view name, std::string_view path,
                      std::string* reason = nullptr);
    void RemoveLocal(size_t index);
    void RenameLocal(size_t index, std::u16string_view name);
    // Replaces the first downloaded entry with the same cloud id (moving it to the end);
    // refused as AddLocal.
    bool AddDownloaded(const SoundEntry& entry, std::string* reason = nullptr);
    // A downloaded cloud clip at path (kind 1 with its cloud id); refused as AddLocalFile.
    bool AddDownloadedFile(std::u16string_view name, int32_t cloudId, std::string_view path,
                           std::string* reason = nullptr);
    std::optional<SoundEntry> FindDownloaded(int32_t cloudId) const;

    // False for 0; true when a favourite or an effect button holds the value.
    bool IsHotkeyUsed(uint32_t value) const;
    static std::u16string HotkeyText(uint32_t value);

    // Favourite i with a hotkey under 14000 + i, then every effect hotkey with a value under
    // its id. A refused registration is traced and skipped. The callers decide whether hotkeys
    // are enabled; these do not look.
    void RegisterHotkeys();
    void UnregisterHotkeys();
    // One registration (modifiers = value >> 16, key = value & 0xFFFF), traced when refused.
    bool RegisterHotkey(int id, uint32_t value);

    // Effect hotkeys: effect button id -> hotkey value, 0 = none.
    uint32_t GetEffectHotkey(int id) const;
    const std::map<int, uint32_t>& EffectHotkeys() const { return effectHotkeys_; }
    // Reads "HotKey"/"10000".."10023" of the settings file into the map and registers the
    // non-zero ones when hotkeys are enabled.
    void LoadEffectHotkeys(const std::string& settingsPath);
    // Stores the value under the id, registers it when enabled and non-zero, and writes it to
    // "HotKey"/id of the settings file; false when that write failed.
    bool SetEffectHotkey(uint32_t value, int id, const std::string& settingsPath);

    // Cloud categories (filled by the cloud worker, read by the pad page), under the lock.
    void ClearCloudCategories();
    // The new category's index; -1 for an empty name or when names and lists are out of step.
    int AddCloudCategory(std::u16string_view name);
    bool AddCloudItem(size_t category, const SoundEntry& entry);
    size_t CloudCategoryCount() const;
    std::u16string CloudCategoryName(size_t category) const;
    std::vector<SoundEntry> CloudItems(size_t category) const;  // a copy
    std::optional<SoundEntry> CloudItem(size_t category, size_t index) const;
    void SetDownloadState(size_t category, size_t index, uint32_t state);
    // Idle -> downloading in one step, so two clicks start one download; false otherwise.
    bool TryBeginDownload(size_t category, size_t index);

  private:
    static bool FileEntry(std::u16string_view name, std::string_view path, int32_t cloudId,
                          SoundEntry& entry, std::string* reason);
    static bool Addable(const SoundEntry& entry, std::string* reason);
    SoundEntry* CloudItemLocked(size_t category, size_t index);

    std::string path_;
    std::string saveError_;
    IGlobalHotkeys* host_ = nullptr;
    bool hotkeysEnabled_ = false;
    int volume_ = kNewFileVolume;
    std::vector<SoundEntry> favourites_;
    std::vector<SoundEntry> locals_;
    std::vector<SoundEntry> downloaded_;
    std::map<int, uint32_t> effectHotkeys_;

    mutable std::mutex cloudLock_;
    std::vector<std::vector<SoundEntry>> cloudCategories_;
    std::vector<std::u16string> cloudCategoryNames_;
};
