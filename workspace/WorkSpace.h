#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Builtins.h"
#include "EffectFile.h"
#include "ParamFrames.h"
#include "Records.h"
#include "SendThrottle.h"
#include "UiEvents.h"
#include "WorkSpaceInterfaces.h"

class ICommDeviceMgmt;
class INotifyCenter;
class CQvAudioProtocol;

// The program's model of the card's effect state. It mirrors the card in both directions:
// reads the whole state on connection, sends local changes batched and rate-limited, applies
// changes made on the card, and keeps presets, custom effects and the last state in the
// settings file. Everything runs on the UI thread; card frames arrive as posted events.
class CWorkSpace {
  public:
    struct Context {
        INotifyCenter* notifyCenter = nullptr;  // events go out and card frames come in here
        const void* eventSender = nullptr;      // the sender the posted events carry
        CQvAudioProtocol* protocol = nullptr;   // frame lists and effect-file uploads
        std::string settingsPath;               // the settings file with the stored records
    };

    explicit CWorkSpace(const Context& context);
    ~CWorkSpace();
    CWorkSpace(const CWorkSpace&) = delete;
    CWorkSpace& operator=(const CWorkSpace&) = delete;

    void SetDeviceManager(ICommDeviceMgmt* manager) { m_manager = manager; }
    void SetBinder(IParamBinder* binder) { m_binder = binder; }
    // The effects page: interval 200 ms, timer 1000 of the main window.
    void ConfigureThrottle(ITimerHost* host, uint32_t intervalMs, int timerId);
    bool OnTimer(int timerId) { return m_throttle.OnTimer(timerId); }

    // A device manager exists, the state was read, and the device is open.
    bool IsConnected() const;
    // The device manager has a card open, whether or not its state was read.
    bool IsDeviceAttached() const;
    bool IsReady() const { return m_ready; }

    void OnDeviceChanged(bool removed);
    void ReadStateFromCard();
    void SetParam(int id, int value);
    void SetParamFromControl(int id, int value);
    // A change from outside the window (the control interface): sent as a knob's change is,
    // and the knob follows.
    void SetParamFromRemote(int id, int value);
    int Flush(int target);
    void LoadRecord(const lw52::EffectRecord& record);
    // Makes a whole record current again (natural voice switched off); sends nothing.
    void RestoreRecord(const lw52::EffectRecord& record);
    // Renames the current effect (its button shows a stored name).
    void SetCurrentName(const std::string& name);
    int ApplyEffect(int index);
    int ApplyCustomEffect(int index);
    int SendCurrentEffect();
    void RefreshControls();
    void HandleCardData(const FrameBytes& frame);
    void SaveLastStatus();

    // Presets, custom effects and the card's slots.
    int ApplyPreset(int group, int index);
    int ApplyGroupFromEffect(int group, int effect);
    int SaveCustomPreset(const std::string& name, int group, int slot);
    int SaveEffectToSlot(int kind, int slot, const std::string& name);
    int ResetDeviceSlot(int index);
    int SendRecord(const lw52::EffectRecord& record, int target);

    // Effect files: reads, maps and hands the frames to the protocol's sender (0 with a
    // reason when the file is refused; the transfer's result arrives as message 1125/7).
    int UploadEffectFile(const std::string& path, int target, std::string* reason = nullptr);
    void SetFileEffect(const std::string& name, const std::string& path);

    const lw52::EffectRecord& Current() const { return m_current; }
    int Value(int id) const { return m_current.values[id]; }
    const std::vector<lw52::EffectRecord>& BuiltinEffects() const { return m_builtinEffects; }
    const std::vector<lw52::EffectRecord>& CustomEffects() const { return m_customEffects; }
    const std::vector<lw52::PresetRecord>& PresetList(int group) const;
    const std::vector<lw52::CloudEffectRecord>& DownloadedEffects() const { return m_downloaded; }
    // Cloud effects (WorkSpaceCloud.cpp): the list last fetched, and the downloaded effects,
    // which are appended to the "DownloadEffect" store of the settings file as well.
    const std::vector<lw52::CloudEffectRecord>& CloudEffects() const { return m_cloudEffects; }
    void SetCloudEffects(std::vector<lw52::CloudEffectRecord> list);
    bool AddDownloadedEffect(const lw52::CloudEffectRecord& record);
    const std::map<int, int>& Pending() const { return m_pending; }
    const std::string& SettingsPath() const { return m_settingsPath; }
    CQvAudioProtocol* Protocol() const { return m_protocol; }
    const lw52::EffectFileHeader& LastEffectFileHeader() const { return m_lastEffectFileHeader; }

    static constexpr int kFileEffectApplied = 164;  // effect number of an unsaved effect file

  private:
    void LoadStoredRecords();
    bool StoreLastStatus();
    bool WriteRecord(const char* section, const std::string& key, const void* data, size_t size);
    void Queue(int id, int value) { m_pending[id] = value; }
    void SetControl(int id, int value);
    void ApplyNoiseReduction(int value);
    bool SendFrames(const std::vector<Frame64>& frames);
    void DropEffectPending();
    bool TransferRunning() const;
    void Post(std::shared_ptr<EventArgs> event);
    void PostParamChanged(ParamPairs pairs);

    INotifyCenter* m_notifyCenter;
    const void* m_eventSender;
    CQvAudioProtocol* m_protocol;
    std::string m_settingsPath;
    ICommDeviceMgmt* m_manager = nullptr;
    IParamBinder* m_binder = nullptr;
    int m_subscription = 0;
    int m_levelsSubscription = 0;
    // The level event posted and not delivered yet: a burst of level frames updates it rather
    // than queueing one event each (the meters show the latest only).
    std::shared_ptr<EventVolumeRecvData> m_levelsInFlight;

    lw52::EffectRecord m_current{};
    // Changes the card has not acknowledged yet, in ascending id order (the order written).
    // They stay until a frame carrying them is answered: a failed send is tried again.
    std::map<int, int> m_pending;
    // The pending effect number is a switch: the card must get it alone (and load the
    // effect) before any change to the effect's parameters.
    bool m_switchOwed = false;
    int m_pendingTarget = 0;  // 4: a whole stored effect is owed and goes whole again
    CSendThrottle m_throttle;
    bool m_ready = false;
    bool m_levelForwarding = false;

    std::vector<lw52::EffectRecord> m_builtinEffects;  // 12; entries 9..11 the card's slots
    std::array<std::vector<lw52::PresetRecord>, 4> m_presets;
    std::vector<lw52::EffectRecord> m_customEffects;  // 12
    std::vector<lw52::CloudEffectRecord> m_downloaded;
    std::vector<lw52::CloudEffectRecord> m_cloudEffects;
    lw52::EffectFileHeader m_lastEffectFileHeader{};
};
