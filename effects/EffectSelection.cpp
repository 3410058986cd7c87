// Choosing effects, showing which one is current, the custom buttons' names, and one-key
// natural voice.
#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QTabWidget>

#include "CloudEffectListTreeViewAdapter.h"
#include "Controls.h"
#include "DisplayNames.h"
#include "EventHandlerEffect.h"
#include "KxTreeViewAdapter.h"
#include "NotifyCenter.h"
#include "OverlayRules.h"
#include "ParamTable.h"
#include "WorkSpace.h"

namespace {
constexpr int kBuiltinButtons = 12;  // 0..11 built-in (9..11 the card's slots), 12..23 the user's
constexpr int kFirstNamedButton = 9;

// The record's name as stored; RecordLabel is how it is shown.
QString RecordText(const lw52::EffectRecord& record) {
    return QString::fromStdString(lw52::RecordName(record));
}
QString RecordLabel(const lw52::EffectRecord& record) {
    return DisplayName(RecordText(record));
}

// An effect button's text: the name and its hotkey, cut to what the button holds.
QString ButtonText(QString text, int hotkey) {
    if (hotkey != 0) text = QString("%1(%2)").arg(text, HotkeyTextOf(hotkey));
    return FitName(text, 7);
}

int CharWidth(QChar c) {
    return c.unicode() >= 0x2e80 ? 2 : 1;
}
}  // namespace

bool CEventHandlerEffect::SelectEffect(int id) {
    const int i = id - kFirstEffectButton;
    QAbstractButton* button = EffectButton(i);
    if (i < 0 || i >= kEffectButtons) return false;
    if (button && button->isChecked()) return true;
    if (auto* natural = FindControlAs<QAbstractButton>(m_host->Content(), "Oneclick_soundTrack"))
        natural->setChecked(false);

    const bool builtin = i < kBuiltinButtons;
    const int user = i - kBuiltinButtons;
    const lw52::EffectRecord* entry = nullptr;
    if (builtin)
        entry = &m_workspace->BuiltinEffects()[static_cast<size_t>(i)];
    else if (user < static_cast<int>(m_workspace->CustomEffects().size()))
        entry = &m_workspace->CustomEffects()[static_cast<size_t>(user)];
    const bool custom = !builtin || i >= lw52::kFirstCardSlotEffect;
    const bool fileEffect = custom && entry && entry->isFileEffect == 1;
    if (fileEffect) {
        const QString path = QString::fromStdString(lw52::RecordPath(*entry));
        if (!QFile::exists(path)) {
            ShowTipAtButton(id, QObject::tr("%1音效文件不存在").arg(RecordLabel(*entry)), 2000);
            return false;
        }
        ShowForbidOperation(true);
        m_pendingKind = 1;
        m_pendingName = RecordLabel(*entry);
    }
    const int sent = builtin ? m_workspace->ApplyEffect(i) : m_workspace->ApplyCustomEffect(user);
    if (fileEffect && !sent) {
        // The file could not be read or sent: no transfer result will lift the block.
        EndRefusedUpload();
    } else if (!builtin && !sent) {
        ShowTipAtButton(id, QObject::tr("您尚未保存该音效！"), 2000);
        return false;
    }
    RefreshSelection();
    if (m_presetMarked) ClearPresetMarks();
    return sent != 0;
}

