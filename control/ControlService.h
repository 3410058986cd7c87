#pragma once

#include <json/json.h>

#include <functional>
#include <string>
#include <vector>

#include "ControlRequest.h"

// The one implementation behind the control interface's front doors (the local socket and
// the session bus): the panel executes requests, the front doors carry them and their events.
// UI thread only.
namespace control {

// How an operation reports back. progress may be called any number of times before done;
// done exactly once, during Execute or later.
struct Reply {
    std::function<void(const Json::Value& data)> progress;
    std::function<void(bool ok, const Json::Value& result, const std::string& error)> done;
};

class IControlTarget {
  public:
    virtual ~IControlTarget() = default;
    // Every operation but subscribe.
    virtual void Execute(const Request& request, Reply reply) = 0;
    // What a new watcher is told first: {"connected": bool, "path": text}.
    virtual Json::Value WatchState() = 0;
};

// A front door that passes events on to its watchers.
class IEventListener {
  public:
    virtual ~IEventListener() = default;
    // name: "connected", "disconnected", "change" or "levels".
    virtual void OnControlEvent(const std::string& name, const Json::Value& data) = 0;
};

class CControlService {
  public:
    explicit CControlService(IControlTarget& target) : m_target(target) {}

    IControlTarget& Target() { return m_target; }
    void AddListener(IEventListener* listener) { m_listeners.push_back(listener); }
    void RemoveListener(IEventListener* listener);
    // From the panel: an event for every watcher of every front door.
    void Broadcast(const std::string& name, const Json::Value& data);

  private:
    IControlTarget& m_target;
    std::vector<IEventListener*> m_listeners;
};

}  // namespace control
