#include "EventHandlerEffect.h"

#include <QAbstractButton>
#include <QProgressBar>
#include <QTabWidget>
#include <QTreeWidget>

#include "CloudEffectListDownloader.h"
#include "CloudEffectListTreeViewAdapter.h"
#include "Controls.h"
#include "EqResponse.h"
#include "IniFile.h"
#include "KxTreeViewAdapter.h"
#include "NotifyCenter.h"
#include "OverlayRules.h"
#include "ParamControlBinder.h"
#include "ParamTable.h"
#include "QvAudioProtocol.h"
#include "QvEQ.h"
#include "QvProgressEX1.h"
#include "TipWindow.h"
#include "WindowTimers.h"
#include "WorkSpace.h"

namespace {
constexpr int kMeterMic = 9000;
constexpr int kMeterAccompaniment = 9001;
constexpr uint32_t kThrottleIntervalMs = 200;
}  // namespace

CEventHandlerEffect::CEventHandlerEffect() = default;

QString CEventHandlerEffect::CurrentEffectPath() const {
    if (!m_workspace || m_workspace->Current().isFileEffect != 1) return QString();
    return QString::fromStdString(lw52::RecordPath(m_workspace->Current()));
}

CEventHandlerEffect::~CEventHandlerEffect() {
    if (m_cloudGate) m_cloudGate->Close();
    StopCloudWorker();
    if (m_center)
        for (int token : m_subscriptions) m_center->Unsubscribe(token);
    if (m_workspace) {
        m_workspace->SetBinder(nullptr);
        m_workspace->ConfigureThrottle(nullptr, kThrottleIntervalMs, kTimerThrottle);
    }
}

QAbstractButton* CEventHandlerEffect::EffectButton(int index) const {
    return index >= 0 && index < kEffectButtons ? m_effectButtons[static_cast<size_t>(index)]
                                                : nullptr;
}

void CEventHandlerEffect::Init(IPageHost* host) {
    m_host = host;
    m_workspace = host->Workspace();
    if (!m_workspace) return;
    QWidget* content = host->Content();

    m_binder = std::make_unique<CParamControlBinder>(*m_workspace, content);
    m_workspace->SetBinder(m_binder.get());
    m_binder->RegisterDefaultBindings();
    m_workspace->ConfigureThrottle(&host->Timers(), kThrottleIntervalMs, kTimerThrottle);
    m_overlays = std::make_unique<COverlayRules>(content, host->Timers());

    for (int i = 0; i < kEffectButtons; ++i) {
        auto* button = FindControlAs<QAbstractButton>(content, kFirstEffectButton + i);
        m_effectButtons[static_cast<size_t>(i)] = button;
        if (!button) continue;
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        const int id = kFirstEffectButton + i;
        QObject::connect(button, &QWidget::customContextMenuRequested, button,
                         [this, button, id](const QPoint& pos) {
                             OpenEffectMenu(id, button->mapToGlobal(pos));
                         });
    }
    const int firstPreset[4] = {0, 11101, 11201, 11301};
    const int presetCount[4] = {0, 10, 11, 8};
    for (int g = 1; g <= 3; ++g)
        for (int k = 0; k < presetCount[g]; ++k)
            if (auto* b = FindControlAs<QAbstractButton>(content, firstPreset[g] + k))
                m_presetButtons[static_cast<size_t>(g)].push_back(b);
    if (QWidget* progress = FindControl(content, "progress_eff_download")) progress->hide();
    m_overlays->OnForbidNoiseReduction(m_workspace->Value(lw52::kParamNoiseReduction));

    if (auto* tree = FindControlAs<QTreeWidget>(content, "trctl_kx_eff_list")) {
        const QString userDir = host->UserDir();
        LibraryPaths paths;
        paths.listFile = host->EffectListPath().toStdString();
        // Changes go to the user's copy; the one beside the program may not be writable.
        paths.saveFile =
            userDir.isEmpty() ? paths.listFile : (userDir + "/EffectList.xml").toStdString();
        paths.exeDir = host->ExeDir().toStdString();
        paths.userDir = userDir.toStdString();
        m_library = std::make_unique<CKxTreeViewAdapter>(*this, tree, host->Window(), paths);
    }

    // Library pages: the page chosen last time. The cloud list comes with the cloud service;
    // until then its page offers the downloaded effects or the retry panel.
    const CIniFile settings(m_workspace->SettingsPath());
    if (auto* tabs = FindControlAs<QTabWidget>(content, 901))
        tabs->setCurrentIndex(settings.GetInt("nCurSelTabIndex", "tabCloudEffecet", 0));

    if (auto* cloudTree = FindControlAs<QTreeWidget>(content, "trctl_cloud_effectt"))
        m_cloudTree = std::make_unique<CCloudEffectListTreeViewAdapter>(
            *this, cloudTree, host->Window(), *m_workspace, host->NotifyCenter(),
            host->UserDir().toStdString());

    m_eq = FindControlAs<QvEQ>(content, "eq_curve");
    if (m_eq) {
        for (double freq : lw52::kCardEqFreqs)
            m_eq->AddBand(lw52::kEqPeaking, freq, 0, lw52::kCardEqQ);
        m_eq->Refresh();
        SetEqFromValues();
    }
    Subscribe();
    OnDeviceChanged();
    LoadEffectHotkeys();
    RefreshPresetButtons();
    RefreshEffectButtons();
    m_workspace->RefreshControls();
    RefreshSelection();
    StartCloudFetch();
}

