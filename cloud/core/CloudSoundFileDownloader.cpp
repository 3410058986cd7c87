#include "CloudSoundFileDownloader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "LibCurlHelper.h"
#include "Log.h"
#include "NotifyCenter.h"
#include "SafeFile.h"

namespace fs = std::filesystem;

namespace {

const char* const kBadEntry = "错误的参数";
const char* const kDownloadFailed = "下载文件失败";

// The folder, created when missing. Something else under its name (a file, a dangling link)
// is removed first; a link to a folder is the user's own choice and is followed.
bool EnsureFolder(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return true;
    if (fs::is_symlink(fs::symlink_status(folder, ec)) || fs::exists(folder, ec))
        fs::remove(folder, ec);
    fs::create_directories(folder, ec);
    return fs::is_directory(folder, ec);
}

}  // namespace

namespace cloud_sound {

int Download(const SoundEntry& entry, const std::string& localPath, std::string& error) {
    if (entry.kind != SoundEntry::kCloud) {
        error = kBadEntry;
        return 0;
    }
    // Into a temporary file beside the target (a unique one, so two downloads that end in the
    // same local name never write into one file), flushed and renamed over it once complete.
    std::string reason = "cannot create the folder of " + localPath;
    const bool ok =
        EnsureFolder(fs::path(localPath).parent_path()) &&
        fileio::ReplaceFileWith(
            localPath,
            [&](int, const std::string& temp, std::string& what) {
                what = "the download failed";
                return CLibCurlHelper::HttpGetFile(temp, entry.PathUtf8(), kMaxClipBytes);
            },
            &reason);
    if (ok) {
        error.clear();
        return 1;
    }
    unlink(localPath.c_str());  // a failed download leaves no copy that could be taken as good
    QV_LOG("cloud sound download failed: %s: %s", localPath.c_str(), reason.c_str());
    error = kDownloadFailed;
    return 0;
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
    Stop(10000);  // Run() uses this object's fields; the download times out well before
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
    // The gate is closed once the window that receives the event has gone.
    if (m_gate) m_gate->FireEventAsync(std::move(event));
}
