#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

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

    // The line under the field about how the desktop takes system-wide hotkeys: given the
    // hotkey's id, says whether the desktop confirmed it (empty: nothing to say, as on X11).
    static std::function<QString(int id)> desktopStatus;
    // Shows desktopStatus for id.
    void SetHotkeyId(int id);
    QString DesktopStatusText() const;

    uint32_t Hotkey() const { return hotkey_; }
    const QString& HotkeyText() const { return hotkeyText_; }
    CHotkeyField* Field() const { return field_; }

  private:
    QWidget* BuildContent(const QString& layoutName);
    void OnOk();

    CHotkeyField* field_ = nullptr;
    QLabel* status_ = nullptr;
    uint32_t hotkey_ = 0;
    QString hotkeyText_;
};
