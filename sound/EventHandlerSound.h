#pragma once

#include <QPoint>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "AudioStream.h"
#include "AudioStreamPair.h"
#include "PageHost.h"
#include "SendWindow.h"
#include "SoundEntry.h"

class CCloudSoundListDownloader;
namespace cloud_sound {
struct CategoryList;
}
class CNotifyGate;
class CThreadObject;
class EventArgs;
class INotifyCenter;
class EventCloudSoundFileReady;
class QAbstractButton;
class QLabel;
class QTabWidget;
class QWidget;
class QvProgress;
class SInputHotKeyDlg;

// The sound-pad page ("特效"): the pad grids (favourites, local, downloaded, up to seven cloud
// categories), the player strip, the pad menu and the favourites' hotkeys. Clips play through
// the audio component on the card's output when one is attached. UI thread only; the
// player's end-of-clip notice and the cloud workers reach it as events.
class CEventHandlerSound : public IPageHandler {
  public:
    static constexpr int kTimerProgress = 1004;
    static constexpr int kTimerCloudRetry = 1006;
    static constexpr uint32_t kProgressIntervalMs = 200;
    static constexpr int kTipMs = 2000;

    // Test seams, each null for the real dialog: the file the "+" pad adds, the name the
    // rename dialog returns (nullopt: cancelled), and a hook once the hotkey dialog is up.
    std::function<QString()> askClipFile;
    std::function<std::optional<QString>(const QString& offered)> askClipName;
    std::function<void(SInputHotKeyDlg&)> onHotkeyDialogOpen;
    // Chooses from the pad menu's items instead of a person (0: nothing chosen); runs where the
    // menu would, so grids rebuilt meanwhile wait until it returns.
    std::function<int(const std::vector<int>& items)> chooseMenuItem;
    // Takes what the "载入设备" items ask for (path or resource name, resource flag, slot)
    // instead of the upload window; null: the window opens.
    std::function<void(const std::string& path, int resourceFlag, int slot)> onSendRequest;
    // Called with the upload window before it runs (modally) on the page's behalf.
    std::function<void(CSendWindow&)> onSendWindowOpen;

    CEventHandlerSound();
    ~CEventHandlerSound() override;

    void Init(IPageHost* host) override;
    bool OnControlEvent(const ControlEvent& event) override;
    bool OnWindowMessage(const WindowMessage& message) override;

    // The page's operations (clicks, hotkeys, menu commands and tests reach them).
    // True when the clip plays (a cloud pad: plays or is being downloaded to play).
    bool PlayPad(int id);
    void Stop();
    bool OnCloudPadClick(int id);
    void OpenPadMenu(int id, const QPoint& globalPos);
    void OnMenuCommand(int id);
    // The pad menu's items for a pad: 1006 (with 110..112) first, then the pad's own; empty
    // when it opens none.
    std::vector<int> PadMenuItems(int id) const;
    void AddLocalClip();
    // An upload asked for from outside the page (the control interface), run in the upload
    // window as the pad menu's "载入设备" runs it; onOpen sees the window before it runs.
    // False (nothing started) while another upload runs or without a card's protocol.
    bool UploadClip(const CSendWindow::Request& request,
                    const std::function<void(CSendWindow&)>& onOpen);
    void OpenVolumePopup();
    void SetPadVolume(int volume);
    void RebuildFavourites();
    void RebuildLocal();
    void RebuildDownloaded();
    void BuildCloudTabs();
    void StartCloudList();

    int CurrentPadId() const { return m_curPadId; }
    int MenuPadId() const { return m_menuPadId; }
    int SendSlot() const { return m_sendSlot; }
    const SoundEntry& CurrentEntry() const { return m_curEntry; }
    AudioStreamPair& Streams() { return m_streams; }
    bool CloudListRunning() const { return m_cloudWorker != nullptr; }
    size_t RunningDownloads() const { return m_downloads.size(); }
    QWidget* Grid(const QString& name) const;

  private:
    struct Download;