void CEventHandlerEffect::Subscribe() {
    m_center = &m_host->NotifyCenter();
    INotifyCenter& center = *m_center;
    m_subscriptions.push_back(center.Subscribe(EventParamChanged::kId, EventParamChanged::kName,
                                               [this](EventArgs& e) { OnParamChanged(e); }));
    m_subscriptions.push_back(center.Subscribe(EventDeviceChanged::kId, EventDeviceChanged::kName,
                                               [this](EventArgs&) { OnDeviceChanged(); }));
    m_subscriptions.push_back(center.Subscribe(EventClearPresetBtnStatu::kId,
                                               EventClearPresetBtnStatu::kName, [this](EventArgs&) {
                                                   if (m_presetMarked) ClearPresetMarks();
                                               }));
    m_subscriptions.push_back(center.Subscribe(EventVolumeRecvData::kId, EventVolumeRecvData::kName,
                                               [this](EventArgs& e) { OnLevels(e); }));
    m_subscriptions.push_back(
        center.Subscribe(EventForbidNoiseReductionLevelParam::kId,
                         EventForbidNoiseReductionLevelParam::kName, [this](EventArgs& e) {
                             m_overlays->OnForbidNoiseReduction(
                                 static_cast<EventForbidNoiseReductionLevelParam&>(e).value);
                         }));
    m_subscriptions.push_back(
        center.Subscribe(EventForbidOpreateWindow::kId, EventForbidOpreateWindow::kName,
                         [this](EventArgs&) { m_overlays->OnForbidOperate(); }));
    m_subscriptions.push_back(center.Subscribe(EventThreadCloudEffectFinishEvent::kId,
                                               EventThreadCloudEffectFinishEvent::kName,
                                               [this](EventArgs& e) { OnCloudListFinished(e); }));
}

