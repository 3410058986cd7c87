// Cloud sounds: the category tabs, cloud pad clicks and the downloads behind them.
#include <QFileInfo>
#include <QTabWidget>
#include <filesystem>

#include "CloudSoundFileDownloader.h"
#include "CloudSoundFiles.h"
#include "CloudSoundList.h"
#include "CloudSoundListDownloader.h"
#include "Controls.h"
#include "DisplayNames.h"
#include "EventHandlerSound.h"
#include "HotkeyConfig.h"
#include "Log.h"
#include "NotifyCenter.h"
#include "SoundPads.h"
#include "TipWindow.h"
#include "WindowTimers.h"

namespace {
constexpr uint32_t kWorkerStopMs = 100;
}  // namespace

struct CEventHandlerSound::Download {
    std::shared_ptr<CCloudSoundFileDownloader> worker;
    cloud_sound::PendingDownload pending;
};

void CEventHandlerSound::StartCloudList() {
    StopCloudList();
    m_cloudWorker =
        std::make_shared<CCloudSoundListDownloader>(m_gate, SettingsPath().toStdString(), this);
    m_cloudWorker->Start(m_cloudWorker);
    if (QWidget* busy = FindControl(m_host->Content(), "ani_fetch_cloud_sound")) busy->show();
    if (QWidget* retry = FindControl(m_host->Content(), "btn_cloud_sound_retry")) retry->hide();
}

void CEventHandlerSound::StopCloudList() {
    if (!m_cloudWorker) return;
    // A worker in the middle of a request cannot be cut short: it keeps itself alive and its
    // result is dropped (the gate or the worker check below).
    m_cloudWorker->Stop(kWorkerStopMs);
    m_cloudWorker.reset();
}

void CEventHandlerSound::OnRetryTimer() {
    m_host->Timers().StopTimer(kTimerCloudRetry);
    StartCloudList();
}

void CEventHandlerSound::OnCloudListFinished(EventArgs& e) {
    auto& event = static_cast<EventThreadCloudSoundFinishEvent&>(e);
    if (!m_cloudWorker || event.worker != m_cloudWorker.get()) return;  // an earlier fetch
    if (event.success && event.list) {
        m_cloudList = event.list;
        InstallCloudList();
    } else if (QWidget* retry = FindControl(m_host->Content(), "btn_cloud_sound_retry")) {
        retry->show();
    }
    StopCloudList();
    if (QWidget* busy = FindControl(m_host->Content(), "ani_fetch_cloud_sound")) busy->hide();
}

void CEventHandlerSound::InstallCloudList() {
    // The categories change under the cloud pads: not while a menu of one of them is open.
    if (DeferGrid(kGridCloud) || !m_cloudList) return;
    cloud_sound::Install(m_host->Hotkeys(), *m_cloudList);
    m_cloudList.reset();
    BuildCloudTabs();
}

bool CEventHandlerSound::OnCloudPadClick(int id) {
    m_curPadId = id;
    const pads::PadRef ref = pads::Classify(id);
    if (ref.list != pads::PadList::Cloud) return false;
    const auto item = m_host->Hotkeys().CloudItem(ref.category, ref.index);
    if (!item) return false;
    const auto downloaded = m_host->Hotkeys().FindDownloaded(item->cloudId);
    if (downloaded && std::filesystem::exists(downloaded->PathUtf8())) {
        m_curEntry = *downloaded;
        if (!PlayEntry(*downloaded)) {
            ShowTipAtPad(id, QObject::tr("播放失败"));
            Stop();
            return false;
        }
        return true;
    }
    StartDownload(ref.category, ref.index, id, pads::kFollowPlay);
    return true;
}

std::optional<SoundEntry> CEventHandlerSound::DownloadedOrFetch(int id, int followUp) {
    const pads::PadRef ref = pads::Classify(id);
    if (ref.list != pads::PadList::Cloud) return std::nullopt;
    const auto item = m_host->Hotkeys().CloudItem(ref.category, ref.index);
    if (!item) return std::nullopt;
    if (auto downloaded = m_host->Hotkeys().FindDownloaded(item->cloudId)) return downloaded;
    StartDownload(ref.category, ref.index, id, followUp);
    return std::nullopt;
}