void CEventHandlerEffect::RefreshSelection() {
    for (QAbstractButton* b : m_effectButtons)
        if (b) b->setChecked(false);
    const lw52::EffectRecord& current = m_workspace->Current();
    const int e = current.values[lw52::kParamEffect];
    int checked = -1;
    if (current.reserved1024 == 0) {
        if (current.isFileEffect != 1)
            checked =
                e <= 11 ? e : (current.slot >= 0 && current.slot <= 14 ? current.slot + 9 : -1);
        else if (e >= 148 && e <= 162)
            checked = e - 139;
    }
    if (QAbstractButton* b = EffectButton(checked)) b->setChecked(true);
    if (auto* tabs = FindControlAs<QTabWidget>(m_host->Content(), 900))
        tabs->setCurrentIndex(checked > 11 ? 1 : 0);
    m_overlays->Refresh(*m_workspace);
    if (auto* title = FindControlAs<QLabel>(m_host->Content(), "txt_eff_title"))
        title->setText(QObject::tr("当前音效：%1").arg(RecordLabel(current)));
    const QString path = QString::fromStdString(lw52::RecordPath(current));
    if (m_cloudTree) m_cloudTree->MarkCurrent(path);
    if (m_library) m_library->MarkCurrent(path);
}

void CEventHandlerEffect::RefreshEffectButtons() {
    for (int i = kFirstNamedButton; i < kEffectButtons; ++i) {
        const lw52::EffectRecord* entry =
            i < kBuiltinButtons
                ? &m_workspace->BuiltinEffects()[static_cast<size_t>(i)]
                : &m_workspace->CustomEffects()[static_cast<size_t>(i - kBuiltinButtons)];
        if (i >= kBuiltinButtons && entry->empty == 1) continue;
        const int hotkey = HotkeyValue(kFirstEffectButton + i);
        LabelButton(kFirstEffectButton + i, RecordLabel(*entry), hotkey);
        QAbstractButton* button = EffectButton(i);
        auto* title = FindControlAs<QLabel>(m_host->Content(), "txt_eff_title");
        if (!button || !button->isChecked() || !title) continue;
        const QString text = QObject::tr("当前音效：%1").arg(button->text());
        if (text.compare(title->text(), Qt::CaseInsensitive) != 0) {
            title->setText(text);
            // The current effect takes the button's text as its name, in the language names
            // are stored in.
            m_workspace->SetCurrentName(
                ButtonText(RecordText(*entry), hotkey).left(63).toStdString());
        }
    }
}

QString FitName(const QString& name, int width) {
    int used = 0;
    for (QChar c : name) used += CharWidth(c);
    if (used <= 2 * width) return name;
    qsizetype kept = 0;
    for (used = 0; kept < name.size() && used + CharWidth(name[kept]) <= 2 * (width - 1); ++kept)
        used += CharWidth(name[kept]);
    return name.left(kept) + "..";
}

void CEventHandlerEffect::LabelButton(int id, QString text, int hotkey) {
    QAbstractButton* button = EffectButton(id - kFirstEffectButton);
    if (!button) return;
    button->setToolTip(hotkey != 0 ? QString("%1(%2)").arg(text, HotkeyTextOf(hotkey)) : text);
    button->setText(ButtonText(text, hotkey));
}

void CEventHandlerEffect::ToggleNaturalVoice() {
    auto* natural = FindControlAs<QAbstractButton>(m_host->Content(), "Oneclick_soundTrack");
    if (!natural) return;
    if (natural->isChecked()) {
        m_savedEffect = m_workspace->Current();
        if (!m_workspace->BuiltinEffects().empty()) {
            m_workspace->LoadRecord(m_workspace->BuiltinEffects()[0]);
            m_workspace->RefreshControls();
            m_workspace->SendCurrentEffect();
        }
    } else {
        const bool fileEffect = m_savedEffect.isFileEffect == 1;
        if (fileEffect) {
            ShowForbidOperation(true);
            m_pendingKind = 1;
            m_pendingName = RecordLabel(m_savedEffect);
        }
        m_workspace->RestoreRecord(m_savedEffect);
        m_workspace->RefreshControls();
        if (!m_workspace->SendCurrentEffect() && fileEffect) EndRefusedUpload();
    }
    RefreshSelection();
    if (m_presetMarked) ClearPresetMarks();
    if (m_savedEffect.isFileEffect != 1)
        m_host->NotifyCenter().FireEventAsync(
            std::make_shared<EventForbidOpreateWindow>(m_host->Window()));
}
