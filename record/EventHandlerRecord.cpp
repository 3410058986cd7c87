#include "EventHandlerRecord.h"

#include <sys/stat.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>

#include "Controls.h"
#include "IniFile.h"
#include "NotifyCenter.h"
#include "QvProgress.h"
#include "QvSlider.h"
#include "SafeFile.h"
#include "TipWindow.h"
#include "UiEvents.h"
#include "WindowTimers.h"
#include "WorkSpace.h"

namespace {

constexpr const char* kRecordingName = "tmp_record.mp3";
constexpr const char* kZeroTime = "00:00:00";

QString Clock(uint32_t totalSeconds) {
    return QString::asprintf("%02u:%02u:%02u", totalSeconds / 3600, totalSeconds % 3600 / 60,
                             totalSeconds % 60);
}

// Seconds played or recorded so far: bytes through the stream over its bytes per second;
// false before the stream knows its rate.
bool StreamSeconds(audio::IAudioStream& stream, uint32_t& seconds) {
    audio::Status status;
    audio::MediaInfo media;
    stream.GetStatus(status);
    stream.GetMediaInfo(media);
    if (media.bytesPerSecond == 0) return false;
    seconds = static_cast<uint32_t>(status.bytes / media.bytesPerSecond);
    return true;
}

// The recording's size; -1 when there is none.
int64_t FileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : -1;
}

}  // namespace

CEventHandlerRecord::CEventHandlerRecord() = default;

CEventHandlerRecord::~CEventHandlerRecord() {
    // No notice may arrive once the page is gone: the loader and the streams go first (the
    // streams are released, not stopped, as at the window's end), then the gate.
    if (m_streams.loadThread.joinable()) m_streams.loadThread.join();
    m_streams.ReleaseStreams();
    if (m_gate) m_gate->Close();
    if (m_center)
        for (int token : m_subscriptions) m_center->Unsubscribe(token);
    if (m_holding && m_host) m_host->HoldSleepAndShutdown(false);
}

QString CEventHandlerRecord::SettingsPath() const {
    CWorkSpace* workspace = m_host ? m_host->Workspace() : nullptr;
    return workspace ? QString::fromStdString(workspace->SettingsPath()) : QString();
}

bool CEventHandlerRecord::RecordingExists() const {
    return FileSize(m_path) >= 0;
}

void CEventHandlerRecord::Init(IPageHost* host) {
    m_host = host;
    m_center = &host->NotifyCenter();
    m_gate = std::make_shared<CNotifyGate>(host->NotifyCenter());
    m_path = host->UserDir().toStdString() + "/" + kRecordingName;
    m_streams.notify = &PostPlaybackEnded;
    m_streams.notifyContext = m_gate.get();
    Subscribe();

    QWidget* content = host->Content();
    m_container = FindControl(content, "container_record");
    QWidget* area = m_container ? m_container : content;
    m_recordTime = FindControlAs<QLabel>(area, "txt_record_time");
    m_record = FindControlAs<QAbstractButton>(area, "btn_record");
    m_playback = FindControlAs<QAbstractButton>(area, "btn_record_playback");
    m_save = FindControlAs<QAbstractButton>(area, "btn_record_save");
    m_playTime = FindControlAs<QLabel>(area, "txt_play_time");
    m_slider = FindControlAs<QvSlider>(area, "slider_play_progress");
    m_meter = FindControlAs<QvProgress>(area, "channel_volume");
    m_busy = FindControl(area, "loading");

    if (m_playback) m_playback->setEnabled(false);
    if (m_save) m_save->setEnabled(false);
    if (RecordingExists()) {
        if (m_playback) m_playback->setEnabled(true);
        if (m_save) m_save->setEnabled(true);
        const QString settings = SettingsPath();
        const std::string last =
            settings.isEmpty()
                ? std::string()
                : CIniFile(settings.toStdString()).GetString("Time", "LastRecordTime", "");
        if (!last.empty() && m_recordTime) m_recordTime->setText(QString::fromStdString(last));
    }
    if (m_slider) {
        m_slider->setRange(0, 100);
        m_slider->setValue(0);
        m_slider->setEnabled(false);
        QObject::connect(m_slider, &QvSlider::sliderPressed, m_slider,
                         [this] { OnSliderPressed(); });
        QObject::connect(m_slider, &QvSlider::sliderReleased, m_slider,
                         [this] { OnSliderReleased(); });
    }
    if (m_meter) {
        m_meter->setRange(0, 100);
        m_meter->setValue(0);
        m_meter->setEnabled(false);
    }
    audio::State running;
    if (m_streams.recorder && m_streams.recorder->GetState(running) && running.running)
        Enter(kRecording);
    else if (m_streams.IsPlayerRunning())
        Enter(kPlaying);
    if (m_busy) m_busy->hide();
    m_overlay = FindControl(content, "record_display_wnd");
    m_initialised = true;
}