bool CEventHandlerEffect::OnControlEvent(const ControlEvent& event) {
    if (!m_workspace) return false;
    if (event.code == kEventTabChanged && (event.id == 900 || event.id == 901 || event.id == 902)) {
        OnTabChanged(event);
        return true;
    }
    if (event.code == kEventCommand) {
        const int id = event.id;
        if (id >= 10000 && id <= 10100) {
            SelectEffect(id);
            return true;
        }
        if (id >= 11000 && id <= 11600) {
            SelectPreset(id);
            return true;
        }
        if (id >= 12000 && id <= 12006) {
            SavePreset(id);
            return true;
        }
        if (id >= 13000 && id <= 13003) {
            RestoreGroup(id);
            return true;
        }
        if (id == kSaveEffectButton) {
            SaveEffect();
            return true;
        }
        if (event.name == "btn_cloud_retry") {
            RefetchCloudList();
            return true;
        }
        if (event.name == "Oneclick_soundTrack") {
            ToggleNaturalVoice();
            return true;
        }
    }
    return m_binder && m_binder->HandleControlEvent(event);
}

bool CEventHandlerEffect::OnWindowMessage(const WindowMessage& message) {
    if (!m_workspace) return false;
    switch (message.kind) {
        case WindowMessage::kTimer:
            if (message.message == kTimerThrottle) return m_workspace->OnTimer(kTimerThrottle);
            if (message.message == kTimerCloudRetry) {
                m_host->Timers().StopTimer(kTimerCloudRetry);
                ShowCloudFallback();
                return true;
            }
            return m_overlays && m_overlays->OnTimer(static_cast<int>(message.message));
        case WindowMessage::kPrivate:
            if (message.message != kMsgTransfer) return false;
            OnTransferMessage(message.wParam, message.lParam);
            return true;
        case WindowMessage::kCommand:
            if ((message.message >= 99 && message.message <= 101) ||
                (message.message >= 200 && message.message <= 202)) {
                OnMenuCommand(static_cast<int>(message.message));
                return true;
            }
            return false;
        case WindowMessage::kHotkey:
            if (message.message < kFirstEffectButton ||
                message.message >= kFirstEffectButton + kEffectButtons)
                return false;
            OnEffectHotkey(static_cast<int>(message.message));
            return true;
        case WindowMessage::kDestroy:
        case WindowMessage::kPower:  // the recording page reacts to these
        case WindowMessage::kQueryEndSession:
        case WindowMessage::kEndSession:
            return false;
    }
    return false;
}

void CEventHandlerEffect::SetEqFromValues() {
    if (!m_eq) return;
    for (int band = 0; band < 10; ++band)
        m_eq->SetBandGain(band, m_workspace->Value(lw52::kParamEqFirst + band) / 10.0 - 12.0);
    m_eq->Redraw();
}

void CEventHandlerEffect::OnParamChanged(const EventArgs& e) {
    const auto& pairs = static_cast<const EventParamChanged&>(e).pairs;
    if (pairs.empty()) return;
    bool effectChanged = false, eqChanged = false;
    for (const auto& [id, value] : pairs) {
        if (id >= lw52::kParamEqFirst && id <= lw52::kParamEqLast && m_eq) {
            m_eq->SetBandGain(id - lw52::kParamEqFirst, value / 10.0 - 12.0);
            eqChanged = true;
        }
        effectChanged |= id == lw52::kParamEffect;
    }
    if (eqChanged && m_eq) m_eq->Redraw();
    if (effectChanged) {
        RefreshSelection();
        if (auto* natural =
                FindControlAs<QAbstractButton>(m_host->Content(), "Oneclick_soundTrack"))
            natural->setChecked(false);
    }
}

void CEventHandlerEffect::OnDeviceChanged() {
    const bool connected = m_workspace->IsConnected();
    m_overlays->OnDeviceChanged(connected);
    if (connected) return;
    // A card that is gone shows no level: the meters fall to empty instead of freezing at
    // whatever the last redraw left.
    for (int id : {kMeterMic, kMeterAccompaniment})
        if (auto* meter = FindControlAs<QvProgressEX1>(m_host->Content(), id)) {
            meter->setValue(0);
            meter->setFrameCounter(QvProgressEX1::kFramesPerRound);
            meter->startFallOff();
        }
}

