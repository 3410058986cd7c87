#include "Pads.h"

#include "HotkeyConfig.h"
#include "SoundPads.h"
#include "TextUtil.h"

namespace {

const char* KindName(int32_t kind) {
    switch (kind) {
        case SoundEntry::kBuiltIn:
            return "built-in";
        case SoundEntry::kFile:
            return "file";
        case SoundEntry::kCloud:
            return "cloud";
        default:
            return "?";
    }
}

}  // namespace

bool OpenPadsConfig(HotkeyConfig& config) {
    if (!config.Init()) return false;
    if (config.Favourites().empty()) config.SeedDefaultFavourites();
    return true;
}

Json::Value PadJson(int id, const char* tab, const SoundEntry& entry) {
    Json::Value pad;
    pad["id"] = id;
    pad["tab"] = tab;
    pad["name"] = text::Utf16ToUtf8(entry.Name());
    pad["hotkey"] = text::Utf16ToUtf8(pads::FavouriteKeyText(entry.hotkey));
    pad["kind"] = KindName(entry.kind);
    pad["path"] = entry.PathUtf8();
    if (entry.cloudId) pad["cloudId"] = entry.cloudId;
    return pad;
}

bool ParseId(const std::string& text, int& out) {
    if (text.empty() || text.size() > 9) return false;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    out = value;
    return true;
}
