#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

class CHotkeyField;
class QLabel;

// The hotkey dialog lent to the pad page and the effects page: a small tool window with a
// title, the hotkey field and OK / Cancel / close. exec() gives 1 for OK; Hotkey() is then
// the chosen value ((modifiers << 16) | virtual-key code), HotkeyText() its text.
class SInputHotKeyDlg : public QDialog {
    Q_OBJECT

  public:
    static constexpr const char* kLayoutName = "LAYOUT:XML_HOTKEYDLG";
    static constexpr int kCommandOk = 1;
    static constexpr int kCommandCancel = 2;

    // An empty title keeps the layout's ("请输入热键").
    SInputHotKeyDlg(const QString& layoutName, uint32_t currentHotkey, const QString& title,
                    QWidget* parent = nullptr);

    uint32_t Hotkey() const { return hotkey_; }
    const QString& HotkeyText() const { return hotkeyText_; }
    CHotkeyField* Field() const { return field_; }

  private:
    QWidget* BuildContent(const QString& layoutName);
    void OnOk();

    CHotkeyField* field_ = nullptr;
    uint32_t hotkey_ = 0;
    QString hotkeyText_;
};