void CEventHandlerRecord::Subscribe() {
    auto on = [this](int id, const char* name, void (CEventHandlerRecord::*method)(EventArgs&)) {
        m_subscriptions.push_back(
            m_center->Subscribe(id, name, [this, method](EventArgs& e) { (this->*method)(e); }));
    };
    on(EventPlaybackMsg::kId, EventPlaybackMsg::kName, &CEventHandlerRecord::OnPlaybackMsg);
    on(EventDeviceChanged::kId, EventDeviceChanged::kName, &CEventHandlerRecord::OnDeviceChanged);
    on(EventLoadAudioFileFinsh::kId, EventLoadAudioFileFinsh::kName,
       &CEventHandlerRecord::OnLoadFinished);
}

bool CEventHandlerRecord::OnControlEvent(const ControlEvent& event) {
    if (!m_initialised) return false;
    if (m_handling && (event.control == m_record || event.control == m_playback ||
                       event.control == m_save || event.control == m_slider))
        return true;  // a recording is starting: its controls wait
    if (event.code == kEventCommand) {
        if (event.control == m_record && m_record && m_playback) {
            OnRecordClicked();
            return true;
        }
        if (event.control == m_playback && m_playback) {
            OnPlaybackClicked();
            return true;
        }
        if (event.control == m_save && m_save) {
            Save();
            return true;
        }
    } else if (event.code == kEventSliderPos && event.control == m_slider && m_slider) {
        if (m_playTime) m_playTime->setText(Clock(static_cast<uint32_t>(event.value)));
        // The wheel and the keys move it without a press: they seek at once.
        if (!m_slider->isSliderDown() && m_streams.IsPlayerRunning())
            m_streams.SeekPlayer(event.value);
        return true;
    }
    return false;
}

bool CEventHandlerRecord::OnWindowMessage(const WindowMessage& message) {
    if (!m_initialised) return false;
    switch (message.kind) {
        case WindowMessage::kTimer:
            switch (message.message) {
                case kTimerRecordTime:
                    OnRecordTimeTimer();
                    return true;
                case kTimerPlayPosition:
                    OnPlayPositionTimer();
                    return true;
                case kTimerRecordLevel:
                    OnLevelTimer(m_streams.recorder);
                    return true;
                case kTimerPlayLevel:
                    OnLevelTimer(m_streams.player);
                    return true;
                default:
                    return false;
            }
        case WindowMessage::kDestroy:
            OnDestroy();
            return false;  // the other pages and the window see it too
        case WindowMessage::kPower:
            OnPower(message.message);
            return true;
        case WindowMessage::kQueryEndSession:
            OnQueryEndSession();
            return true;
        case WindowMessage::kEndSession:
            if (message.wParam == 0) QCoreApplication::quit();  // the shutdown was cancelled
            return true;
        default:
            return false;
    }
}