void CEventHandlerSound::StartDownload(size_t category, size_t index, int padId, int followUp) {
    auto download = std::make_shared<Download>();
    if (!cloud_sound::BeginDownload(m_host->Hotkeys(), m_host->UserDir().toStdString(), category,
                                    index, download->pending))
        return;  // not a cloud item, or its download runs already
    const std::string& localPath = download->pending.localPath;
    if (std::filesystem::exists(localPath)) {
        // The player may be playing the file about to be replaced.
        m_streams.StopPlayer();
        m_streams.ReleaseStreams();
        std::error_code ignored;
        std::filesystem::remove(localPath, ignored);
    }
    download->worker = std::make_shared<CCloudSoundFileDownloader>(
        m_gate, download->pending.entry, localPath, padId, followUp, this);
    m_downloads.push_back(download);
    download->worker->Start(download->worker);
}

void CEventHandlerSound::SetCloudState(const Download& download, uint32_t state) {
    // A fetch since the start may have replaced the categories: only the same clip is marked.
    const cloud_sound::PendingDownload& p = download.pending;
    const auto item = m_host->Hotkeys().CloudItem(p.category, p.index);
    if (item && item->cloudId == p.entry.cloudId)
        m_host->Hotkeys().SetDownloadState(p.category, p.index, state);
}

void CEventHandlerSound::FinishDownload(CThreadObject* worker) {
    for (auto it = m_downloads.begin(); it != m_downloads.end(); ++it) {
        if ((*it)->worker.get() != worker) continue;
        (*it)->worker->Stop(kWorkerStopMs);
        m_downloads.erase(it);
        return;
    }
}

void CEventHandlerSound::StopDownloads() {
    for (auto& download : m_downloads) download->worker->Stop(kWorkerStopMs);
    m_downloads.clear();
}

void CEventHandlerSound::OnCloudFileReady(EventArgs& e) {
    auto& event = static_cast<EventCloudSoundFileReady&>(e);
    std::shared_ptr<Download> download;
    for (auto& d : m_downloads)
        if (d->worker.get() == event.worker) download = d;
    if (!download) return;
    HotkeyConfig& config = m_host->Hotkeys();
    SetCloudState(*download, SoundEntry::kIdle);
    const int pad = event.padId;
    const bool ours = pad == m_curPadId || pad == m_lastRightClickId;
    if (!event.success) {
        if (ours)
            ShowTipAtPad(pad, CoreMessage(event.error));
        else
            QV_LOG("download sound failed. ctrlid=%d id=%d", pad, event.cloudId);
    } else if (!std::filesystem::exists(event.localPath)) {
        if (ours)
            ShowTipAtPad(pad, QObject::tr("未找到下载的特效文件"));
        else
            QV_LOG("未找到下载的特效文件. ctrlid=%d id=%d %s", pad, event.cloudId,
                   event.localPath.c_str());
    } else if (std::string reason;
               !config.AddDownloadedFile(event.name, event.cloudId, event.localPath, &reason)) {
        // A path too long to keep: the file cannot become a pad.
        if (ours) ShowTipAtPad(pad, CoreMessage(reason));
    } else {
        SetCloudState(*download, SoundEntry::kDownloaded);
        RebuildDownloaded();
        if (const auto entry = config.FindDownloaded(event.cloudId))
            FollowUpDownload(event, *entry);
    }
    FinishDownload(event.worker);
}

void CEventHandlerSound::FollowUpDownload(const EventCloudSoundFileReady& event,
                                          const SoundEntry& entry) {
    HotkeyConfig& config = m_host->Hotkeys();
    switch (event.followUp) {
        case pads::kFollowPlay:
            Stop();
            m_curEntry = entry;
            if (!PlayEntry(entry)) {
                ShowTipAtPad(event.padId, QObject::tr("播放失败"));
                Stop();
            }
            break;
        case pads::kFollowFavourite:
            if (config.IsFavourite(entry)) {
                const QString text = QObject::tr("收藏夹中已经存在“%1”")
                                         .arg(DisplayName(QString::fromStdU16String(entry.Name())));
                if (m_tabs)
                    CTipWindow::ShowCentred(m_tabs, text, kTipMs, false);
                else
                    ShowTipAtPad(event.padId, text);
            } else {
                config.AddFavourite(entry);
                RebuildFavourites();
                ShowTipAtPad(event.padId, QObject::tr("成功添加到收藏夹！"));
            }
            break;
        case pads::kFollowSend:
            if (event.padId == m_lastRightClickId) {
                auto send = std::make_shared<EventDoSendData>(this);
                send->path = entry.PathUtf8();
                send->resourceFlag = 0;
                m_host->NotifyCenter().FireEvent(*send);
            }
            break;
        default:
            break;
    }
}
