// Presets of the mixer, equaliser, reverb and voice-change groups, and saving effects and
// presets through their dialogs.
#include <QAbstractButton>
#include <QTabWidget>

#include "Builtins.h"
#include "Controls.h"
#include "DisplayNames.h"
#include "DlgSaveEffect.h"
#include "DlgSavePreset.h"
#include "EventHandlerEffect.h"
#include "OverlayRules.h"
#include "ParamTable.h"
#include "TipWindow.h"
#include "WorkSpace.h"

namespace {
// The first user slot of groups 1..3 in their preset lists.
int FirstUserSlot(int group) {
    return lw52::BuiltinPresetCount(group);
}
}  // namespace

bool CEventHandlerEffect::SelectPreset(int id) {
    const int g = (id % 11000) / 100;
    const int k = (id % 11000) % 100;
    m_presetMarked = true;
    if (m_workspace->ApplyPreset(g, k)) {
        if (g >= 1 && g <= 3) {
            const auto& buttons = m_presetButtons[static_cast<size_t>(g)];
            for (size_t p = 0; p < buttons.size(); ++p)
                buttons[p]->setChecked(static_cast<int>(p) == k - 1);
        }
        auto* tabs = FindControlAs<QTabWidget>(m_host->Content(), "tab_reverb_pitch");
        m_overlays->AfterPreset(tabs ? tabs->currentIndex() : 0,
                                m_workspace->Value(lw52::kParamVoiceChangeOn),
                                m_workspace->Value(lw52::kParamReverbOn));
        return true;
    }
    if (g >= 1 && g <= 3 && k >= FirstUserSlot(g) && k <= FirstUserSlot(g) + 4)
        ShowTipAtButton(id, QObject::tr("您尚未保存预设！"), 2000);
    return false;
}

void CEventHandlerEffect::ClearPresetMarks() {
    m_presetMarked = false;
    for (const auto& group : m_presetButtons)
        for (QAbstractButton* b : group) b->setChecked(false);
}

void CEventHandlerEffect::RestoreGroup(int id) {
    const int g = id % 13000;
    if (g < 1 || g > 3) return;
    const auto& buttons = m_presetButtons[static_cast<size_t>(g)];
    for (size_t p = 0; p < buttons.size(); ++p) {
        if (buttons[p]->isChecked()) {
            m_workspace->ApplyPreset(g, static_cast<int>(p) + 1);
            return;
        }
    }
    int effect = 0;
    for (int i = 0; i < kEffectButtons; ++i)
        if (QAbstractButton* b = EffectButton(i); b && b->isChecked()) {
            effect = i;
            break;
        }
    m_workspace->ApplyGroupFromEffect(g, effect);
}

void CEventHandlerEffect::RefreshPresetButtons() {
    for (int g = 1; g <= 3; ++g) {
        const auto& list = m_workspace->PresetList(g);
        for (int s = 0; s < 4; ++s) {
            const size_t entry = static_cast<size_t>(FirstUserSlot(g) + s);
            const size_t position = static_cast<size_t>(FirstUserSlot(g) - 1 + s);
            const auto& buttons = m_presetButtons[static_cast<size_t>(g)];
            if (entry >= list.size() || position >= buttons.size() || list[entry].count <= 0)
                continue;
            const QString name = DisplayName(QString::fromStdString(lw52::PresetName(list[entry])));
            buttons[position]->setToolTip(name);
            buttons[position]->setText(FitName(name, 5));
        }
    }
}

void CEventHandlerEffect::SaveEffect() {
    CDlgSaveEffect dialog(*m_workspace, m_host->Window());
    if (dialog.exec() != 1) return;
    RefreshEffectButtons();
    ShowTipAtButton(kSaveEffectButton, QObject::tr("保存音效成功！"), 2000);
}

void CEventHandlerEffect::SavePreset(int id) {
    const int g = id % 12000;
    if (g < 1 || g > 3) return;
    CDlgSavePreset dialog(*m_workspace, g, m_host->Window());
    if (dialog.exec() != 1) return;
    ShowTipAtButton(id, QObject::tr("保存成功！"), 2000);
    RefreshPresetButtons();
}
