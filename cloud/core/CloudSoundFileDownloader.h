#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "CloudSoundFiles.h"
#include "SoundEntry.h"
#include "ThreadObject.h"

class CNotifyGate;

namespace cloud_sound {

// A clip larger than this is cut off (one announced larger is refused before any of it is
// read): a service that sends an endless body fills no disk. Clips are seconds long; this
// leaves room for half an hour of MP3.
constexpr uint64_t kMaxClipBytes = uint64_t{32} << 20;

// Downloads entry (a cloud clip, kind 2) to localPath, blocking: 1, or 0 with the error text
// ("错误的参数" for another kind, "下载文件失败" otherwise). The folder is created when it is
// missing or not a folder. The file arrives under a temporary name beside localPath and takes
// its name only when complete; a failure removes the file at localPath as well.
int Download(const SoundEntry& entry, const std::string& localPath, std::string& error);

}  // namespace cloud_sound

// Downloads one cloud clip on its own thread and posts EventCloudSoundFileReady through the
// gate with the pad id and the follow-up action it was given (0 play, 1 add to favourites,
// 2 send to the card). Owners hold it in a shared pointer passed to Start().
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
