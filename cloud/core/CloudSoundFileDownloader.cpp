#include "CloudSoundFileDownloader.h"

#include <unistd.h>

#include <filesystem>

#include "CloudEffectFiles.h"
#include "LibCurlHelper.h"
#include "NotifyCenter.h"
#include "TextUtil.h"

namespace fs = std::filesystem;

namespace cloud_sound {

std::string Folder(const std::string& userDir) {
    return userDir + "/CloudSound/";
}

std::string LocalPathFor(const std::string& userDir, const SoundEntry& entry) {
    const std::u16string url = entry.Path();
    const size_t slash = url.rfind(u'/');
    std::u16string name;
    if (slash != std::u16string::npos) name = cloud_effect::SafeComponent(url.substr(slash + 1));
    // Nothing usable after the slash ("", ".." made "_"): the clip's id names it.
    if (slash == std::u16string::npos || name.empty() || name == u"_")
        name = text::Utf8ToUtf16(std::to_string(entry.cloudId) + ".mp3");
    return Folder(userDir) + text::Utf16ToUtf8(name);
}

int Download(const SoundEntry& entry, const std::string& localPath, std::string& error) {
    if (entry.kind != SoundEntry::kCloud) {
        error = "错误的参数";
        return 0;
    }
    std::error_code ec;
    const fs::path folder = fs::path(localPath).parent_path();
    if (fs::exists(folder, ec) && !fs::is_directory(folder, ec)) fs::remove(folder, ec);
    fs::create_directories(folder, ec);
    const std::string part = localPath + ".part" + std::to_string(getpid());
    const bool ok = CLibCurlHelper::HttpGetFile(part, entry.PathUtf8(), kMaxClipBytes);
    if (!ok || !fs::exists(part, ec)) {
        fs::remove(part, ec);
        fs::remove(localPath, ec);
        error = "下载文件失败";
        return 0;
    }
    fs::rename(part, localPath, ec);
    if (ec) {
        fs::remove(part, ec);
        error = "下载文件失败";
        return 0;
    }
    return 1;
}

}  // namespace cloud_sound

CCloudSoundFileDownloader::CCloudSoundFileDownloader(std::shared_ptr<CNotifyGate> gate,
                                                     const SoundEntry& entry, std::string localPath,
                                                     int padId, int followUp, const void* sender)
    : m_gate(std::move(gate)),
      m_entry(entry),
      m_localPath(std::move(localPath)),
      m_padId(padId),
      m_followUp(followUp),
      m_sender(sender) {}

CCloudSoundFileDownloader::~CCloudSoundFileDownloader() {
    Stop(10000);
}

void CCloudSoundFileDownloader::Run() {
    auto event = std::make_shared<EventCloudSoundFileReady>(m_sender);
    event->worker = this;
    event->cloudId = m_entry.cloudId;
    event->padId = m_padId;
    event->localPath = m_localPath;
    event->name = m_entry.Name();
    event->followUp = m_followUp;
    std::string error;
    event->success = cloud_sound::Download(m_entry, m_localPath, error);
    event->error = std::move(error);
    if (m_gate) m_gate->FireEventAsync(std::move(event));
}
