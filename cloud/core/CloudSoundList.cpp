#include "CloudSoundList.h"

#include "CloudApi.h"
#include "HotkeyConfig.h"
#include "TextUtil.h"

namespace cloud_sound {

Reply ParseReply(std::string_view text, Json::Value& data, std::string& message) {
    const Reply reply = cloud::ReadEnvelope(text, data, message);
    if (reply == Reply::kMalformed) message.clear();  // the parser's words are not shown
    return reply;
}

std::string CutUtf8(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    size_t end = maxBytes;
    // text[end] is the first byte left out: step back over continuation bytes (10xxxxxx) to
    // the first byte of the character it belongs to.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end));
}

bool ParseCategories(const Json::Value& data, std::vector<Category>& out) {
    out.clear();
    if (!data.isArray()) return false;
    for (const Json::Value& record : data) {
        if (!record.isObject() || !record["id"].isInt() || !record["categoryName"].isString())
            continue;
        Category category;
        category.id = record["id"].asInt();
        category.name = CutUtf8(record["categoryName"].asString(), kCategoryNameMaxBytes);
        if (!category.name.empty()) out.push_back(std::move(category));
    }
    return true;
}

bool ParseClips(const Json::Value& data, std::vector<SoundEntry>& out) {
    out.clear();
    if (!data.isArray()) return false;
    for (const Json::Value& record : data) {
        if (!record.isObject() || !record["url"].isString() || !record["id"].isInt()) continue;
        SoundEntry entry;
        entry.kind = SoundEntry::kCloud;
        entry.SetName(
            text::Utf8ToUtf16(record["name"].isString() ? record["name"].asString() : ""));
        entry.cloudId = record["id"].asInt();
        // A cut URL would fetch another file, or none.
        if (entry.SetPathUtf8(record["url"].asString())) out.push_back(entry);
    }
    return true;
}

void Install(HotkeyConfig& config, const CategoryList& list) {
    config.ClearCloudCategories();
    for (size_t c = 0; c < list.categories.size() && c < list.clips.size(); ++c) {
        const int index = config.AddCloudCategory(text::Utf8ToUtf16(list.categories[c].name));
        if (index < 0) continue;
        for (const SoundEntry& clip : list.clips[c])
            config.AddCloudItem(static_cast<size_t>(index), clip);
    }
}

}  // namespace cloud_sound