void CEventHandlerEffect::OnLevels(const EventArgs& e) {
    const FrameBytes& frame = static_cast<const EventVolumeRecvData&>(e).frame;
    if (auto* mic = FindControlAs<QvProgressEX1>(m_host->Content(), kMeterMic))
        mic->setValue(frame[4] * 10);
    if (auto* acc = FindControlAs<QvProgressEX1>(m_host->Content(), kMeterAccompaniment))
        acc->setValue(frame[5] * 10);
}

void CEventHandlerEffect::OnTabChanged(const ControlEvent& event) {
    if (event.id == 900 || event.id == 901) {
        CIniFile settings(m_workspace->SettingsPath());
        settings.WriteInt("nCurSelTabIndex", event.id == 900 ? "tabEffecet" : "tabCloudEffecet",
                          event.value);
        return;
    }
    m_overlays->OnReverbPitchTab(event.value, m_workspace->Value(lw52::kParamReverbOn));
}

void CEventHandlerEffect::ShowForbidOperation(bool visible) {
    if (QWidget* forbid = FindControl(m_host->Content(), "forbid_operation")) {
        forbid->setVisible(visible);
        if (visible) forbid->raise();
    }
}

void CEventHandlerEffect::ShowTipAtButton(int id, const QString& text, int ms) {
    QWidget* control = FindControlById(m_host->Content(), id);
    if (!control) {
        CTipWindow::ShowAt(QCursor::pos(), text, ms);
        return;
    }
    CTipWindow::ShowAt(control->mapToGlobal(QPoint(control->width() / 2, 0)), text, ms);
}

void CEventHandlerEffect::StartCloudFetch() {
    QWidget* content = m_host->Content();
    if (QWidget* retry = FindControl(content, "wnd_cloud_eff_refresh")) retry->hide();
    if (QWidget* busy = FindControl(content, "ani_fetch_cloud_eff")) busy->show();
    StopCloudWorker();
    if (!m_cloudGate) m_cloudGate = std::make_shared<CNotifyGate>(m_host->NotifyCenter());
    m_cloudWorker = std::make_shared<CCloudEffectListDownloader>(
        m_cloudGate, m_workspace->SettingsPath(), m_host->Window(), ++m_cloudSerial);
    m_cloudWorker->Start(m_cloudWorker);
}

void CEventHandlerEffect::StopCloudWorker() {
    if (!m_cloudWorker) return;
    // A fetch still waiting for the service is not waited for: its thread keeps it alive
    // until the request ends, and its late result no longer matches the serial.
    m_cloudWorker->Stop(100);
    m_cloudWorker.reset();
}

void CEventHandlerEffect::OnCloudListFinished(EventArgs& e) {
    auto& event = static_cast<EventThreadCloudEffectFinishEvent&>(e);
    if (!m_cloudWorker || event.serial != m_cloudSerial) return;  // an older fetch's report
    if (event.success) {
        if (QWidget* busy = FindControl(m_host->Content(), "ani_fetch_cloud_eff")) busy->hide();
        if (event.records && m_cloudTree) {
            m_workspace->SetCloudEffects(*event.records);
            m_cloudTree->Fill(CCloudEffectListTreeViewAdapter::kSourceCloud);
        }
    } else {
        m_host->Timers().StartTimer(kTimerCloudRetry, 1000);
    }
    StopCloudWorker();
}

// After a failed fetch: the downloaded effects when there are any, else the retry panel.
void CEventHandlerEffect::ShowCloudFallback() {
    QWidget* content = m_host->Content();
    if (QWidget* busy = FindControl(content, "ani_fetch_cloud_eff")) busy->hide();
    if (m_cloudTree && !m_workspace->DownloadedEffects().empty()) {
        m_cloudTree->Fill(CCloudEffectListTreeViewAdapter::kSourceDownloaded);
        return;
    }
    if (QWidget* retry = FindControl(content, "wnd_cloud_eff_refresh")) retry->show();
}

void CEventHandlerEffect::RefetchCloudList() {
    StartCloudFetch();
}
