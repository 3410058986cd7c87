#include "EventHandlerSound.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTabWidget>

#include "CloudSoundListDownloader.h"
#include "Controls.h"
#include "HotkeyConfig.h"
#include "IniFile.h"
#include "MessageBox.h"
#include "NotifyCenter.h"
#include "QvProgress.h"
#include "SoundPads.h"
#include "TipWindow.h"
#include "WindowTimers.h"
#include "WorkSpace.h"

CEventHandlerSound::CEventHandlerSound() = default;

CEventHandlerSound::~CEventHandlerSound() {
    // No notice may arrive once the page is gone: the player goes first, then the gate.
    m_streams.ReleaseStreams();
    if (m_gate) m_gate->Close();
    StopCloudList();
    StopDownloads();
    if (m_center)
        for (int token : m_subscriptions) m_center->Unsubscribe(token);
}

QString CEventHandlerSound::SettingsPath() const {
    CWorkSpace* workspace = m_host ? m_host->Workspace() : nullptr;
    return workspace ? QString::fromStdString(workspace->SettingsPath()) : QString();
}

bool CEventHandlerSound::CardConnected() const {
    CWorkSpace* workspace = m_host ? m_host->Workspace() : nullptr;
    return workspace && workspace->IsConnected();
}

QWidget* CEventHandlerSound::Grid(const QString& name) const {
    return m_host ? FindControl(m_host->Content(), name) : nullptr;
}

void CEventHandlerSound::Init(IPageHost* host) {
    m_host = host;
    m_center = &host->NotifyCenter();
    m_gate = std::make_shared<CNotifyGate>(host->NotifyCenter());
    m_streams.notify = &PostPlaybackEnded;
    m_streams.notifyContext = m_gate.get();
    Subscribe();

    QWidget* content = host->Content();
    m_tabs = FindControlAs<QTabWidget>(content, "tab_sound");
    const QString settings = SettingsPath();
    m_savedTab = settings.isEmpty()
                     ? 0
                     : CIniFile(settings.toStdString()).GetInt("nCurSelTabIndex", "tabSound", 0);
    SelectSavedTab(false);

    RebuildLocal();  // seeds the favourites on a first start
    RebuildDownloaded();
    RebuildFavourites();

    QWidget* container = FindControl(content, "container_sound");
    QWidget* strip = container ? container : content;
    m_playTime = FindControlAs<QLabel>(strip, "txt_sound_play_time");
    m_progress = FindControlAs<QvProgress>(strip, "progress_sound_play");
    m_hotkeySwitch = FindControlAs<QAbstractButton>(strip, "chk_hotkey_switch");
    m_volumeButton = FindControlAs<QAbstractButton>(content, "btn_volume");
    HotkeyConfig& hotkeys = host->Hotkeys();
    if (m_hotkeySwitch) m_hotkeySwitch->setChecked(hotkeys.HotkeysEnabled());
    if (hotkeys.HotkeysEnabled()) hotkeys.RegisterHotkeys();

    StartCloudList();
    m_initialised = true;
}

void CEventHandlerSound::Subscribe() {
    INotifyCenter& center = m_host->NotifyCenter();
    auto on = [this, &center](int id, const char* name,
                              void (CEventHandlerSound::*method)(EventArgs&)) {
        m_subscriptions.push_back(
            center.Subscribe(id, name, [this, method](EventArgs& e) { (this->*method)(e); }));
    };
    on(EventPlaybackMsg::kId, EventPlaybackMsg::kName, &CEventHandlerSound::OnPlaybackMsg);
    on(EventThreadCloudSoundFinishEvent::kId, EventThreadCloudSoundFinishEvent::kName,
       &CEventHandlerSound::OnCloudListFinished);
    on(EventCloudSoundFileReady::kId, EventCloudSoundFileReady::kName,
       &CEventHandlerSound::OnCloudFileReady);
    on(EventVolumeChange::kId, EventVolumeChange::kName, &CEventHandlerSound::OnVolumeChange);
    on(EventDoSendData::kId, EventDoSendData::kName, &CEventHandlerSound::OnDoSendData);
    m_subscriptions.push_back(center.Subscribe(EventDeviceChanged::kId, EventDeviceChanged::kName,
                                               [this](EventArgs&) { OnDeviceChanged(); }));
}

