#pragma once

#include <QString>

#include "ControlEvents.h"

class CWindowTimers;
class CWorkSpace;
class HotkeyConfig;
class INotifyCenter;
class QWidget;

// What a page of the main window is given: the window it lives in and the program's services
// behind it. The main window provides it; a page never reaches the application itself.
class IPageHost {
  public:
    virtual ~IPageHost() = default;

    // The window: the parent of the page's menus and dialogs, the frame its tips are placed in
    // and the sender of the events it fires.
    virtual QWidget* Window() = 0;
    // The loaded layout the page finds its controls in.
    virtual QWidget* Content() const = 0;
    virtual CWindowTimers& Timers() = 0;
    // Offers a message to the pages in routing order, then to the window.
    virtual void DispatchWindowMessage(const WindowMessage& message) = 0;

    // The program's services; they outlive the window and its pages.
    virtual CWorkSpace* Workspace() = 0;  // null while the program has none
    virtual INotifyCenter& NotifyCenter() = 0;
    virtual HotkeyConfig& Hotkeys() = 0;
    virtual QString ExeDir() const = 0;
    virtual QString UserDir() const = 0;
    virtual QString EffectListPath() const = 0;  // the effect library file in use

    // While on, the system is asked to wait before it sleeps or shuts down (a delay lock),
    // so a recording can be finished first. Hosts without such a service ignore it.
    virtual void HoldSleepAndShutdown(bool /*on*/) {}
    // Lets the card go as at a shutdown: the device leaves the device manager and the
    // workspace forgets it. Hosts without a device do nothing.
    virtual void DetachDevice() {}
};

// A page of the main window: offered every control event and window message first; true
// when it took it.
class IPageHandler {
  public:
    virtual ~IPageHandler() = default;
    virtual void Init(IPageHost* host) = 0;
    virtual bool OnControlEvent(const ControlEvent& event) = 0;
    virtual bool OnWindowMessage(const WindowMessage& message) = 0;
};
