#include "OverlayRules.h"

#include <QKeyEvent>
#include <QLabel>

#include "Controls.h"
#include "ParamTable.h"
#include "WorkSpace.h"

namespace overlay {

namespace {
constexpr int kEffectTelephone = 5;  // low six bits; 0x40 marks a modified effect
constexpr int kEffectElectric = 7;
constexpr int kParamElectricOn = 32;
bool IsVoiceChangeEffect(int effect) {
    return effect == 3 || effect == 4 || effect == 6;
}
}  // namespace

EffectInputs InputsOf(const CWorkSpace& workspace) {
    EffectInputs in;
    in.effect = workspace.Value(lw52::kParamEffect);
    in.isFileEffect = workspace.Current().isFileEffect == 1;
    in.noiseReduction = workspace.Value(lw52::kParamNoiseReduction);
    in.voiceChangeOn = workspace.Value(lw52::kParamVoiceChangeOn);
    in.electricOn = workspace.Value(kParamElectricOn);
    in.reverbOn = workspace.Value(lw52::kParamReverbOn);
    return in;
}

EffectOverlays ForEffect(const EffectInputs& in) {
    EffectOverlays out;
    out.noiseReductionLevel = in.noiseReduction == 0;
    out.eqReverbElectric = in.isFileEffect || (in.effect & 0x3F) == kEffectTelephone;
    out.reverbElectric = in.reverbOn == 0;

    const bool electric = in.effect == kEffectElectric || in.electricOn != 0;
    out.notElectric = electric;
    out.electric = !electric;
    out.saveButton = !electric && !in.isFileEffect;

    const bool voiceChange = IsVoiceChangeEffect(in.effect) || in.voiceChangeOn != 0;
    out.reverbPitchPage = voiceChange ? 1 : 0;
    out.pitch = !voiceChange;
    if (voiceChange) out.reverbElectric = false;
    return out;
}

bool ReverbElectricAfterPreset(int page, int voiceChangeOn, int reverbOn) {
    return (page == 0 && reverbOn == 0) || (page == 1 && voiceChangeOn == 0);
}

bool ReverbElectricOnTab(int page, int reverbOn) {
    return page == 0 && reverbOn == 0;
}

}  // namespace overlay

// Swallows the keys of controls while a panel covers them (Tab still moves the focus on).
class COverlayRules::KeyGuard : public QObject {
  public:
    explicit KeyGuard(const COverlayRules& rules) : m_rules(rules) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease &&
            event->type() != QEvent::ShortcutOverride)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        return widget && m_rules.IsCovered(widget);
    }

  private:
    const COverlayRules& m_rules;
};

COverlayRules::COverlayRules(QWidget* root, ITimerHost& timers)
    : m_timers(timers),
      m_noiseReductionLevel(FindControl(root, QStringLiteral("forbid_NoiseReductionLevel_param"))),
      m_eq(FindControl(root, QStringLiteral("forbid_eq_param"))),
      m_eqReverbElectric(FindControl(root, QStringLiteral("forbid_eq_reverb_electric_param"))),
      m_reverbElectric(FindControl(root, QStringLiteral("forbid_reverb_electric_param"))),
      m_notElectric(FindControl(root, QStringLiteral("forbid_not_electric_param"))),
      m_electric(FindControl(root, QStringLiteral("forbid_electric_param"))),
      m_pitch(FindControl(root, QStringLiteral("forbid_pitch_param"))),
      m_operation(FindControl(root, QStringLiteral("forbid_operation"))),
      m_deviceStatus(FindControl(root, QStringLiteral("forbid_device_conn_status"))),
      m_deviceStatusText(FindControl(root, QStringLiteral("txt_dev_status"))),
      m_saveButton(FindControlById(root, kSaveEffectButton)),
      m_reverbPitchTab(FindControlAs<QTabWidget>(root, QStringLiteral("tab_reverb_pitch"))),
      m_keyGuard(std::make_unique<KeyGuard>(*this)) {
    if (!root) return;
    for (QWidget* widget : root->findChildren<QWidget*>())
        if (widget->focusPolicy() != Qt::NoFocus) widget->installEventFilter(m_keyGuard.get());
}

COverlayRules::~COverlayRules() = default;

std::vector<QWidget*> COverlayRules::Panels() const {
    return {m_noiseReductionLevel,
            m_eq,
            m_eqReverbElectric,
            m_reverbElectric,
            m_notElectric,
            m_electric,
            m_pitch,
            m_operation,
            m_deviceStatus};
}

bool COverlayRules::IsCovered(const QWidget* widget) const {
    const QPoint middle = widget->mapToGlobal(widget->rect().center());
    for (QWidget* panel : Panels()) {
        if (!panel || !panel->isVisible() || panel == widget || panel->isAncestorOf(widget))
            continue;
        if (panel->rect().contains(panel->mapFromGlobal(middle))) return true;
    }
    return false;
}

void COverlayRules::SetVisible(QWidget* panel, bool visible) {
    // The layout stacks each panel above the controls it covers.
    if (panel) panel->setVisible(visible);
}

bool COverlayRules::Refresh(const CWorkSpace& workspace) {
    if (!m_noiseReductionLevel || !m_eq || !m_eqReverbElectric || !m_reverbElectric ||
        !m_notElectric || !m_electric || !m_pitch)
        return false;
    const overlay::EffectOverlays o = overlay::ForEffect(overlay::InputsOf(workspace));
    SetVisible(m_noiseReductionLevel, o.noiseReductionLevel);
    SetVisible(m_eq, false);  // the equaliser always applies
    SetVisible(m_eqReverbElectric, o.eqReverbElectric);
    SetVisible(m_notElectric, o.notElectric);
    SetVisible(m_electric, o.electric);
    if (m_saveButton) m_saveButton->setVisible(o.saveButton);
    // The page switch is reported like the user's (OnReverbPitchTab); the effect's rule for
    // the reverb panel is applied after it.
    if (m_reverbPitchTab) m_reverbPitchTab->setCurrentIndex(o.reverbPitchPage);
    SetVisible(m_pitch, o.pitch);
    SetVisible(m_reverbElectric, o.reverbElectric);
    return true;
}

void COverlayRules::OnForbidNoiseReduction(int value) {
    SetVisible(m_noiseReductionLevel, value == 0);
}

void COverlayRules::OnForbidOperate() {
    SetVisible(m_operation, true);
    m_timers.StartTimer(kTimerForbidOperate, kForbidOperateMs);
}

bool COverlayRules::OnTimer(int timerId) {
    if (timerId != kTimerForbidOperate) return false;
    m_timers.StopTimer(kTimerForbidOperate);
    SetVisible(m_operation, false);
    return true;
}

void COverlayRules::SetOperationBlocked(bool blocked) {
    SetVisible(m_operation, blocked);
}

void COverlayRules::OnDeviceChanged(bool connected) {
    if (auto* text = qobject_cast<QLabel*>(m_deviceStatusText.data())) text->clear();
    SetVisible(m_deviceStatusText, false);
    SetVisible(m_deviceStatus, !connected);
}

void COverlayRules::AfterPreset(int page, int voiceChangeOn, int reverbOn) {
    SetVisible(m_reverbElectric, overlay::ReverbElectricAfterPreset(page, voiceChangeOn, reverbOn));
}

void COverlayRules::OnReverbPitchTab(int page, int reverbOn) {
    SetVisible(m_reverbElectric, overlay::ReverbElectricOnTab(page, reverbOn));
}
