#include "CloudSoundListDownloader.h"

#include <json/json.h>

#include <vector>

#include "CloudApi.h"
#include "HotkeyConfig.h"
#include "LibCurlHelper.h"
#include "NotifyCenter.h"
#include "TextUtil.h"

namespace cloud_sound {

std::string CutUtf8(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    size_t end = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the cut character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end));
}

}  // namespace cloud_sound

namespace {

enum class Reply { kOk, kRequestFailed, kParseFailed };

// POST into a zeroed 102400-byte buffer; data gets the envelope's "data".
Reply Post(const std::string& url, const char* body, Json::Value& data, std::string& message) {
    std::vector<char> buffer(cloud::kResponseBufferSize, '\0');
    const int used = CLibCurlHelper::HttpPost(url, body, buffer.data(), buffer.size());
    if (used <= 0) return Reply::kRequestFailed;
    const size_t length = std::min(static_cast<size_t>(used), buffer.size() - 1);
    std::string error;
    if (!cloud::ParseEnvelope(std::string(buffer.data(), length), data, &error)) {
        // Another "message" is the service's own words; a parser complaint is not shown.
        Json::Value root;
        Json::Reader reader;
        const bool json = reader.parse(std::string(buffer.data(), length), root) && root.isObject();
        message = json && root["message"].isString() ? root["message"].asString() : std::string();
        return Reply::kParseFailed;
    }
    return Reply::kOk;
}

}  // namespace

CCloudSoundListDownloader::CCloudSoundListDownloader(std::shared_ptr<CNotifyGate> gate,
                                                     HotkeyConfig& config, std::string settingsPath,
                                                     const void* sender)
    : m_gate(std::move(gate)),
      m_config(config),
      m_settingsPath(std::move(settingsPath)),
      m_sender(sender) {}

CCloudSoundListDownloader::~CCloudSoundListDownloader() {
    // Run() uses this object's fields: the thread itself ends the object's life after Run()
    // when an owner could not wait for it.
    Stop(10000);
}

int CCloudSoundListDownloader::Fetch(HotkeyConfig& config, const std::string& settingsPath,
                                     std::string& error, ccm_util::CEvent* stop) {
    Json::Value categories;
    std::string message;
    switch (Post(cloud::ApiUrl(cloud::kPathSoundCategories, settingsPath), nullptr, categories,
                 message)) {
        case Reply::kRequestFailed:
            error = "从服务器获取特效分类失败";
            return 0;
        case Reply::kParseFailed:
            error = message.empty() ? "解析json数据失败" : message;
            return 0;
        case Reply::kOk:
            break;
    }
    if (!categories.isArray()) {
        error = "解析json数据失败";
        return 0;
    }
    ccm_util::CEvent ownPause(true);
    ccm_util::CEvent* pause = stop ? stop : &ownPause;
    config.ClearCloudCategories();
    for (const Json::Value& category : categories) {
        if (!category.isObject() || !category["id"].isInt()) continue;
        const std::string name = category["categoryName"].isString()
                                     ? cloud_sound::CutUtf8(category["categoryName"].asString(),
                                                            cloud_sound::kCategoryNameMaxBytes)
                                     : std::string();
        const int index = config.AddCloudCategory(text::Utf8ToUtf16(name));
        if (index < 0) continue;
        const std::string body = "categoryId=" + std::to_string(category["id"].asInt());
        Json::Value clips;
        bool fetched = false;
        for (int attempt = 0; attempt < cloud_sound::kClipRequestAttempts && !fetched; ++attempt) {
            // A pause before each new attempt, cut short when the worker is asked to stop.
            if (attempt > 0 && pause->Wait(cloud_sound::kClipRetryPauseMs)) return 0;
            switch (Post(cloud::ApiUrl(cloud::kPathSoundsOfCategory, settingsPath), body.c_str(),
                         clips, message)) {
                case Reply::kRequestFailed:
                    error = "从服务器获取分类中的特效失败";
                    break;
                case Reply::kParseFailed:
                    error = "解析JSON数据失败";
                    break;
                case Reply::kOk:
                    fetched = clips.isArray();
                    if (!fetched) error = "解析JSON数据失败";
                    break;
            }
        }
        if (!fetched) return 0;
        for (const Json::Value& clip : clips) {
            if (!clip.isObject() || !clip["url"].isString() || !clip["id"].isInt()) continue;
            SoundEntry entry;
            entry.kind = SoundEntry::kCloud;
            entry.SetName(
                text::Utf8ToUtf16(clip["name"].isString() ? clip["name"].asString() : ""));
            entry.cloudId = clip["id"].asInt();
            if (!entry.SetPathUtf8(clip["url"].asString())) continue;  // a URL too long to keep
            config.AddCloudItem(static_cast<size_t>(index), entry);
        }
    }
    error.clear();
    return 1;
}

void CCloudSoundListDownloader::Run() {
    auto event = std::make_shared<EventThreadCloudSoundFinishEvent>(m_sender);
    event->worker = this;
    std::string error;
    event->success = Fetch(m_config, m_settingsPath, error, &StopEvent());
    event->error = std::move(error);
    if (m_gate) m_gate->FireEventAsync(std::move(event));
}