bool CEventHandlerSound::OnControlEvent(const ControlEvent& event) {
    if (!m_host) return false;
    if (event.code == kEventTabChanged) {
        if (event.name != "tab_sound") return false;
        OnTabChanged(event.value);
        return true;
    }
    if (event.code != kEventCommand) return false;
    const int id = event.id;
    if (id >= 14000 && id <= 17999) {
        PlayPad(id);
        return true;
    }
    if (id >= pads::kCloudBase && id <= pads::kCloudLast) {
        OnCloudPadClick(id);
        return true;
    }
    if (id == pads::kAddPad) {
        AddLocalClip();
        return true;
    }
    if (event.name == "btn_sound_stop") {
        Stop();
        return true;
    }
    if (event.name == "btn_volume") {
        OpenVolumePopup();
        return true;
    }
    if (event.name == "chk_hotkey_switch") {
        OnHotkeyToggle(event.value != 0);
        return true;
    }
    if (event.name == "btn_cloud_sound_retry") {
        m_host->Timers().StartTimer(kTimerCloudRetry, 20);
        return true;
    }
    return false;
}

bool CEventHandlerSound::OnWindowMessage(const WindowMessage& message) {
    if (!m_host) return false;
    switch (message.kind) {
        case WindowMessage::kTimer:
            if (message.message != kTimerProgress && message.message != kTimerCloudRetry)
                return false;
            OnTimer(static_cast<int>(message.message));
            return true;
        case WindowMessage::kCommand:
            if ((message.message >= 110 && message.message <= 112) ||
                (message.message >= 1000 && message.message <= 1007)) {
                OnMenuCommand(static_cast<int>(message.message));
                return true;
            }
            return false;
        case WindowMessage::kHotkey:
            return OnHotkey(static_cast<int>(message.message));
        case WindowMessage::kDestroy: {
            // Only this page's subscriptions go: the other pages still listen until they go.
            for (int token : m_subscriptions) m_center->Unsubscribe(token);
            m_subscriptions.clear();
            StopCloudList();
            HotkeyConfig& hotkeys = m_host->Hotkeys();
            if (hotkeys.HotkeysEnabled()) hotkeys.UnregisterHotkeys();
            return false;
        }
        case WindowMessage::kPrivate:
        case WindowMessage::kPower:  // the recording page reacts to these
        case WindowMessage::kQueryEndSession:
        case WindowMessage::kEndSession:
            return false;
    }
    return false;
}

void CEventHandlerSound::OnTimer(int id) {
    if (id == kTimerProgress) return OnProgressTimer();
    if (id == kTimerCloudRetry) return OnRetryTimer();
}

bool CEventHandlerSound::OnHotkey(int id) {
    if (id < pads::kFavouriteBase || id > pads::kFavouriteBase + 999) return false;
    if (!CardConnected()) return false;
    PlayPad(id);
    return true;
}

void CEventHandlerSound::OnHotkeyToggle(bool on) {
    m_host->Hotkeys().EnableHotkeys(on);
}

void CEventHandlerSound::OnTabChanged(int index) {
    if (m_buildingTabs) return;
    m_savedTab = index;
    const QString settings = SettingsPath();
    if (!settings.isEmpty())
        CIniFile(settings.toStdString()).WriteInt("nCurSelTabIndex", "tabSound", index);
}

void CEventHandlerSound::SelectSavedTab(bool cloudTabsReady) {
    if (!m_tabs) return;
    const bool cloudTab = m_savedTab >= 3;
    if (cloudTab != cloudTabsReady || m_savedTab >= m_tabs->count() || m_savedTab < 0) return;
    m_tabs->setCurrentIndex(m_savedTab);
}

void CEventHandlerSound::OnDeviceChanged() {
    m_host->Timers().StopTimer(kTimerProgress);
    ResetProgressDisplay();
}

void CEventHandlerSound::ShowTipAtPad(int id, const QString& text, int ms) {
    QWidget* pad = FindControlById(m_host->Content(), id);
    if (!pad) {
        CTipWindow::ShowAt(QCursor::pos(), text, ms);
        return;
    }
    CTipWindow::ShowCentred(pad, text, ms, true);
}

void CEventHandlerSound::ShowMessage(const QString& text) {
    ModalScope modal(*this);
    msgbox::Show(m_host->Window(), text, QObject::tr("提示"));
}

bool CEventHandlerSound::DeferGrid(GridKind grid) {
    if (m_modalDepth == 0) return false;
    m_deferredGrids |= grid;
    return true;
}

CEventHandlerSound::ModalScope::~ModalScope() {
    if (--m_page.m_modalDepth > 0) return;
    const unsigned grids = std::exchange(m_page.m_deferredGrids, 0u);
    if (grids & kGridLocal) m_page.RebuildLocal();
    if (grids & kGridDownloaded) m_page.RebuildDownloaded();
    if (grids & kGridFavourites) m_page.RebuildFavourites();
    if (grids & kGridCloud) m_page.InstallCloudList();
}
