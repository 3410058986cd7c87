#pragma once

#include <cstdint>

// System-wide hotkeys of the program's main window. Register grabs the key combination under
// the id (replacing that id's earlier combination); a press is delivered with the id on the UI
// thread by the implementation. Modifiers are the hotkey bits (1 Alt, 2 Ctrl, 4 Shift), the
// key a Windows virtual-key code; a combination with any other modifier bit is refused, never
// registered without it. Unregistering an id that holds nothing does nothing.
class IGlobalHotkeys {
  public:
    virtual ~IGlobalHotkeys() = default;
    virtual bool Register(int id, uint32_t modifiers, uint32_t vkey) = 0;
    virtual void Unregister(int id) = 0;
};
