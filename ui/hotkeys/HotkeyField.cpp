#include "HotkeyField.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "HotkeyText.h"
#include "QtVirtualKeys.h"
#include "VirtualKeys.h"

CHotkeyField::CHotkeyField(QLineEdit* edit) : QObject(edit), edit_(edit) {
    edit_->setReadOnly(true);  // keys never type into it, whatever reaches it
    edit_->setContextMenuPolicy(Qt::NoContextMenu);
    edit_->setAttribute(Qt::WA_InputMethodEnabled, false);
    edit_->installEventFilter(this);
    edit_->setText(TextFor(value_));
}

QString CHotkeyField::TextFor(uint32_t value) {
    std::u16string text = HotkeyText(value);
    const uint32_t key = hotkey::KeyCode(value);
    if (value != 0 && HotkeyKeyName(key).empty()) text += HotkeyKeyDisplayName(key);
    return QString::fromStdU16String(text);
}

void CHotkeyField::SetValue(uint32_t value) {
    edit_->setText(TextFor(value));
    if (value == value_) return;
    value_ = value;
    emit valueChanged(value_);
}

bool CHotkeyField::eventFilter(QObject* watched, QEvent* event) {
    if (watched != edit_) return false;
    const QEvent::Type type = event->type();
    if (type == QEvent::ShortcutOverride) {
        // Every combination belongs to the field, not to the window's shortcuts.
        event->accept();
        return true;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const uint32_t modifiers = qtkeys::HotkeyModifiersFor(key->modifiers());
    if (type == QEvent::KeyPress && qtkeys::HasUnstorableModifier(key->modifiers())) {
        edit_->setText(TextFor(value_));  // no half-made hotkey stays on show
        return true;
    }
    if (type == QEvent::KeyRelease) {
        const uint32_t held = modifiers & ~qtkeys::ModifierBitOfKey(key->key());
        if (held == 0) edit_->setText(TextFor(value_));
        return true;
    }
    if (const uint32_t bit = qtkeys::ModifierBitOfKey(key->key())) {
        std::u16string preview = HotkeyText(hotkey::MakeValue(modifiers | bit, 0));
        edit_->setText(QString::fromStdU16String(preview));
        return true;
    }
    const uint32_t vkey = qtkeys::VirtualKeyFor(key->key(), key->modifiers());
    if (modifiers == 0) {
        if (vkey == vk::kTab || vkey == vk::kReturn || vkey == vk::kEscape) return false;
        if (vkey == vk::kBack) {
            SetValue(0);
            return true;
        }
    }
    if (vkey != 0) SetValue(hotkey::MakeValue(modifiers, vkey));
    return true;
}
