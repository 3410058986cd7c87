#include "EventHandlerRecord.h"

// The page's own controls and messages come with the page; for now it takes none.
bool CEventHandlerRecord::OnControlEvent(const ControlEvent& /*event*/) {
    return false;
}
bool CEventHandlerRecord::OnWindowMessage(const WindowMessage& /*message*/) {
    return false;
}
