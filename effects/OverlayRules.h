#pragma once

#include <QPointer>
#include <QTabWidget>
#include <QWidget>
#include <memory>
#include <vector>

class CWorkSpace;
class ITimerHost;

// Which semi-transparent "forbid_*" panels cover the parts of the effects page that the
// current effect does not use. The rules read workspace values only.
namespace overlay {

struct EffectInputs {
    int effect = 0;  // parameter 4
    bool isFileEffect = false;
    int noiseReduction = 0;  // parameter 11, one-key noise reduction
    int voiceChangeOn = 0;   // parameter 29
    int electricOn = 0;      // parameter 32
    int reverbOn = 0;        // parameter 35
};
EffectInputs InputsOf(const CWorkSpace& workspace);

// Visible panels (and the save-effect button) for the current effect.
struct EffectOverlays {
    bool noiseReductionLevel = false;
    bool eqReverbElectric = false;
    bool reverbElectric = false;
    bool notElectric = false;
    bool electric = false;
    bool pitch = false;
    bool saveButton = true;
    int reverbPitchPage = 0;  // page of tab 902: 0 reverb, 1 voice change
};
EffectOverlays ForEffect(const EffectInputs& in);

// "forbid_reverb_electric_param" after a preset was applied, with tab 902 on `page`.
bool ReverbElectricAfterPreset(int page, int voiceChangeOn, int reverbOn);
// ... and when the user switches tab 902 to `page`.
bool ReverbElectricOnTab(int page, int reverbOn);

}  // namespace overlay

// Applies the overlay rules to the main window's panels. The effects page calls it at the
// moments the rules name; timer 1012 of the window lifts the short operation block.
class COverlayRules {
  public:
    static constexpr int kTimerForbidOperate = 1012;
    static constexpr int kForbidOperateMs = 200;
    static constexpr int kSaveEffectButton = 12100;

    COverlayRules(QWidget* root, ITimerHost& timers);
    ~COverlayRules();
    COverlayRules(const COverlayRules&) = delete;
    COverlayRules& operator=(const COverlayRules&) = delete;

    // The current effect changed (page set up, effect or preset applied, parameter 4 changed).
    // False, touching nothing, unless every panel of the rules is in the layout.
    bool Refresh(const CWorkSpace& workspace);
    // EventForbidNoiseReductionLevelParam: value of parameter 11.
    void OnForbidNoiseReduction(int value);
    // EventForbidOpreateWindow: blocks the page for 200 ms.
    void OnForbidOperate();
    // True when the timer was ours.
    bool OnTimer(int timerId);
    // While an effect file is sent to the card.
    void SetOperationBlocked(bool blocked);
    // EventDeviceChanged: the whole page is covered while no card is connected.
    void OnDeviceChanged(bool connected);
    // A preset was applied with tab 902 on `page`; parameters 29 and 35 as they are now.
    void AfterPreset(int page, int voiceChangeOn, int reverbOn);
    // The user switched tab 902 to `page`; parameter 35 as it is now.
    void OnReverbPitchTab(int page, int reverbOn);

    // True while a visible panel lies over the middle of widget (it takes no keys then).
    bool IsCovered(const QWidget* widget) const;

  private:
    class KeyGuard;
    static void SetVisible(QWidget* panel, bool visible);
    std::vector<QWidget*> Panels() const;

    ITimerHost& m_timers;
    QPointer<QWidget> m_noiseReductionLevel;
    QPointer<QWidget> m_eq;
    QPointer<QWidget> m_eqReverbElectric;
    QPointer<QWidget> m_reverbElectric;
    QPointer<QWidget> m_notElectric;
    QPointer<QWidget> m_electric;
    QPointer<QWidget> m_pitch;
    QPointer<QWidget> m_operation;
    QPointer<QWidget> m_deviceStatus;
    QPointer<QWidget> m_deviceStatusText;
    QPointer<QWidget> m_saveButton;
    QPointer<QTabWidget> m_reverbPitchTab;
    // Panels stop the mouse by lying on top; keys go to the focused control wherever it is,
    // so the guard swallows them for controls a panel covers.
    std::unique_ptr<KeyGuard> m_keyGuard;
};
