#include "EventHandlerEffect.h"

// The page's own controls and messages come with the page; for now it takes none.
bool CEventHandlerEffect::OnControlEvent(const ControlEvent& /*event*/) {
    return false;
}
bool CEventHandlerEffect::OnWindowMessage(const WindowMessage& /*message*/) {
    return false;
}
