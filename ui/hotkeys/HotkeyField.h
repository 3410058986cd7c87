#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class QLineEdit;

// Turns a line edit into a hotkey field: the next key pressed with its modifiers becomes the
// value ((modifiers << 16) | virtual-key code) and the field shows its text. Backspace alone
// clears it; Tab, Enter and Escape alone keep their usual meaning in the dialog (with a
// modifier they are hotkeys too). Held modifiers are shown until a key completes them. A key
// pressed with the Windows key or AltGr is refused: a hotkey holds Alt, Ctrl and Shift only,
// and dropping the others would make a bare key a system-wide hotkey.
class CHotkeyField : public QObject {
    Q_OBJECT

  public:
    explicit CHotkeyField(QLineEdit* edit);  // the edit owns the field

    uint32_t Value() const { return value_; }
    void SetValue(uint32_t value);
    // The text the field shows for a value: its hotkey text, keeping keys outside the
    // text table visible ("Ctrl+F13").
    static QString TextFor(uint32_t value);

  signals:
    void valueChanged(uint32_t value);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLineEdit* edit_;
    uint32_t value_ = 0;
};
