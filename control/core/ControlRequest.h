#pragma once

#include <json/json.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The control interface's messages: one JSON request per line,
//   {"id": ANY, "op": "set", "changes": [[36, 50]]}
// answered by one JSON line {"id": ANY, "ok": true, "result": ...} or
// {"id": ANY, "ok": false, "error": TEXT}; events are {"event": NAME, "data": ...}. The
// same requests come from the socket and from the session bus, so both are checked here.
namespace control {

enum class Op {
    kInfo,
    kState,
    kSet,
    kEffect,
    kCustom,
    kPreset,
    kSaveEffect,
    kSavePreset,
    kUploadEffect,
    kPlayPad,
    kStopPad,
    kUploadSound,
    kSubscribe,
};

struct Request {
    Json::Value id;  // echoed in the answer (null when absent)
    Op op = Op::kInfo;
    std::vector<std::pair<int, int>> changes;  // set: parameter id and raw value
    int index = 0;                             // effect, custom, preset (index), play-pad (pad id)
    int group = 0;                             // preset, save-preset
    int slot = 0;           // save-effect, save-preset, upload-effect (0 live), upload-sound
    bool cardSlot = false;  // save-effect: the card's slots 0..2 rather than the user's 0..11
    int volume = 100;       // upload-sound: the pad volume 0..100
    double master = -1;     // upload-sound: master level 0..1 (-1: the system's)
    bool levels = true;     // subscribe: level events too
    std::string name;       // save-effect, save-preset
    std::string file;       // upload-effect, upload-sound
};

// The operation's name on the wire ("save-effect").
const char* OpName(Op op);

// Reads one request line. False with error set to a text for the client; id is still filled
// when the line was a JSON object with one, so the refusal can be matched to its request.
bool ParseRequest(std::string_view line, Request& out, std::string& error);

// Answer and event lines (without the newline).
std::string AnswerLine(const Json::Value& id, const Json::Value& result);
std::string RefusalLine(const Json::Value& id, const std::string& error);
std::string EventLine(const std::string& name, const Json::Value& data);

}  // namespace control
