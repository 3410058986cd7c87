#pragma once

#include <string>
#include <vector>

#include "Records.h"
#include "ThreadObject.h"

class INotifyCenter;

// Fetches the cloud effect list on its own thread and posts EventThreadCloudEffectFinishEvent
// (with itself, the list, the result and the error text) through the notification centre.
// The receiver stops and deletes it.
class CCloudEffectListDownloader : public CThreadObject {
  public:
    // settingsPath: where a configured service address may be kept (see cloud::BaseUrl).
    CCloudEffectListDownloader(INotifyCenter& center, std::string settingsPath,
                               const void* sender = nullptr);
    ~CCloudEffectListDownloader() override;

    // The fetch itself, blocking: 1 with records, or 0 with the error text.
    static int Fetch(const std::string& url, std::vector<lw52::CloudEffectRecord>& records,
                     std::string& error);

  protected:
    void Run() override;

  private:
    INotifyCenter& m_center;
    std::string m_settingsPath;
    const void* m_sender;
};