void CEventHandlerRecord::Enter(State state) {
    CWindowTimers& timers = m_host->Timers();
    if (state == kRecording) {
        if (m_record) m_record->setChecked(true);
        if (m_playback) m_playback->setEnabled(false);
        if (m_slider) m_slider->setEnabled(false);
        if (m_save) m_save->setEnabled(false);
        if (m_playTime) m_playTime->setText(kZeroTime);
        if (m_recordTime) m_recordTime->setText(kZeroTime);
        timers.StartTimer(kTimerRecordTime, kTimeIntervalMs);
        timers.StartTimer(kTimerRecordLevel, kLevelIntervalMs);
    } else if (state == kPlaying) {
        timers.StartTimer(kTimerPlayPosition, kTimeIntervalMs);
        timers.StartTimer(kTimerPlayLevel, kLevelIntervalMs);
        if (m_playback) m_playback->setChecked(true);
        if (m_slider) {
            audio::MediaInfo media;
            if (m_streams.player) m_streams.player->GetMediaInfo(media);
            if (m_recordTime) m_recordTime->setText(Clock(media.lengthSeconds));
            m_slider->setRange(0, std::max<int>(1, static_cast<int>(media.lengthSeconds)));
            m_slider->setValue(0);
            m_slider->setEnabled(true);
        }
    } else {
        for (int id : {kTimerRecordTime, kTimerPlayPosition, kTimerRecordLevel, kTimerPlayLevel})
            timers.StopTimer(id);
        if (m_record) m_record->setChecked(false);
        if (m_playback) m_playback->setChecked(false);
        if (m_playTime) m_playTime->setText(kZeroTime);
        if (m_slider) {
            m_slider->setValue(0);
            m_slider->setEnabled(false);
        }
        if (RecordingExists()) {
            if (m_save) m_save->setEnabled(true);
            if (m_playback) m_playback->setEnabled(true);
        }
        if (m_meter) {
            m_meter->setValue(0);
            m_meter->setEnabled(false);
        }
    }
    m_state = state;
    // The system waits for a recording to be finished before it sleeps or shuts down.
    const bool hold = state == kRecording;
    if (hold != m_holding) {
        m_holding = hold;
        m_host->HoldSleepAndShutdown(hold);
    }
}

void CEventHandlerRecord::ShowTip(QWidget* at, const QString& text, int ms) {
    if (text.isEmpty()) return;
    if (at)
        CTipWindow::ShowCentred(at, text, ms, true);
    else
        CTipWindow::ShowAt(QCursor::pos(), text, ms);
}

void CEventHandlerRecord::CancelLoading() {
    // Open gives up within a few seconds when the sound server stalls.
    if (m_streams.loadThread.joinable()) m_streams.loadThread.join();
    if (!m_loading) return;
    m_loading = false;  // its event, still on the way, is ignored
    if (m_overlay) m_overlay->hide();
    if (m_busy) m_busy->hide();
}

void CEventHandlerRecord::OnRecordClicked() {
    CancelLoading();
    if (m_state == kRecording)
        StopRecording();
    else
        StartRecording();
}

void CEventHandlerRecord::StartRecording() {
    if (m_streams.player) {
        const bool wasRunning = m_streams.IsPlayerRunning();
        m_streams.player->Stop();
        m_streams.player->Release();
        m_streams.player = nullptr;
        if (m_state == kPlaying) Enter(kIdle);
        if (wasRunning) {
            // Lets the sound server let go of the output before the input opens. The page's
            // controls wait meanwhile; a sleep, a shutdown or the card leaving cancels the start.
            const unsigned interruptions = m_interruptions;
            m_handling = true;
            QDeadlineTimer deadline(300);
            while (!deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents,
                                                static_cast<int>(deadline.remainingTime()));
            m_handling = false;
            if (interruptions != m_interruptions) return;
        }
    }
    std::string error;
    bool ok = m_streams.OpenLineRecorder(m_streams.deviceFilter, m_path, &error) != 0;
    if (ok && !m_streams.recorder->Start()) {
        const char* text = m_streams.recorder->GetLastErrorText();
        error = text ? text : "";
        ok = false;
    }
    if (!ok) {
        if (m_streams.recorder) {
            m_streams.recorder->Release();
            m_streams.recorder = nullptr;
        }
        if (m_record) m_record->setChecked(false);
        ShowTip(m_record, QString::fromStdString(error));
        return;
    }
    Enter(kRecording);
}

void CEventHandlerRecord::StopRecording() {
    OnRecordTimeTimer();
    QString error;
    if (m_streams.recorder) {
        // The last bytes may not fit on a full disk: the take is kept and the user told.
        if (!m_streams.recorder->Stop()) {
            const char* text = m_streams.recorder->GetLastErrorText();
            error = QString::fromUtf8(text ? text : "");
        }
        m_streams.recorder->Release();
        m_streams.recorder = nullptr;
    }
    Enter(kIdle);
    ShowTip(m_record, error);
}

