#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "IGlobalHotkeys.h"

// System-wide hotkeys on X11: each combination is a passive key grab on the root windows of
// Qt's own xcb connection, taken also with Caps Lock, Num Lock (and Scroll Lock where it is a
// modifier) held so their states do not matter. Keypad digits are the exception: they are
// grabbed only with Num Lock on, as with it off the same keys are End, Down, Page Down...
// Presses arrive through the application's native event filter and are compared on Shift,
// Ctrl and Alt only (never on the layout group or the locks), so hotkeyPressed is emitted on
// the UI thread. Where Qt does not run on xcb (offscreen, Wayland without X11) nothing can be
// grabbed: Available() is false and Register fails with a reason.
class X11GlobalHotkeys : public QObject, public IGlobalHotkeys, public QAbstractNativeEventFilter {
    Q_OBJECT

  public:
    explicit X11GlobalHotkeys(QObject* parent = nullptr);
    ~X11GlobalHotkeys() override;

    bool Available() const;
    // Why the platform offers no hotkeys, or why the last Register failed.
    const std::string& LastError() const { return lastError_; }

    // Fails for modifier bits other than Alt, Ctrl and Shift (never dropped), for a key without
    // an X equivalent, for a combination another id holds, and when another program holds the
    // grab (BadAccess, traced).
    bool Register(int id, uint32_t modifiers, uint32_t vkey) override;
    void Unregister(int id) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // The X keysym of a Windows virtual-key code; 0 when there is none.
    static uint32_t KeysymForVirtualKey(uint32_t vkey);

  signals:
    void hotkeyPressed(int id);

  private:
    struct Grab {
        std::vector<uint8_t> keycodes;
        uint16_t mask = 0;          // Shift, Control, Mod1
        bool needsNumLock = false;  // a keypad digit
    };
    struct Xcb;

    // The lock bits each grab is repeated with.
    std::vector<uint16_t> LockStates(bool needsNumLock) const;
    void Ungrab(const Grab& grab);
    bool Fail(std::string reason);

    std::unique_ptr<Xcb> xcb_;
    std::map<int, Grab> grabs_;
    std::string lastError_;
};
