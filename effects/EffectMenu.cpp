// The effect buttons' right-click menu: hotkeys, restoring a card slot, loading an effect
// into one of the card's custom slots.
#include <QAbstractButton>
#include <QMenu>

#include "Controls.h"
#include "EventHandlerEffect.h"
#include "IniFile.h"
#include "ParamTable.h"
#include "WorkSpace.h"

namespace {
enum MenuItem { kSetHotkey = 99, kDeleteHotkey = 100, kRestoreDefault = 101, kSaveToCard = 102 };
constexpr int kCardSlotItem = 200;  // 200..202: the card's custom slots 1..3
}  // namespace

int CEventHandlerEffect::HotkeyValue(int id) const {
    return CIniFile(m_workspace->SettingsPath()).GetInt("HotKey", std::to_string(id), 0);
}

std::vector<int> CEventHandlerEffect::EffectMenuItems(int buttonId) const {
    const int i = buttonId - kFirstEffectButton;
    if (i < 0 || i >= kEffectButtons) return {};
    const bool hasHotkey = HotkeyValue(buttonId) != 0;
    std::vector<int> items = {kSetHotkey};
    if (hasHotkey) items.push_back(kDeleteHotkey);
    if (i <= 8) return items;  // built-in effects: no "save to card"
    if (i <= 11) {
        // The restore item lands at position 2, behind the submenu when there is no hotkey.
        items.insert(items.begin() + (hasHotkey ? 2 : 1), kSaveToCard);
        items.insert(items.begin() + 2, kRestoreDefault);
        return items;
    }
    const auto& custom = m_workspace->CustomEffects();
    const size_t user = static_cast<size_t>(i - 12);
    if (user >= custom.size() || custom[user].empty == 1) return {};  // no menu at all
    items.push_back(kSaveToCard);
    return items;
}

void CEventHandlerEffect::OpenEffectMenu(int buttonId, const QPoint& globalPos) {
    m_menuButtonId = buttonId;
    const std::vector<int> items = EffectMenuItems(buttonId);
    if (items.empty()) return;
    QMenu menu(m_host->Window());
    for (int item : items) {
        switch (item) {
            case kSetHotkey:
                menu.addAction(QObject::tr("设置热键"))->setData(kSetHotkey);
                break;
            case kDeleteHotkey:
                menu.addAction(QObject::tr("删除热键"))->setData(kDeleteHotkey);
                break;
            case kRestoreDefault:
                menu.addAction(QObject::tr("恢复默认"))->setData(kRestoreDefault);
                break;
            case kSaveToCard: {
                QMenu* sub = menu.addMenu(QObject::tr("保存到设备"));
                const char* names[] = {QT_TRANSLATE_NOOP("QObject", "自定义Ⅰ"),
                                       QT_TRANSLATE_NOOP("QObject", "自定义Ⅱ"),
                                       QT_TRANSLATE_NOOP("QObject", "自定义Ⅲ")};
                for (int s = 0; s < 3; ++s)
                    sub->addAction(QObject::tr(names[s]))->setData(kCardSlotItem + s);
                break;
            }
        }
    }
    QAction* chosen = menu.exec(globalPos);
    if (chosen) m_host->DispatchWindowMessage({WindowMessage::kCommand, chosen->data().toUInt()});
}

void CEventHandlerEffect::OnMenuCommand(int id) {
    switch (id) {
        case kSetHotkey:
            EditEffectHotkey();
            break;
        case kDeleteHotkey:
            SetEffectHotkey(0, m_menuButtonId);
            break;
        case kRestoreDefault: {
            const int index = m_menuButtonId - kFirstEffectButton;
            m_workspace->ResetDeviceSlot(index);
            QAbstractButton* button = EffectButton(index);
            if (button && button->isChecked()) {
                m_workspace->ApplyEffect(index);
                RefreshSelection();
                if (m_presetMarked) ClearPresetMarks();
            }
            RefreshEffectButtons();
            m_menuButtonId = -1;
            break;
        }
        case kCardSlotItem:
        case kCardSlotItem + 1:
        case kCardSlotItem + 2:
            SaveToCardSlot(id - kCardSlotItem + 1);
            break;
        default:
            break;
    }
}

void CEventHandlerEffect::SaveToCardSlot(int slot) {
    if (!m_workspace->IsConnected()) return;
    const int id = m_menuButtonId;
    const int i = id - kFirstEffectButton;
    const lw52::EffectRecord* entry = nullptr;
    if (i >= 9 && i <= 11) entry = &m_workspace->BuiltinEffects()[static_cast<size_t>(i)];
    if (i >= 12 && i - 12 < static_cast<int>(m_workspace->CustomEffects().size()))
        entry = &m_workspace->CustomEffects()[static_cast<size_t>(i - 12)];
    if (!entry) return;
    int result;
    if (entry->isFileEffect == 1) {
        result = m_workspace->UploadEffectFile(lw52::RecordPath(*entry), slot);
    } else {
        lw52::EffectRecord copy = *entry;
        if (copy.values[lw52::kParamEffect] < 64) copy.values[lw52::kParamEffect] |= 0x40;
        result = m_workspace->SendRecord(copy, slot);
    }
    ShowTipAtButton(id, result ? QObject::tr("下载音效成功！") : QObject::tr("下载音效失败！"),
                    2000);
    m_menuButtonId = -1;
}