void CEventHandlerRecord::OnPlaybackClicked() {
    if (m_loading) {
        if (m_playback) m_playback->setChecked(false);  // it toggled itself on the click
        return;
    }
    if (m_state == kPlaying || m_streams.IsPlayerRunning())
        StopPlayback();
    else
        StartPlayback();
}

void CEventHandlerRecord::StartPlayback() {
    const int64_t size = FileSize(m_path);
    if (size > static_cast<int64_t>(kDirectOpenLimit)) {
        // A long recording takes a while to open: behind the overlay, on a worker.
        if (m_busy) m_busy->show();
        if (m_overlay) {
            m_overlay->show();
            m_overlay->raise();
        }
        m_loading = true;
        if (m_playback) m_playback->setChecked(false);
        if (m_streams.loadThread.joinable()) m_streams.loadThread.join();
        m_streams.filePath = m_path;
        std::weak_ptr<CNotifyGate> gate = m_gate;
        m_streams.loadThread = std::thread([this, gate] {
            std::string error;
            const int opened =
                m_streams.OpenPlayerFile(m_streams.deviceFilter, m_streams.filePath, &error);
            auto event = std::make_shared<EventLoadAudioFileFinsh>(this);
            event->opened = opened;
            event->error = error;
            if (auto g = gate.lock()) g->FireEventAsync(std::move(event));
        });
        return;
    }
    std::string error;
    if (!m_streams.OpenPlayerFile(m_streams.deviceFilter, m_path, &error)) {
        if (m_playback) m_playback->setChecked(false);
        ShowTip(m_playback, QString::fromStdString(error));
        return;
    }
    StartPlayer();
}

void CEventHandlerRecord::StartPlayer() {
    if (m_streams.player && m_streams.player->Start()) {
        Enter(kPlaying);
        return;
    }
    const char* text = m_streams.PlayerErrorText();
    const QString error = QString::fromUtf8(text ? text : "");
    if (m_streams.player) {
        m_streams.player->Release();
        m_streams.player = nullptr;
    }
    if (m_playback) m_playback->setChecked(false);
    ShowTip(m_playback, error);
}

void CEventHandlerRecord::StopPlayback() {
    if (m_streams.player && m_streams.IsPlayerRunning()) {
        m_streams.player->Stop();
        m_streams.player->Release();
        m_streams.player = nullptr;
    }
    Enter(kIdle);
}

void CEventHandlerRecord::OnLoadFinished(EventArgs& e) {
    auto& event = static_cast<EventLoadAudioFileFinsh&>(e);
    if (event.Sender() != this || !m_loading) return;
    if (m_streams.loadThread.joinable()) m_streams.loadThread.join();
    m_loading = false;
    if (m_overlay) m_overlay->hide();
    if (m_busy) m_busy->hide();
    if (!event.opened) {
        ShowTip(m_playback, QString::fromStdString(event.error));
        return;
    }
    StartPlayer();
}

void CEventHandlerRecord::OnPlaybackMsg(EventArgs& e) {
    auto& event = static_cast<EventPlaybackMsg&>(e);
    // An end already on its way when a recording started belongs to the playback before it.
    if (event.context != m_gate.get() || event.code != audio::kNotifyPlaybackEnded ||
        !m_container || m_state != kPlaying)
        return;
    Enter(kIdle);
}

void CEventHandlerRecord::OnRecordTimeTimer() {
    if (!m_streams.recorder) return;
    uint32_t seconds = 0;
    if (StreamSeconds(*m_streams.recorder, seconds) && m_recordTime)
        m_recordTime->setText(Clock(seconds));
    // A recording that stopped by itself (a full disk, the input gone) keeps what it wrote.
    audio::State running;
    if (m_state == kRecording && m_streams.recorder->GetState(running) && !running.running) {
        const char* text = m_streams.recorder->GetLastErrorText();
        const QString error = QString::fromUtf8(text ? text : "");
        m_streams.recorder->Stop();
        m_streams.recorder->Release();
        m_streams.recorder = nullptr;
        Enter(kIdle);
        ShowTip(m_record, error);
    }
}

void CEventHandlerRecord::OnPlayPositionTimer() {
    uint32_t seconds = 0;
    if (!m_streams.player || !StreamSeconds(*m_streams.player, seconds)) return;
    if (m_slider) m_slider->setValue(static_cast<int>(seconds));
    if (m_playTime) m_playTime->setText(Clock(seconds));
}

