#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Records.h"
#include "ThreadObject.h"

class CNotifyGate;

// Fetches the cloud effect list on its own thread and posts EventThreadCloudEffectFinishEvent
// (with itself, its serial, the list, the result and the error text) through the gate. A
// fetch cannot be cut short: owners hold it in a shared pointer passed to Start(), so a
// fetch they stop and let go of lives on until its request ends.
class CCloudEffectListDownloader : public CThreadObject {
  public:
    // settingsPath: where a configured service address may be kept (see cloud::BaseUrl).
    CCloudEffectListDownloader(std::shared_ptr<CNotifyGate> gate, std::string settingsPath,
                               const void* sender = nullptr, uint64_t serial = 0);
    ~CCloudEffectListDownloader() override;

    // The fetch itself, blocking: 1 with records, or 0 with the error text.
    static int Fetch(const std::string& url, std::vector<lw52::CloudEffectRecord>& records,
                     std::string& error);

  protected:
    void Run() override;

  private:
    const std::shared_ptr<CNotifyGate> m_gate;
    const std::string m_settingsPath;
    const void* const m_sender;
    const uint64_t m_serial;
};
