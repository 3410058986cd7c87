#include "ControlResults.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "FrameDefs.h"
#include "ParamDisplay.h"
#include "ParamFrames.h"
#include "ParamTable.h"
#include "Records.h"
#include "WorkSpace.h"

namespace control {

std::string SocketPath() {
    if (const char* run = getenv("XDG_RUNTIME_DIR"); run && *run)
        return std::string(run) + "/lw52panel.control";
    return "/tmp/lw52panel.control-" + std::to_string(getuid());
}

Json::Value InfoResult(const std::string& path, const lw52::DeviceInfo& info, int packetSize) {
    Json::Value out(Json::objectValue);
    out["path"] = path;
    out["product"] = lw52::kProductName;
    out["hardwareVersion"] = lw52::FormatVersion(info.hardwareVersion);
    out["firmwareVersion"] = lw52::FormatVersion(info.firmwareVersion);
    out["deviceType"] = info.deviceType;
    out["deviceTypeText"] = lw52::DeviceTypeName(info.deviceType);
    out["packetSize"] = packetSize;
    return out;
}

namespace {
// "V1.2" back to 12, as the card reports it.
uint8_t VersionValue(const std::string& text) {
    int major = 0, minor = 0;
    if (sscanf(text.c_str(), "V%d.%d", &major, &minor) != 2) return 0;
    return static_cast<uint8_t>(major * 10 + minor);
}
}  // namespace

lw52::DeviceInfo InfoFromResult(const Json::Value& result) {
    lw52::DeviceInfo info;
    info.hardwareVersion = VersionValue(result["hardwareVersion"].asString());
    info.firmwareVersion = VersionValue(result["firmwareVersion"].asString());
    info.deviceType = static_cast<uint8_t>(result["deviceType"].asInt());
    return info;
}

Json::Value StateResult(const CWorkSpace& ws, const char* source) {
    const lw52::EffectRecord& current = ws.Current();
    Json::Value out(Json::objectValue);
    out["source"] = source;
    out["effect"] = current.values[lw52::kParamEffect];
    out["effectName"] = lw52::RecordName(current);
    out["isFileEffect"] = current.isFileEffect;
    if (current.isFileEffect) out["path"] = lw52::RecordPath(current);
    Json::Value params(Json::arrayValue);
    for (const lw52::ParamInfo& p : lw52::ParamTable()) {
        Json::Value row;
        row["id"] = p.id;
        row["name"] = p.name;
        row["raw"] = current.values[p.id];
        row["text"] = lw52::DisplayText(p.id, current.values[p.id]);
        params.append(row);
    }
    out["params"] = params;
    return out;
}

Json::Value SetResult(const std::vector<std::pair<int, int>>& changes) {
    Json::Value out(Json::arrayValue);
    for (const auto& [id, raw] : changes) {
        Json::Value row;
        row["id"] = id;
        row["raw"] = raw;
        row["text"] = lw52::DisplayText(id, raw);
        out.append(row);
    }
    return out;
}

Json::Value EffectResult(const CWorkSpace& ws) {
    Json::Value out(Json::objectValue);
    out["effect"] = ws.Value(lw52::kParamEffect);
    out["effectName"] = lw52::RecordName(ws.Current());
    return out;
}

Json::Value ConnectedData(const std::string& path) {
    Json::Value out(Json::objectValue);
    out["path"] = path;
    return out;
}

Json::Value DisconnectedData(const std::string& reason) {
    Json::Value out(Json::objectValue);
    if (!reason.empty()) out["reason"] = reason;
    return out;
}

std::vector<std::pair<std::string, Json::Value>> CardFrameEvents(const FrameBytes& f,
                                                                 int packetSize) {
    std::vector<std::pair<std::string, Json::Value>> events;
    if (f[0] == lw52::MSG_LEVELS) {
        Json::Value j(Json::objectValue);
        j["mic"] = f[4] * 10;
        j["accompaniment"] = f[5] * 10;
        events.emplace_back("levels", j);
    } else if (f[0] == lw52::MSG_DEVICE_CHANGE) {
        const int count = std::min<int>(f[4], (packetSize - 6) / 3);
        for (int i = 0; i < count; ++i) {
            const auto [id, value] = lw52::DecodeEntry(&f[static_cast<size_t>(5 + 3 * i)]);
            if (id >= lw52::kParamCount) break;
            Json::Value j(Json::objectValue);
            j["id"] = id;
            j["name"] = lw52::Param(id).name;
            j["raw"] = value;
            j["text"] = lw52::DisplayText(id, value);
            events.emplace_back("change", j);
        }
    }
    return events;
}

}  // namespace control
