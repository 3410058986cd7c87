#include "CloudSoundFiles.h"

#include "CloudEffectFiles.h"
#include "HotkeyConfig.h"
#include "TextUtil.h"

namespace cloud_sound {

std::string Folder(const std::string& userDir) {
    return userDir + "/CloudSound/";
}

std::string LocalPathFor(const std::string& userDir, const SoundEntry& entry) {
    const std::u16string url = entry.Path();
    const size_t slash = url.rfind(u'/');
    const std::u16string last = slash == std::u16string::npos ? u"" : url.substr(slash + 1);
    // "", "." and ".." name no file of their own: the clip's id does.
    if (last.find_first_not_of(u'.') == std::u16string::npos)
        return Folder(userDir) + std::to_string(entry.cloudId) + ".mp3";
    return Folder(userDir) + text::Utf16ToUtf8(cloud_effect::SafeComponent(last));
}

bool BeginDownload(HotkeyConfig& config, const std::string& userDir, size_t category, size_t index,
                   PendingDownload& out) {
    const auto item = config.CloudItem(category, index);
    if (!item || !config.TryBeginDownload(category, index)) return false;
    out.category = category;
    out.index = index;
    out.entry = *item;
    out.entry.downloadState = SoundEntry::kDownloading;
    out.localPath = LocalPathFor(userDir, out.entry);
    return true;
}

}  // namespace cloud_sound
