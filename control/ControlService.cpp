#include "ControlService.h"

#include <algorithm>

namespace control {

void CControlService::RemoveListener(IEventListener* listener) {
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener),
                      m_listeners.end());
}

void CControlService::Broadcast(const std::string& name, const Json::Value& data) {
    // A listener may drop its own watchers while it is told, never another listener.
    const std::vector<IEventListener*> listeners = m_listeners;
    for (IEventListener* listener : listeners) listener->OnControlEvent(name, data);
}

}  // namespace control
