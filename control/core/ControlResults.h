#pragma once

#include <json/json.h>

#include <string>
#include <utility>
#include <vector>

#include "DeviceInfo.h"
#include "UiEvents.h"

class CWorkSpace;

// What an operation answers, built in one place for the panel's control interface and for
// lw52ctl's direct path: a script sees the same JSON whichever way its command went.
namespace control {

// The running panel's control socket: "$XDG_RUNTIME_DIR/lw52panel.control", else a name with
// the user id in /tmp.
std::string SocketPath();

Json::Value InfoResult(const std::string& path, const lw52::DeviceInfo& info, int packetSize);
// The device information again from an info result (lw52ctl's text output).
lw52::DeviceInfo InfoFromResult(const Json::Value& result);
// source: "card", or "stored" when no card is attached.
Json::Value StateResult(const CWorkSpace& ws, const char* source);
Json::Value SetResult(const std::vector<std::pair<int, int>>& changes);
Json::Value EffectResult(const CWorkSpace& ws);

// Events of a watcher, as {"event": NAME, "data": {...}} lines carry them.
Json::Value ConnectedData(const std::string& path);
Json::Value DisconnectedData(const std::string& reason);
// Levels and card-side changes from a frame the card sent by itself; empty for other frames.
// Names: "levels" and "change".
std::vector<std::pair<std::string, Json::Value>> CardFrameEvents(const FrameBytes& frame,
                                                                 int packetSize);

}  // namespace control
