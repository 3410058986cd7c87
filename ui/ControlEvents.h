#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

// What a named or numbered control reports: clicks (command events), position changes of
// knobs and sliders, tab switches. Routed by the main window to its pages, then to itself.
enum ControlEventCode : int {
    kEventCommand = 10000,     // a click; value = checked state of a checkable button
    kEventTabChanged = 10011,  // value = the new page
    kEventSliderPos = 17000,   // "on_slider_pos": value = the new position (user changes only)
};

struct ControlEvent {
    QWidget* control = nullptr;
    QString name;
    int id = 0;
    int code = 0;
    int value = 0;
};

// Window messages offered to the pages before the window: timers, private messages, menu
// commands, the window's destruction, and the system's power and session changes.
struct WindowMessage {
    enum Kind {
        kTimer,
        kPrivate,
        kCommand,
        kDestroy,
        kHotkey,
        kPower,            // message: kPowerSuspend or kPowerResume
        kQueryEndSession,  // the system asks whether it may log off or shut down
        kEndSession,       // wParam: 1 the session ends, 0 the shutdown was cancelled
    } kind;
    uint32_t message = 0;  // timer id, private message number, command id, hotkey id, power event
    uint64_t wParam = 0;
    int64_t lParam = 0;
};
constexpr uint32_t kPowerSuspend = 4;    // the system is about to sleep
constexpr uint32_t kPowerResume = 0x12;  // it woke up (the automatic resume event)

using ControlEventDispatch = std::function<void(const ControlEvent&)>;

// Connects every control under root that has an objectName or an id to dispatch. Controls
// created later (pads, tree items) are connected by their pages with ConnectControl.
void ConnectControlEvents(QWidget* root, const ControlEventDispatch& dispatch);
void ConnectControl(QWidget* control, const ControlEventDispatch& dispatch);
