// Effect hotkeys: read at start, set and deleted from the button menu, and a press choosing
// its effect like a click while the card is connected.
#include <QAbstractButton>
#include <QTimer>

#include "EventHandlerEffect.h"
#include "HotkeyConfig.h"
#include "InputHotkeyDialog.h"
#include "TextUtil.h"
#include "WorkSpace.h"

QString HotkeyTextOf(int value) {
    return QString::fromStdU16String(HotkeyConfig::HotkeyText(static_cast<uint32_t>(value)));
}

void CEventHandlerEffect::LoadEffectHotkeys() {
    HotkeyConfig& hotkeys = m_host->Hotkeys();
    hotkeys.LoadEffectHotkeys(m_workspace->SettingsPath());
    for (int id = kFirstEffectButton; id < kFirstEffectButton + kEffectButtons; ++id) {
        const int value = static_cast<int>(hotkeys.GetEffectHotkey(id));
        QAbstractButton* button = EffectButton(id - kFirstEffectButton);
        if (!button || value == 0) continue;
        QString text = button->toolTip().isEmpty() ? button->text() : button->toolTip();
        const int paren = text.lastIndexOf('(');
        if (paren > 0) text = text.left(paren);
        LabelButton(id, text, value);
    }
}

void CEventHandlerEffect::SetEffectHotkey(int value, int id) {
    HotkeyConfig& hotkeys = m_host->Hotkeys();
    const bool enabled = hotkeys.HotkeysEnabled();
    if (enabled) hotkeys.UnregisterHotkeys();
    hotkeys.SetEffectHotkey(static_cast<uint32_t>(value), id, m_workspace->SettingsPath());
    if (enabled) hotkeys.RegisterHotkeys();
    QAbstractButton* button = EffectButton(id - kFirstEffectButton);
    if (!button) return;
    QString text = button->toolTip().isEmpty() ? button->text() : button->toolTip();
    const int paren = text.lastIndexOf('(');
    if (paren > 0) text = text.left(paren);
    LabelButton(id, text, value);
}

void CEventHandlerEffect::EditEffectHotkey() {
    HotkeyConfig& hotkeys = m_host->Hotkeys();
    const int id = m_menuButtonId;
    const int current = HotkeyValue(id);
    // While the dialog is open no combination is grabbed: a key in use must reach the
    // dialog (and its refusal), not switch the card's effect behind it.
    const bool enabled = hotkeys.HotkeysEnabled();
    if (enabled) hotkeys.UnregisterHotkeys();
    SInputHotKeyDlg dialog(SInputHotKeyDlg::kLayoutName, static_cast<uint32_t>(current), QString(),
                           m_host->Window());
    dialog.SetHotkeyId(id);
    if (onHotkeyDialogOpen)
        QTimer::singleShot(0, &dialog, [this, &dialog] { onHotkeyDialogOpen(dialog); });
    if (dialog.exec() == 1 && static_cast<int>(dialog.Hotkey()) != current) {
        if (hotkeys.IsHotkeyUsed(dialog.Hotkey()))
            ShowTipAtButton(id, QObject::tr("此热键已经被占用，设置热键失败！"), 2000);
        else
            SetEffectHotkey(static_cast<int>(dialog.Hotkey()), id);
    }
    if (enabled) hotkeys.RegisterHotkeys();
}

void CEventHandlerEffect::OnEffectHotkey(int id) {
    if (id < kFirstEffectButton || id >= kFirstEffectButton + kEffectButtons) return;
    if (!m_host->Hotkeys().HotkeysEnabled() || !m_workspace->IsConnected()) return;
    SelectEffect(id);
}
