#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "SoundEntry.h"
#include "ThreadObject.h"

class CNotifyGate;

namespace cloud_sound {

// A clip larger than this is cut off: a service that sends an endless body fills no disk.
constexpr uint64_t kMaxClipBytes = uint64_t{64} << 20;

// userDir + "/CloudSound/".
std::string Folder(const std::string& userDir);
// The local file of a cloud clip: the URL's last part made safe (no "..", no separators, no
// control characters), or "<cloud id>.mp3" when the URL has no "/" or nothing usable is left.
std::string LocalPathFor(const std::string& userDir, const SoundEntry& entry);

// Downloads entry (kind 2) to localPath, blocking: 1, or 0 with the error text. The file
// arrives under a temporary name beside it and takes its name only when complete, so a
// failure leaves no file at localPath.
int Download(const SoundEntry& entry, const std::string& localPath, std::string& error);

}  // namespace cloud_sound

// Downloads one cloud clip on its own thread and posts EventCloudSoundFileReady through the
// gate with the pad id and the follow-up action it was given.
class CCloudSoundFileDownloader : public CThreadObject {
  public:
    CCloudSoundFileDownloader(std::shared_ptr<CNotifyGate> gate, const SoundEntry& entry,
                              std::string localPath, int padId, int followUp,
                              const void* sender = nullptr);
    ~CCloudSoundFileDownloader() override;

    const SoundEntry& Entry() const { return m_entry; }
    const std::string& LocalPath() const { return m_localPath; }

  protected:
    void Run() override;

  private:
    const std::shared_ptr<CNotifyGate> m_gate;
    const SoundEntry m_entry;
    const std::string m_localPath;
    const int m_padId;
    const int m_followUp;
    const void* const m_sender;
};
