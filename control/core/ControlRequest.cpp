#include "ControlRequest.h"

#include <exception>
#include <memory>

#include "ParamTable.h"

namespace control {

namespace {

constexpr struct {
    Op op;
    const char* name;
} kOps[] = {
    {Op::kInfo, "info"},
    {Op::kState, "state"},
    {Op::kSet, "set"},
    {Op::kEffect, "effect"},
    {Op::kCustom, "custom"},
    {Op::kPreset, "preset"},
    {Op::kSaveEffect, "save-effect"},
    {Op::kSavePreset, "save-preset"},
    {Op::kUploadEffect, "upload-effect"},
    {Op::kPlayPad, "play-pad"},
    {Op::kStopPad, "stop-pad"},
    {Op::kUploadSound, "upload-sound"},
    {Op::kSubscribe, "subscribe"},
};

// Longest name taken; the records keep the first 32 UTF-16 units of it, as for lw52ctl.
constexpr size_t kMaxNameBytes = 1024;
constexpr const char* kBuiltinPrefix = "builtin:";

std::string Line(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

// member of request as an int in lo..hi; false with error naming the member and its range.
bool Int(const Json::Value& request, const char* member, int lo, int hi, int& out,
         std::string& error) {
    const Json::Value& v = request[member];
    if (!v.isInt() || v.asInt() < lo || v.asInt() > hi) {
        error = std::string("\"") + member + "\" must be a whole number " + std::to_string(lo) +
                ".." + std::to_string(hi);
        return false;
    }
    out = v.asInt();
    return true;
}

bool Text(const Json::Value& request, const char* member, size_t maxBytes, std::string& out,
          std::string& error) {
    const Json::Value& v = request[member];
    if (!v.isString() || v.asString().empty() || v.asString().size() > maxBytes) {
        error = std::string("\"") + member + "\" must be a text of 1.." + std::to_string(maxBytes) +
                " bytes";
        return false;
    }
    out = v.asString();
    return true;
}

// A file the panel opens: an absolute path (the panel's working folder is its own), or for
// clips a built-in clip's name when allowBuiltin.
bool File(const Json::Value& request, bool allowBuiltin, std::string& out, std::string& error) {
    if (!Text(request, "file", 4096, out, error)) return false;
    if (out[0] == '/' || (allowBuiltin && out.rfind(kBuiltinPrefix, 0) == 0)) return true;
    error = allowBuiltin ? "\"file\" must be an absolute path or builtin:NAME"
                         : "\"file\" must be an absolute path";
    return false;
}

bool ReadChanges(const Json::Value& request, Request& out, std::string& error) {
    const Json::Value& changes = request["changes"];
    if (!changes.isArray() || changes.empty() || changes.size() > lw52::kParamCount) {
        error = "\"changes\" must be a list of 1..44 [id, raw] pairs";
        return false;
    }
    for (const Json::Value& pair : changes) {
        if (!pair.isArray() || pair.size() != 2 || !pair[0].isInt() || !pair[1].isInt() ||
            pair[0].asInt() < 0 || pair[0].asInt() >= lw52::kParamCount) {
            error = "each change is [id, raw] with id 0..43";
            return false;
        }
        const int id = pair[0].asInt();
        const lw52::ParamInfo& p = lw52::Param(id);
        if (pair[1].asInt() < p.min || pair[1].asInt() > p.max) {
            error = "parameter " + std::to_string(id) + " takes " + std::to_string(p.min) + ".." +
                    std::to_string(p.max);
            return false;
        }
        out.changes.emplace_back(id, pair[1].asInt());
    }
    return true;
}

bool ReadArguments(const Json::Value& r, Request& out, std::string& error) {
    switch (out.op) {
        case Op::kInfo:
        case Op::kState:
        case Op::kStopPad:
            return true;
        case Op::kSubscribe:
            if (r.isMember("levels") && !r["levels"].isBool()) {
                error = "\"levels\" must be true or false";
                return false;
            }
            out.levels = r.get("levels", true).asBool();
            return true;
        case Op::kSet:
            return ReadChanges(r, out, error);
        case Op::kEffect:
        case Op::kCustom:
            return Int(r, "index", 0, 11, out.index, error);
        case Op::kPreset:
            return Int(r, "group", 0, 3, out.group, error) &&
                   Int(r, "index", 0, 99, out.index, error);
        case Op::kSaveEffect: {
            const std::string target = r["target"].isString() ? r["target"].asString() : "";
            if (target != "card" && target != "user") {
                error = "\"target\" must be \"card\" or \"user\"";
                return false;
            }
            out.cardSlot = target == "card";
            return Int(r, "slot", 0, out.cardSlot ? 2 : 11, out.slot, error) &&
                   Text(r, "name", kMaxNameBytes, out.name, error);
        }
        case Op::kSavePreset:
            return Int(r, "group", 1, 3, out.group, error) &&
                   Int(r, "slot", 0, 3, out.slot, error) &&
                   Text(r, "name", kMaxNameBytes, out.name, error);
        case Op::kUploadEffect:
            out.slot = 0;
            return File(r, false, out.file, error) &&
                   (!r.isMember("slot") || Int(r, "slot", 0, 3, out.slot, error));
        case Op::kPlayPad:
            return Int(r, "pad", 0, 0x7FFFFFFF, out.index, error);
        case Op::kUploadSound:
            if (r.isMember("master")) {
                const Json::Value& m = r["master"];
                if (!m.isNumeric() || m.asDouble() < 0 || m.asDouble() > 1) {
                    error = "\"master\" must be a level 0.0..1.0";
                    return false;
                }
                out.master = m.asDouble();
            }
            return File(r, true, out.file, error) && Int(r, "slot", 1, 3, out.slot, error) &&
                   (!r.isMember("volume") || Int(r, "volume", 0, 100, out.volume, error));
    }
    return false;
}

}  // namespace

const char* OpName(Op op) {
    for (const auto& entry : kOps)
        if (entry.op == op) return entry.name;
    return "?";
}

bool ParseRequest(std::string_view line, Request& out, std::string& error) {
    out = Request();
    Json::CharReaderBuilder builder;
    builder["failIfExtra"] = true;
    builder["stackLimit"] = 64;  // requests are flat; deep nesting is refused, not recursed
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value request;
    try {
        if (!reader->parse(line.data(), line.data() + line.size(), &request, nullptr)) {
            error = "not JSON: one object per line is expected";
            return false;
        }
    } catch (const std::exception&) {
        error = "not JSON: nested too deeply";
        return false;
    }
    if (!request.isObject()) {
        error = "a request is a JSON object";
        return false;
    }
    out.id = request.get("id", Json::Value());
    const Json::Value& op = request["op"];
    if (!op.isString()) {
        error = "\"op\" is missing";
        return false;
    }
    bool known = false;
    for (const auto& entry : kOps)
        if (op.asString() == entry.name) {
            out.op = entry.op;
            known = true;
        }
    if (!known) {
        error = "unknown operation \"" + op.asString() + "\"";
        return false;
    }
    return ReadArguments(request, out, error);
}

std::string AnswerLine(const Json::Value& id, const Json::Value& result) {
    Json::Value answer(Json::objectValue);
    answer["id"] = id;
    answer["ok"] = true;
    answer["result"] = result;
    return Line(answer);
}

std::string RefusalLine(const Json::Value& id, const std::string& error) {
    Json::Value answer(Json::objectValue);
    answer["id"] = id;
    answer["ok"] = false;
    answer["error"] = error;
    return Line(answer);
}

std::string EventLine(const std::string& name, const Json::Value& data) {
    Json::Value event(Json::objectValue);
    event["event"] = name;
    event["data"] = data;
    return Line(event);
}

}  // namespace control
