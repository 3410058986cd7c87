#include "EventHandlerSound.h"

// The page's own controls and messages come with the page; for now it takes none.
bool CEventHandlerSound::OnControlEvent(const ControlEvent& /*event*/) {
    return false;
}
bool CEventHandlerSound::OnWindowMessage(const WindowMessage& /*message*/) {
    return false;
}
