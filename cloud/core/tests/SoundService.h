#pragma once

// A sound service folder made by a test for the fixture server, a fetch installed as the page
// installs it, and the wait for a worker's event.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "CloudSoundListDownloader.h"
#include "HotkeyConfig.h"
#include "NotifyCenter.h"

// sounds/<category>/clip<i>.mp3, copies of a shipped clip; names.txt and urls.txt as given.
class SoundService {
  public:
    static std::filesystem::path ShippedClip() {
        return std::filesystem::path(LW52_CLOUD_FIXTURE_DIR) / "sounds" / "掌声欢呼" / "ding.mp3";
    }

    explicit SoundService(std::string root) : m_root(std::move(root)) {}

    void AddCategory(const std::string& name, int clips, const std::string& namesTxt = "",
                     const std::string& urlsTxt = "") const {
        const std::filesystem::path folder = std::filesystem::path(m_root) / "sounds" / name;
        std::filesystem::create_directories(folder);
        for (int i = 0; i < clips; ++i)
            std::filesystem::copy_file(ShippedClip(),
                                       folder / ("clip" + std::to_string(i) + ".mp3"));
        if (!namesTxt.empty()) std::ofstream(folder / "names.txt") << namesTxt;
        if (!urlsTxt.empty()) std::ofstream(folder / "urls.txt") << urlsTxt;
    }

    const std::string& Root() const { return m_root; }

  private:
    std::string m_root;
};

// A blocking fetch installed into config as the page installs it: 1, or 0 with the error
// text and config left as it was.
inline int FetchInto(HotkeyConfig& config, std::string& error) {
    cloud_sound::CategoryList list;
    if (!CCloudSoundListDownloader::Fetch("", list, error)) return 0;
    cloud_sound::Install(config, list);
    return 1;
}

// Pumps the centre until the event arrives (a copy) or timeoutMs pass (null).
template <typename Event>
std::shared_ptr<Event> WaitForEvent(CNotifyCenter& center, int timeoutMs = 15000) {
    std::shared_ptr<Event> got;
    const int token = center.Subscribe(Event::kId, Event::kName, [&](EventArgs& e) {
        got = std::make_shared<Event>(static_cast<Event&>(e));
    });
    for (int waited = 0; !got && waited < timeoutMs; waited += 50) center.PumpFor(50);
    center.Unsubscribe(token);
    return got;
}
