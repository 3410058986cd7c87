#include "CloudEffectListDownloader.h"

#include <memory>

#include "CloudApi.h"
#include "CloudEffectFiles.h"
#include "LibCurlHelper.h"
#include "NotifyCenter.h"

CCloudEffectListDownloader::CCloudEffectListDownloader(std::shared_ptr<CNotifyGate> gate,
                                                       std::string settingsPath, const void* sender,
                                                       uint64_t serial)
    : m_gate(std::move(gate)),
      m_settingsPath(std::move(settingsPath)),
      m_sender(sender),
      m_serial(serial) {}

CCloudEffectListDownloader::~CCloudEffectListDownloader() {
    // Run() uses this object's fields: an owner that could not wait for the request let go
    // of its pointer, and the thread itself ends the object's life after Run().
    Stop(10000);
}

int CCloudEffectListDownloader::Fetch(const std::string& url,
                                      std::vector<lw52::CloudEffectRecord>& records,
                                      std::string& error) {
    records.clear();
    // Zero-filled, and at most capacity - 1 bytes are read as text.
    std::vector<char> buffer(cloud::kResponseBufferSize, '\0');
    const int used =
        CLibCurlHelper::HttpPost(url, cloud::kBodyEffectList, buffer.data(), buffer.size());
    if (used <= 0) {
        error = "从服务器获取云音效列表失败";
        return 0;
    }
    const size_t length = std::min(static_cast<size_t>(used), buffer.size() - 1);
    return cloud_effect::ParseEffectList(std::string_view(buffer.data(), length), records, error);
}

void CCloudEffectListDownloader::Run() {
    auto event = std::make_shared<EventThreadCloudEffectFinishEvent>(m_sender);
    auto records = std::make_shared<std::vector<lw52::CloudEffectRecord>>();
    std::string error;
    event->worker = this;
    event->serial = m_serial;
    event->success = Fetch(cloud::ApiUrl(cloud::kPathEffectList, m_settingsPath), *records, error);
    if (event->success) event->records = std::move(records);  // null: no list to show
    event->error = std::move(error);
    if (m_gate) m_gate->FireEventAsync(std::move(event));
}