void CEventHandlerRecord::OnLevelTimer(audio::IAudioStream* stream) {
    if (!stream || !m_meter) return;
    int left = 0, right = 0;
    stream->GetLevels(left, right);
    m_meter->setValue(std::max(left, right));
}

void CEventHandlerRecord::OnSliderPressed() {
    m_host->Timers().StopTimer(kTimerPlayPosition);
}

void CEventHandlerRecord::OnSliderReleased() {
    if (!m_slider) return;
    if (m_streams.IsPlayerRunning()) {
        m_streams.SeekPlayer(m_slider->value());
        m_host->Timers().StartTimer(kTimerPlayPosition, kSeekedIntervalMs);
    } else {
        m_slider->setValue(0);
        if (m_playTime) m_playTime->setText(kZeroTime);
    }
}

void CEventHandlerRecord::Save() {
    audio::State running;
    if (m_streams.recorder && m_streams.recorder->GetState(running) && running.running) {
        ShowTip(m_save, QObject::tr("录音正在进行中，请先停止录音！"));
        return;
    }
    if (!RecordingExists()) {
        ShowTip(m_save, QObject::tr("您尚未录音，请先进行录音！"));
        return;
    }
    std::optional<QString> chosen;
    if (askSavePath) {
        chosen = askSavePath();
    } else {
        // The dialog adds ".mp3" to a bare name before it asks whether to overwrite.
        QFileDialog dialog(m_host->Window(), QString(), QString(), QObject::tr("mp3文件(*.mp3)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("mp3"));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().first();
    }
    if (!chosen || chosen->isEmpty()) return;
    QString target = *chosen;
    // A name without an extension is given ".mp3", so the copy opens as what it is.
    if (QFileInfo(target).suffix().isEmpty()) target += ".mp3";
    std::string reason;
    if (!fileio::CopyFileReplacing(m_path, target.toStdString(), &reason)) {
        ShowTip(m_save, QObject::tr("保存失败，请尝试保存到其他路径！"));
        return;
    }
    ShowTip(m_save, QObject::tr("录音保存成功！"), kSavedTipMs);
    if (m_save) m_save->setEnabled(false);
}

void CEventHandlerRecord::StopAndReleaseAll() {
    ++m_interruptions;
    CancelLoading();
    if (m_streams.recorder) m_streams.recorder->Stop();
    if (m_streams.player) m_streams.player->Stop();
    m_streams.ReleaseStreams();
}

void CEventHandlerRecord::OnDeviceChanged(EventArgs& /*event*/) {
    CWorkSpace* workspace = m_host->Workspace();
    if (workspace && workspace->IsDeviceAttached()) return;
    StopAndReleaseAll();
    Enter(kIdle);
}

void CEventHandlerRecord::OnPower(uint32_t event) {
    CWorkSpace* workspace = m_host->Workspace();
    if (event == kPowerResume) {
        if (m_streams.recorder) StopRecording();  // nothing records across a sleep
        Enter(kIdle);
        if (workspace) workspace->ReadStateFromCard();
    } else if (event == kPowerSuspend) {
        // The card hears that the host leaves before the lock on sleep is given back.
        StopAndReleaseAll();
        if (workspace) workspace->SaveLastStatus();
        Enter(kIdle);
    }
    auto changed = std::make_shared<EventDeviceChanged>(this);
    m_center->FireEventAsync(std::move(changed));
}

void CEventHandlerRecord::OnQueryEndSession() {
    // The recording is finished and its file complete before the session may end; the
    // recorder goes too, so a cancelled shutdown records afresh next time.
    StopAndReleaseAll();
    if (CWorkSpace* workspace = m_host->Workspace()) workspace->SaveLastStatus();
    m_host->DetachDevice();
    Enter(kIdle);  // gives the lock back last
}

void CEventHandlerRecord::OnDestroy() {
    for (int token : m_subscriptions) m_center->Unsubscribe(token);
    m_subscriptions.clear();
    const QString settings = SettingsPath();
    if (!settings.isEmpty() && m_recordTime)
        CIniFile(settings.toStdString())
            .WriteString("Time", "LastRecordTime", m_recordTime->text().toStdString());
}
