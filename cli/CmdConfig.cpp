// config dump: every record of the settings file, decoded.
#include <sys/stat.h>

#include "AppPaths.h"
#include "Commands.h"
#include "IniFile.h"
#include "Json.h"
#include "Settings.h"

namespace {

template <typename Record>
Json::Value Blob(const CIniFile& ini, const std::string& section, const std::string& key,
                 Json::Value (*decode)(const Record&)) {
    Record record;
    if (!ini.GetStruct(section, key, &record, sizeof record)) return Json::Value();  // null
    return decode(record);
}

Json::Value Keys(const CIniFile& ini, const std::string& section) {
    Json::Value out(Json::objectValue);
    for (const std::string& key : ini.KeyNames(section)) out[key] = ini.GetString(section, key, "");
    return out;
}

}  // namespace

int CmdConfig(const CliContext& ctx) {
    if (ctx.args.size() != 1 || ctx.args[0] != "dump") return UsageError("usage: config dump");
    const std::string path = app_paths::SettingsPath();
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return Fail("no settings file at " + path);
    const CIniFile ini(path);

    Json::Value out;
    out["path"] = path;
    CSettings settings;
    settings.Load(path);
    out["Settings"]["CloseBtnOperation"] = settings.GetInt(CSettings::kCloseBtnOperation);
    out["Settings"]["MainWinTopmost"] = settings.GetInt(CSettings::kMainWinTopmost);
    out["LastStatus"]["CurrentEffect"] =
        Blob<lw52::EffectRecord>(ini, "LastStatus", "CurrentEffect", EffectRecordJson);
    for (int s = 0; s < 3; ++s)
        out["DeviceCustomEffect"][std::to_string(s)] = Blob<lw52::EffectRecord>(
            ini, "DeviceCustomEffect", std::to_string(s), EffectRecordJson);
    for (int i = 0; i < 12; ++i)
        out["MyCustomEffect"][std::to_string(i)] =
            Blob<lw52::EffectRecord>(ini, "MyCustomEffect", std::to_string(i), EffectRecordJson);
    for (int g = 1; g <= 3; ++g)
        for (int s = 0; s < 4; ++s) {
            const std::string key = std::to_string(g) + "_" + std::to_string(s);
            out["CustomPreset"][key] =
                Blob<lw52::PresetRecord>(ini, "CustomPreset", key, PresetRecordJson);
        }
    const int count = ini.GetInt("DownloadEffect", "count", 0);
    out["DownloadEffect"]["count"] = count;
    Json::Value downloads(Json::arrayValue);
    for (int k = 0; k < count && k < 10000; ++k)
        downloads.append(Blob<lw52::CloudEffectRecord>(ini, "DownloadEffect", std::to_string(k),
                                                       CloudEffectRecordJson));
    out["DownloadEffect"]["records"] = downloads;
    for (const char* section : {"Time", "nCurSelTabIndex", "HotKey"})
        out[section] = Keys(ini, section);
    PrintJson(out);
    return kExitOk;
}
