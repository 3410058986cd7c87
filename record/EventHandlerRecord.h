#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AudioStreamPair.h"
#include "PageHost.h"

class CNotifyGate;
class EventArgs;
class QAbstractButton;
class QLabel;
class QWidget;
class QvProgress;
class QvSlider;

// The recording page ("录音"): records the card's line input into the one working recording
// (userDir/tmp_record.mp3), plays it back with a seek slider, time texts and a level meter,
// and saves a copy under a name. The system's sleep and shutdown stop a recording first, with
// the file complete. UI thread only; the player's end and the large-file loader arrive as
// events.
class CEventHandlerRecord : public IPageHandler {
  public:
    enum State { kIdle = 0, kRecording = 1, kPlaying = 3 };

    static constexpr int kTimerRecordTime = 1002;
    static constexpr int kTimerPlayPosition = 1003;
    static constexpr int kTimerRecordLevel = 1008;
    static constexpr int kTimerPlayLevel = 1009;
    static constexpr uint32_t kTimeIntervalMs = 200;
    static constexpr uint32_t kSeekedIntervalMs = 500;
    static constexpr uint32_t kLevelIntervalMs = 20;
    static constexpr int kTipMs = 3000;
    static constexpr int kSavedTipMs = 2000;
    // Recordings larger than this open on a worker behind the busy overlay.
    static constexpr uint64_t kDirectOpenLimit = 20480000;

    // Test seam for the save dialog: the name chosen (nullopt: cancelled); null asks a person.
    std::function<std::optional<QString>()> askSavePath;

    CEventHandlerRecord();
    ~CEventHandlerRecord() override;

    void Init(IPageHost* host) override;
    bool OnControlEvent(const ControlEvent& event) override;
    bool OnWindowMessage(const WindowMessage& message) override;

    // The page's operations (clicks, timers and tests reach them).
    void OnRecordClicked();
    void OnPlaybackClicked();
    void Save();
    void OnSliderPressed();
    void OnSliderReleased();

    State CurrentState() const { return m_state; }
    const std::string& RecordingPath() const { return m_path; }
    AudioStreamPair& Streams() { return m_streams; }
    bool Loading() const { return m_loading; }

  private:
    void Subscribe();
    void Enter(State state);
    void StartRecording();
    void StopRecording();
    void StartPlayback();
    void StopPlayback();
    void StartPlayer();
    void StopAndReleaseAll();
    void CancelLoading();
    void OnRecordTimeTimer();
    void OnPlayPositionTimer();
    void OnLevelTimer(audio::IAudioStream* stream);
    void OnPlaybackMsg(EventArgs& event);
    void OnDeviceChanged(EventArgs& event);
    void OnLoadFinished(EventArgs& event);
    void OnPower(uint32_t event);
    void OnQueryEndSession();
    void OnDestroy();
    void ShowTip(QWidget* at, const QString& text, int ms = kTipMs);
    bool RecordingExists() const;
    QString SettingsPath() const;

    IPageHost* m_host = nullptr;
    INotifyCenter* m_center = nullptr;
    std::shared_ptr<CNotifyGate> m_gate;  // the player's end and the loader post through it
    std::vector<int> m_subscriptions;
    AudioStreamPair m_streams;
    std::string m_path;
    State m_state = kIdle;
    bool m_initialised = false;
    bool m_loading = false;
    bool m_holding = false;        // the delay lock on sleep and shutdown is held
    bool m_handling = false;       // a recording is starting; the page's controls wait
    unsigned m_interruptions = 0;  // sleeps, shutdowns and removals so far

    QWidget* m_container = nullptr;
    QLabel* m_recordTime = nullptr;
    QAbstractButton* m_record = nullptr;
    QAbstractButton* m_playback = nullptr;
    QAbstractButton* m_save = nullptr;
    QLabel* m_playTime = nullptr;
    QvSlider* m_slider = nullptr;
    QvProgress* m_meter = nullptr;
    QWidget* m_busy = nullptr;
    QWidget* m_overlay = nullptr;
};
