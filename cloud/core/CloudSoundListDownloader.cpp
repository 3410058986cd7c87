#include "CloudSoundListDownloader.h"

#include <algorithm>
#include <vector>

#include "CloudApi.h"
#include "CloudSoundList.h"
#include "LibCurlHelper.h"
#include "NotifyCenter.h"

using cloud_sound::Reply;

namespace {

const char* const kCategoriesFailed = "从服务器获取特效分类失败";
const char* const kCategoriesMalformed = "解析json数据失败";
const char* const kClipsFailed = "从服务器获取分类中的特效失败";
const char* const kClipsMalformed = "解析JSON数据失败";

enum class Outcome { kOk, kRequestFailed, kMalformed, kNotOk };

// One POST into the zeroed buffer; data gets the reply's "data", message the service's own
// words when it did not say "ok".
Outcome Request(const std::string& url, const char* body, std::vector<char>& buffer,
                Json::Value& data, std::string& message) {
    std::fill(buffer.begin(), buffer.end(), '\0');
    const int used = CLibCurlHelper::HttpPost(url, body, buffer.data(), buffer.size());
    if (used <= 0) return Outcome::kRequestFailed;
    // At most capacity - 1 bytes are text: the buffer stays terminated.
    const size_t length = std::min(static_cast<size_t>(used), buffer.size() - 1);
    switch (cloud_sound::ParseReply(std::string_view(buffer.data(), length), data, message)) {
        case Reply::kOk:
            return Outcome::kOk;
        case Reply::kNotOk:
            return Outcome::kNotOk;
        case Reply::kMalformed:
            break;
    }
    return Outcome::kMalformed;
}

bool Stopped(ccm_util::CEvent* stop) {
    return stop && stop->IsSet();
}

// The clips of one category, with the retries; false with the last error text.
bool FetchClips(const std::string& url, int32_t categoryId, std::vector<char>& buffer,
                ccm_util::CEvent& pause, ccm_util::CEvent* stop, std::vector<SoundEntry>& clips,
                std::string& error) {
    const std::string body = "categoryId=" + std::to_string(categoryId);
    for (int attempt = 0; attempt < cloud_sound::kClipRequestAttempts; ++attempt) {
        // The pause ends early when the worker is asked to stop.
        if (attempt > 0 && pause.Wait(cloud_sound::kClipRetryPauseMs)) return false;
        if (Stopped(stop)) return false;
        Json::Value data;
        std::string message;
        switch (Request(url, body.c_str(), buffer, data, message)) {
            case Outcome::kRequestFailed:
                error = kClipsFailed;
                break;
            case Outcome::kMalformed:
                error = kClipsMalformed;
                break;
            case Outcome::kNotOk:
                error = message;
                break;
            case Outcome::kOk:
                if (cloud_sound::ParseClips(data, clips)) return true;
                error = kClipsMalformed;
                break;
        }
    }
    return false;
}

}  // namespace

CCloudSoundListDownloader::CCloudSoundListDownloader(std::shared_ptr<CNotifyGate> gate,
                                                     std::string settingsPath, const void* sender)
    : m_gate(std::move(gate)), m_settingsPath(std::move(settingsPath)), m_sender(sender) {}

CCloudSoundListDownloader::~CCloudSoundListDownloader() {
    // Run() uses this object's fields: an owner that could not wait for the request let go
    // of its pointer, and the thread itself ends the object's life after Run().
    Stop(10000);
}

int CCloudSoundListDownloader::Fetch(const std::string& settingsPath,
                                     cloud_sound::CategoryList& list, std::string& error,
                                     ccm_util::CEvent* stop) {
    list = {};
    std::vector<char> buffer(cloud::kResponseBufferSize, '\0');
    Json::Value data;
    std::string message;
    switch (Request(cloud::ApiUrl(cloud::kPathSoundCategories, settingsPath), nullptr, buffer, data,
                    message)) {
        case Outcome::kRequestFailed:
            error = kCategoriesFailed;
            return 0;
        case Outcome::kMalformed:
            error = kCategoriesMalformed;
            return 0;
        case Outcome::kNotOk:
            error = message;
            return 0;
        case Outcome::kOk:
            break;
    }
    std::vector<cloud_sound::Category>& categories = list.categories;
    if (!cloud_sound::ParseCategories(data, categories)) {
        error = kCategoriesMalformed;
        return 0;
    }

    // Without a stop event (a blocking caller) the pauses are plain waits.
    ccm_util::CEvent neverSet(true);
    ccm_util::CEvent& pause = stop ? *stop : neverSet;
    const std::string clipsUrl = cloud::ApiUrl(cloud::kPathSoundsOfCategory, settingsPath);
    list.clips.resize(categories.size());
    for (size_t c = 0; c < categories.size(); ++c)
        if (!FetchClips(clipsUrl, categories[c].id, buffer, pause, stop, list.clips[c], error)) {
            list = {};
            return 0;
        }
    error.clear();
    return 1;
}

void CCloudSoundListDownloader::Run() {
    auto event = std::make_shared<EventThreadCloudSoundFinishEvent>(m_sender);
    event->worker = this;
    auto list = std::make_shared<cloud_sound::CategoryList>();
    std::string error;
    event->success = Fetch(m_settingsPath, *list, error, &StopEvent());
    if (event->success) event->list = std::move(list);
    event->error = std::move(error);
    // The gate is closed once the window that receives the event has gone.
    if (m_gate) m_gate->FireEventAsync(std::move(event));
}
