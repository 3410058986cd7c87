#include "SoundPads.h"

#include "BuiltInClips.h"
#include "HotkeyConfig.h"

namespace pads {

PadRef Classify(int id) {
    PadRef ref;
    if (id >= kFavouriteBase && id < kFavouriteBase + 1000) {
        ref.list = PadList::Favourites;
        ref.index = static_cast<size_t>(id - kFavouriteBase);
    } else if (id >= kBuiltInBase && id < kLocalBase) {
        ref.list = PadList::BuiltIn;
        ref.index = static_cast<size_t>(id - kBuiltInBase);
    } else if (id >= kLocalBase && id < kBuiltInBase + 1000) {
        ref.list = PadList::Local;
        ref.index = static_cast<size_t>(id - kLocalBase);
    } else if (id >= kDownloadedBase && id < kDownloadedBase + 1000) {
        ref.list = PadList::Downloaded;
        ref.index = static_cast<size_t>(id - kDownloadedBase);
    } else if (id >= kCloudBase && id <= kCloudLast) {
        ref.list = PadList::Cloud;
        ref.category = static_cast<size_t>((id - kCloudBase) / kCloudStride);
        ref.index = static_cast<size_t>(id % kCloudStride);
    }
    return ref;
}

int CloudGridBase(size_t category) {
    return kCloudBase + kCloudStride * static_cast<int>(category);
}

int CloudPadId(size_t category, size_t index) {
    return CloudGridBase(category) + static_cast<int>(index);
}

SoundEntry BuiltInEntry(size_t index) {
    SoundEntry entry;
    if (index >= kBuiltInClips.size()) return entry;
    entry.kind = SoundEntry::kBuiltIn;
    entry.SetName(kBuiltInClips[index].text);
    entry.SetPathUtf8(kBuiltInClips[index].resource);
    return entry;
}

std::vector<SoundEntry> LocalTabEntries(const HotkeyConfig& config) {
    std::vector<SoundEntry> entries;
    entries.reserve(kBuiltInClips.size() + config.Locals().size());
    for (size_t i = 0; i < kBuiltInClips.size(); ++i) entries.push_back(BuiltInEntry(i));
    entries.insert(entries.end(), config.Locals().begin(), config.Locals().end());
    return entries;
}

namespace {
Lookup FromList(const std::vector<SoundEntry>& list, size_t index, SoundEntry& out) {
    if (index >= list.size()) return Lookup::kOutOfRange;
    out = list[index];
    return Lookup::kFound;
}
}  // namespace

Lookup FindEntry(const HotkeyConfig& config, int id, SoundEntry& out) {
    const PadRef ref = Classify(id);
    switch (ref.list) {
        case PadList::Favourites:
            return FromList(config.Favourites(), ref.index, out);
        case PadList::BuiltIn:
            out = BuiltInEntry(ref.index);
            return Lookup::kFound;
        case PadList::Local:
            return FromList(config.Locals(), ref.index, out);
        case PadList::Downloaded:
            return FromList(config.Downloaded(), ref.index, out);
        case PadList::Cloud: {
            auto item = config.CloudItem(ref.category, ref.index);
            if (!item) return Lookup::kOutOfRange;
            out = *item;
            return Lookup::kFound;
        }
        case PadList::None:
            break;
    }
    return Lookup::kNoList;
}

int GridRows(size_t count, bool withAddPad) {
    const size_t cells = count + (withAddPad ? 1 : 0);
    return static_cast<int>((cells + kColumns - 1) / kColumns);
}

bool HasAddPad(size_t localTabCount) {
    return localTabCount >= 1 && localTabCount <= kMaxLocalWithAddPad;
}

std::u16string PadTooltip(const std::u16string& name) {
    return name.size() > 6 ? name : std::u16string();
}

bool InMenuRange(int id) {
    return id >= 14000 && id <= 27999;
}

std::vector<int> MenuItemsAfterLoad(int id, uint32_t favouriteHotkey, bool& noMenu) {
    noMenu = false;
    if (id >= 14000 && id <= 14998) {
        if (favouriteHotkey != 0) return {kCmdRemoveFavourite, kCmdDeleteHotkey, kCmdEditHotkey};
        return {kCmdRemoveFavourite, kCmdSetHotkey};
    }
    if (id >= 15000 && id <= 15017) return {kCmdAddFavourite};
    if (id >= 15018 && id <= 15998) return {kCmdAddFavourite, kCmdDeleteLocal, kCmdRename};
    if ((id >= 17000 && id <= 17998) || (id >= 18000 && id <= 27999)) return {kCmdAddFavourite};
    noMenu = true;
    return {};
}

std::u16string FavouriteKeyText(uint32_t hotkey) {
    return hotkey == 0 ? std::u16string() : HotkeyConfig::HotkeyText(hotkey);
}

}  // namespace pads
