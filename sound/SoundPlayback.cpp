// Playing pads: the player strip (stop, position, time text), the end of a clip, the volume.
#include <QAbstractButton>
#include <QLabel>

#include "Controls.h"
#include "EventHandlerSound.h"
#include "HotkeyConfig.h"
#include "NotifyCenter.h"
#include "QvProgress.h"
#include "SoundPads.h"
#include "VolumePopup.h"
#include "WindowTimers.h"

namespace {

QString Clock(uint32_t hours, uint32_t minutes, uint32_t seconds) {
    return QString::asprintf("%02u:%02u:%02u", hours, minutes, seconds);
}

}  // namespace

bool CEventHandlerSound::PlayEntry(const SoundEntry& entry) {
    const std::string filter = m_streams.deviceFilter;
    if (entry.kind == SoundEntry::kBuiltIn) {
        const int result = m_streams.PlayResourceClip(entry.PathUtf8(), filter);
        if (result == AudioStreamPair::kResourceMissing)
            ShowMessage(QObject::tr("播放失败，未找到资源！"));
        if (result != AudioStreamPair::kPlayOk) return false;
    } else if (entry.kind == SoundEntry::kFile) {
        if (!m_streams.OpenPlayerFile(filter, entry.PathUtf8(), nullptr)) return false;
    } else {
        return false;
    }
    const int volume = m_host->Hotkeys().Volume();
    m_streams.player->SetVolume(volume, volume);
    if (!m_streams.player->Start()) {
        m_streams.ReleaseStreams();
        return false;
    }
    StartProgress();
    return true;
}

bool CEventHandlerSound::PlayPad(int id) {
    m_curPadId = id;
    SoundEntry entry;
    const pads::Lookup found = pads::Classify(id).list == pads::PadList::Cloud
                                   ? pads::Lookup::kNoList
                                   : pads::FindEntry(m_host->Hotkeys(), id, entry);
    if (found == pads::Lookup::kOutOfRange) return false;
    if (found == pads::Lookup::kFound) {
        m_curEntry = entry;
        if (PlayEntry(entry)) return true;
    }
    ShowTipAtPad(id, QObject::tr("播放失败"));
    Stop();
    return false;
}

void CEventHandlerSound::Stop() {
    m_streams.StopPlayer();
    m_host->Timers().StopTimer(kTimerProgress);
    ResetProgressDisplay();
}

void CEventHandlerSound::ResetProgressDisplay() {
    if (m_progress) m_progress->setValue(0);
    if (m_playTime) m_playTime->setText(QStringLiteral("00:00:00"));
}

void CEventHandlerSound::StartProgress() {
    m_host->Timers().StartTimer(kTimerProgress, kProgressIntervalMs);
    if (m_playTime) m_playTime->setText(QStringLiteral("00:00:00"));
    m_media = audio::MediaInfo{};
    if (m_streams.player) m_streams.player->GetMediaInfo(m_media);
    if (m_media.lengthUnits == 0) m_media.lengthUnits = 1;
    if (m_progress) {
        m_progress->setMinimum(0);
        m_progress->setMaximum(static_cast<int>(m_media.lengthUnits));
        m_progress->setValue(0);
    }
}

void CEventHandlerSound::OnProgressTimer() {
    if (!m_progress) return;
    if (m_media.lengthUnits > 0) {
        audio::Status status;
        if (m_streams.player) m_streams.player->GetStatus(status);
        if (status.positionUnits > 0) {
            m_progress->setValue(static_cast<int>(status.positionUnits));
            if (status.hours < 500 && m_playTime)
                m_playTime->setText(Clock(status.hours, status.minutes, status.seconds));
        } else {
            m_media.lengthUnits = 0;  // the clip has ended
        }
        return;
    }
    if (m_progress->value() < m_progress->maximum()) {
        // The end shows the whole length for one tick ("00:00:01" for a clip under a second).
        m_progress->setValue(m_progress->maximum());
        if (m_playTime)
            m_playTime->setText(m_media.lengthSeconds < 1
                                    ? QStringLiteral("00:00:01")
                                    : Clock(m_media.hours, m_media.minutes, m_media.seconds));
        return;
    }
    m_progress->setValue(0);
    m_host->Timers().StopTimer(kTimerProgress);
    if (m_playTime) m_playTime->setText(QStringLiteral("00:00:00"));
}

void CEventHandlerSound::OnPlaybackMsg(EventArgs& e) {
    // The end of a clip: the progress timer sees it on its next tick.
    (void)static_cast<EventPlaybackMsg&>(e);
}

void CEventHandlerSound::OpenVolumePopup() {
    auto* popup = new CVolumePopup(m_host->Window(), m_host->Hotkeys().Volume(), [this](int value) {
        auto event = std::make_shared<EventVolumeChange>(this);
        event->volume = value;
        m_host->NotifyCenter().FireEvent(*event);
    });
    popup->ShowAbove(m_volumeButton);
}

void CEventHandlerSound::OnVolumeChange(EventArgs& e) {
    SetPadVolume(static_cast<EventVolumeChange&>(e).volume);
}

void CEventHandlerSound::SetPadVolume(int volume) {
    volume = std::clamp(volume, 0, 100);
    if (m_streams.player) m_streams.player->SetVolume(volume, volume);
    m_host->Hotkeys().SetVolume(volume);
}
