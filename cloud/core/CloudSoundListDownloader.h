#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "ThreadObject.h"

class CNotifyGate;
class HotkeyConfig;

namespace cloud_sound {

constexpr size_t kCategoryNameMaxBytes = 63;  // the stored name field holds 63 bytes + NUL
constexpr int kClipRequestAttempts = 5;
constexpr uint32_t kClipRetryPauseMs = 500;

// The first maxBytes of UTF-8 text, cut at a character boundary.
std::string CutUtf8(std::string_view text, size_t maxBytes);

}  // namespace cloud_sound

// Fetches the sound categories and the clips of each into the hotkey configuration (under
// its lock), then posts EventThreadCloudSoundFinishEvent through the gate. A failing clip
// request is tried again after a pause, a few times; then the fetch ends as failed rather
// than keep the page busy for ever. Owners hold it in a shared pointer passed to Start().
class CCloudSoundListDownloader : public CThreadObject {
  public:
    CCloudSoundListDownloader(std::shared_ptr<CNotifyGate> gate, HotkeyConfig& config,
                              std::string settingsPath, const void* sender = nullptr);
    ~CCloudSoundListDownloader() override;

    // The fetch itself, blocking (stop: checked between requests, may be null): 1, or 0 with
    // the error text.
    static int Fetch(HotkeyConfig& config, const std::string& settingsPath, std::string& error,
                     ccm_util::CEvent* stop = nullptr);

  protected:
    void Run() override;

  private:
    const std::shared_ptr<CNotifyGate> m_gate;
    HotkeyConfig& m_config;
    const std::string m_settingsPath;
    const void* const m_sender;
};