    // Menus, dialogs and message boxes run nested event loops inside a pad's own signal. A
    // grid rebuilt under one would delete that pad, so rebuilds wait until the last closes.
    enum GridKind : unsigned {
        kGridFavourites = 1,
        kGridLocal = 2,
        kGridDownloaded = 4,
        kGridCloud = 8
    };
    class ModalScope {
      public:
        explicit ModalScope(CEventHandlerSound& page) : m_page(page) { ++m_page.m_modalDepth; }
        ~ModalScope();
        ModalScope(const ModalScope&) = delete;
        ModalScope& operator=(const ModalScope&) = delete;

      private:
        CEventHandlerSound& m_page;
    };
    // True (and the grid marked) while a nested loop runs.
    bool DeferGrid(GridKind grid);
    // A message box with the caption "提示".
    void ShowMessage(const QString& text);
    void InstallCloudList();
    void SetCloudState(const Download& download, uint32_t state);

    void Subscribe();
    void OnTimer(int id);
    void OnProgressTimer();
    void StartProgress();
    void ResetProgressDisplay();
    void OnPlaybackMsg(EventArgs& event);
    void OnVolumeChange(EventArgs& event);
    void OnDoSendData(EventArgs& event);
    void OnDeviceChanged();
    void OnCloudListFinished(EventArgs& event);
    void OnCloudFileReady(EventArgs& event);
    void OnHotkeyToggle(bool on);
    void OnTabChanged(int index);
    bool OnHotkey(int id);
    void OnRetryTimer();
    void StopCloudList();

    // Grids.
    void BuildGrid(QWidget* grid, const std::vector<SoundEntry>& entries, int baseId,
                   bool favourites, bool addPad);
    QWidget* MakePad(QWidget* parent, int id, const SoundEntry& entry, bool favourite);
    void SelectSavedTab(bool cloudTabsReady);

    // Menu commands.
    // The pad menu with a person: the chosen command id, 0 for none.
    int RunPadMenu(const std::vector<int>& items, const QPoint& globalPos);
    void SendToSlot(int slot);
    void AddToFavourites();
    void EditFavouriteHotkey();
    void DeleteFavouriteHotkey();
    void DeleteLocalPad();
    void RenameLocalPad();
    // The clip-name dialog: the name after OK, nullopt when cancelled.
    std::optional<QString> AskClipName(const QString& offered);
    // A cloud pad's downloaded entry; starts the download with followUp when there is none.
    std::optional<SoundEntry> DownloadedOrFetch(int id, int followUp);
    void StartDownload(size_t category, size_t index, int padId, int followUp);
    void FinishDownload(CThreadObject* worker);
    void StopDownloads();
    void FollowUpDownload(const EventCloudSoundFileReady& event, const SoundEntry& entry);

    bool PlayEntry(const SoundEntry& entry);
    void ShowTipAtPad(int id, const QString& text, int ms = kTipMs);
    QString SettingsPath() const;
    bool CardConnected() const;

    IPageHost* m_host = nullptr;
    INotifyCenter* m_center = nullptr;  // where the page subscribed
    bool m_initialised = false;
    AudioStreamPair m_streams;
    int m_curPadId = 0;
    int m_menuPadId = 0;
    int m_lastRightClickId = 0;
    SoundEntry m_curEntry{};
    int m_sendSlot = 1;
    audio::MediaInfo m_media{};
    bool m_uploadWindowOpen = false;
    int m_savedTab = 0;
    bool m_buildingTabs = false;  // tab changes made by the page are not the user's choice

    QAbstractButton* m_hotkeySwitch = nullptr;
    QvProgress* m_progress = nullptr;
    QLabel* m_playTime = nullptr;
    QAbstractButton* m_volumeButton = nullptr;
    QTabWidget* m_tabs = nullptr;

    std::vector<int> m_subscriptions;
    // Workers post through the gate; it closes when the page goes, so a worker that
    // outlives the page reaches nothing.
    std::shared_ptr<CNotifyGate> m_gate;
    std::shared_ptr<CCloudSoundListDownloader> m_cloudWorker;
    std::vector<std::shared_ptr<Download>> m_downloads;
    std::shared_ptr<const cloud_sound::CategoryList> m_cloudList;  // fetched, not yet installed
    int m_modalDepth = 0;
    unsigned m_deferredGrids = 0;
};
