#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "CloudSoundList.h"
#include "ThreadObject.h"

class CNotifyGate;

namespace cloud_sound {

// A failing clip request is tried this often, with this pause between the attempts; then
// the fetch ends as failed instead of keeping the page busy for ever.
constexpr int kClipRequestAttempts = 5;
constexpr uint32_t kClipRetryPauseMs = 500;

}  // namespace cloud_sound

// Fetches the sound categories and the clips of each and posts them with
// EventThreadCloudSoundFinishEvent through the gate; the receiver installs them into the
// hotkey configuration (cloud_sound::Install).
// Owners hold it in a shared pointer passed to Start(), so a fetch they stop and let go of
// lives on until its request ends; a stop also cuts the retry pauses short.
class CCloudSoundListDownloader : public CThreadObject {
  public:
    // settingsPath: where a configured service address may be kept (see cloud::BaseUrl).
    CCloudSoundListDownloader(std::shared_ptr<CNotifyGate> gate, std::string settingsPath,
                              const void* sender = nullptr);
    ~CCloudSoundListDownloader() override;

    // The fetch itself, blocking: 1 with the whole list, or 0 (list empty) with the error
    // text. stop (may be null) is looked at before each request and ends the pauses between
    // attempts.
    static int Fetch(const std::string& settingsPath, cloud_sound::CategoryList& list,
                     std::string& error, ccm_util::CEvent* stop = nullptr);

  protected:
    void Run() override;

  private:
    const std::shared_ptr<CNotifyGate> m_gate;
    const std::string m_settingsPath;
    const void* const m_sender;
};
