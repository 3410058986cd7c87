#include "CloudEffectDetailDownloader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "CloudEffectFiles.h"
#include "EffectFile.h"
#include "IniFile.h"
#include "LibCurlHelper.h"
#include "Log.h"
#include "NotifyCenter.h"
#include "SafeFile.h"
#include "TextUtil.h"
#include "TreeData.h"

namespace {

const char* const kDownloadFailed = "下载云音效数据失败";

// A real folder (not a link that could lead elsewhere), created when missing.
bool EnsureFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithoutTrailingSlash(std::string path) {
    if (!path.empty() && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

CCloudEffectDetailDownloader::CCloudEffectDetailDownloader(INotifyCenter& center, CTreeData* leaf,
                                                           std::string userDir, const void* sender)
    : m_center(center), m_leaf(leaf), m_userDir(std::move(userDir)), m_sender(sender) {
    if (m_leaf) {
        m_name = m_leaf->GetName();
        m_url = m_leaf->GetPath();
        if (m_leaf->Parent()) m_category = m_leaf->Parent()->GetName();
    }
    m_localPath = cloud_effect::LocalPath(m_userDir, m_category, m_url);
}

CCloudEffectDetailDownloader::~CCloudEffectDetailDownloader() {
    Stop(10000);  // Run() uses this object's fields; the download times out well before
}

int CCloudEffectDetailDownloader::Download(const std::string& userDir,
                                           const std::u16string& category,
                                           const std::u16string& url, std::string& localPath,
                                           std::string& error) {
    localPath = cloud_effect::LocalPath(userDir, category, url);
    const std::string key = cloud_effect::IndexKey(url);
    CIniFile index(cloud_effect::IndexPath(userDir));
    const std::string folder = cloud_effect::CategoryFolder(userDir, category);
    bool ok = EnsureFolder(cloud_effect::FolderPath(userDir)) &&
              EnsureFolder(WithoutTrailingSlash(folder));
    // Into a temporary file beside the target, flushed and renamed over it once complete.
    std::string reason;
    ok = ok && fileio::ReplaceFileWith(
                   localPath,
                   [&](int, const std::string& temp, std::string& what) {
                       what = "the download failed";
                       return CLibCurlHelper::HttpGetFile(temp, text::Utf16ToUtf8(url),
                                                          lw52::kMaxEffectFileBytes);
                   },
                   &reason);
    if (ok) {
        index.WriteString(cloud_effect::kIndexSection, key, "1");
        error.clear();
        return 1;
    }
    unlink(localPath.c_str());  // a failed download leaves no copy that could be taken as good
    index.WriteString(cloud_effect::kIndexSection, key, "0");
    QV_LOG("cloud effect download failed: %s: %s", localPath.c_str(), reason.c_str());
    error = kDownloadFailed;
    return 0;
}

void CCloudEffectDetailDownloader::Run() {
    auto event = std::make_shared<EventCommonThreadFinishEvent>(m_sender);
    std::string error;
    std::string localPath;
    event->tag = kTag;
    event->worker = this;
    event->leaf = m_leaf;
    event->success = Download(m_userDir, m_category, m_url, localPath, error);
    event->error = std::move(error);
    m_center.FireEventAsync(std::move(event));
}
