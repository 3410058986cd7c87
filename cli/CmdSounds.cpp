// The sound pads from the command line: the pads the panel shows (same ids), adding local
// clips and favourites, and the cloud's sound categories.
#include <json/json.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "AppPaths.h"
#include "CloudSoundFileDownloader.h"
#include "CloudSoundListDownloader.h"
#include "Commands.h"
#include "HotkeyConfig.h"
#include "Json.h"
#include "SoundPads.h"
#include "TextUtil.h"

namespace {

const char* KindName(int32_t kind) {
    switch (kind) {
        case SoundEntry::kBuiltIn:
            return "built-in";
        case SoundEntry::kFile:
            return "file";
        case SoundEntry::kCloud:
            return "cloud";
        default:
            return "?";
    }
}

Json::Value PadJson(int id, const char* tab, const SoundEntry& entry) {
    Json::Value pad;
    pad["id"] = id;
    pad["tab"] = tab;
    pad["name"] = text::Utf16ToUtf8(entry.Name());
    pad["hotkey"] = text::Utf16ToUtf8(pads::FavouriteKeyText(entry.hotkey));
    pad["kind"] = KindName(entry.kind);
    pad["path"] = entry.PathUtf8();
    if (entry.cloudId) pad["cloudId"] = entry.cloudId;
    return pad;
}

// The panel's configuration, with the favourites it seeds on a first start.
bool OpenConfig(HotkeyConfig& config) {
    if (!config.Init()) return false;
    if (config.Favourites().empty()) config.SeedDefaultFavourites();
    return true;
}

int List(const CliContext& ctx, HotkeyConfig& config) {
    Json::Value all(Json::arrayValue);
    auto add = [&](const std::vector<SoundEntry>& list, int base, const char* tab) {
        for (size_t i = 0; i < list.size(); ++i)
            all.append(PadJson(base + static_cast<int>(i), tab, list[i]));
    };
    add(config.Favourites(), pads::kFavouriteBase, "收藏夹");
    add(pads::LocalTabEntries(config), pads::kBuiltInBase, "本地");
    add(config.Downloaded(), pads::kDownloadedBase, "已下载");
    if (ctx.json) {
        PrintJson(all);
        return kExitOk;
    }
    for (const Json::Value& pad : all)
        printf("%5d  %-6s %-10s %-8s %s\n", pad["id"].asInt(), pad["tab"].asCString(),
               pad["name"].asCString(), pad["hotkey"].asCString(), pad["kind"].asCString());
    return kExitOk;
}

int Add(const CliContext& ctx, HotkeyConfig& config) {
    std::string file, name;
    for (size_t i = 1; i < ctx.args.size(); ++i) {
        if (ctx.args[i] == "--name" && i + 1 < ctx.args.size())
            name = ctx.args[++i];
        else if (file.empty())
            file = ctx.args[i];
        else
            return UsageError("usage: sounds add FILE [--name NAME]");
    }
    if (file.empty()) return UsageError("usage: sounds add FILE [--name NAME]");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return Fail("no such file: " + file);
    const std::string path = std::filesystem::absolute(file, ec).string();
    if (name.empty()) name = std::filesystem::path(file).stem().string();
    std::string reason;
    if (!config.AddLocalFile(text::Utf8ToUtf16(name), path, &reason)) return Fail(reason);
    const int id = pads::kLocalBase + static_cast<int>(config.Locals().size()) - 1;
    if (ctx.json)
        PrintJson(PadJson(id, "本地", config.Locals().back()));
    else
        printf("added pad %d: %s\n", id, text::Utf16ToUtf8(config.Locals().back().Name()).c_str());
    return kExitOk;
}

int Favourite(const CliContext& ctx, HotkeyConfig& config) {
    if (ctx.args.size() != 2) return UsageError("usage: sounds favourite ID");
    int id = 0;
    try {
        id = std::stoi(ctx.args[1]);
    } catch (...) {
        return UsageError("sounds favourite takes a pad id");
    }
    SoundEntry entry;
    if (pads::Classify(id).list == pads::PadList::Favourites ||
        pads::FindEntry(config, id, entry) != pads::Lookup::kFound)
        return Fail("no pad " + ctx.args[1] + " to add (see: lw52ctl sounds list)");
    if (config.IsFavourite(entry))
        return Fail("收藏夹中已经存在“" + text::Utf16ToUtf8(entry.Name()) + "”");
    config.AddFavourite(entry);
    const int favId = pads::kFavouriteBase + static_cast<int>(config.Favourites().size()) - 1;
    if (ctx.json)
        PrintJson(PadJson(favId, "收藏夹", entry));
    else
        printf("favourite %d: %s\n", favId, text::Utf16ToUtf8(entry.Name()).c_str());
    return kExitOk;
}

}  // namespace

int CmdSounds(const CliContext& ctx) {
    const std::string sub = ctx.args.empty() ? std::string() : ctx.args[0];
    HotkeyConfig config;
    if (sub != "list" && sub != "add" && sub != "favourite")
        return UsageError(
            "usage: sounds list | sounds add FILE [--name NAME] | sounds favourite ID");
    if (!OpenConfig(config)) return Fail("cannot open " + config.Path());
    if (sub == "list")
        return ctx.args.size() == 1 ? List(ctx, config) : UsageError("usage: sounds list");
    if (sub == "add") return Add(ctx, config);
    return Favourite(ctx, config);
}

int CmdCloudSounds(const CliContext& ctx) {
    int download = 0;
    for (size_t i = 1; i < ctx.args.size(); ++i) {
        if (ctx.args[i] == "--download" && i + 1 < ctx.args.size()) {
            try {
                download = std::stoi(ctx.args[++i]);
            } catch (...) {
                return UsageError("--download takes a clip id");
            }
        } else {
            return UsageError("usage: cloud sounds [--download ID]");
        }
    }
    HotkeyConfig config;
    if (!OpenConfig(config)) return Fail("cannot open " + config.Path());
    std::string error;
    if (!CCloudSoundListDownloader::Fetch(config, app_paths::SettingsPath(), error))
        return Fail(error);
    if (download) {
        for (size_t c = 0; c < config.CloudCategoryCount(); ++c)
            for (const SoundEntry& item : config.CloudItems(c)) {
                if (item.cloudId != download) continue;
                const std::string path = cloud_sound::LocalPathFor(app_paths::UserDir(), item);
                if (!cloud_sound::Download(item, path, error)) return Fail(error);
                std::string reason;
                if (!config.AddDownloadedFile(item.Name(), item.cloudId, path, &reason))
                    return Fail(reason);
                if (ctx.json) {
                    Json::Value out;
                    out["id"] = item.cloudId;
                    out["path"] = path;
                    PrintJson(out);
                } else {
                    printf("%s\n", path.c_str());
                }
                return kExitOk;
            }
        return Fail("no cloud clip with id " + std::to_string(download));
    }
    Json::Value all(Json::arrayValue);
    for (size_t c = 0; c < config.CloudCategoryCount(); ++c) {
        Json::Value category;
        category["name"] = text::Utf16ToUtf8(config.CloudCategoryName(c));
        category["clips"] = Json::Value(Json::arrayValue);
        if (!ctx.json) printf("%s\n", category["name"].asCString());
        for (size_t i = 0; i < config.CloudItems(c).size(); ++i) {
            const SoundEntry item = config.CloudItems(c)[i];
            Json::Value clip;
            clip["id"] = item.cloudId;
            clip["pad"] = pads::CloudPadId(c, i);
            clip["name"] = text::Utf16ToUtf8(item.Name());
            clip["url"] = item.PathUtf8();
            clip["downloaded"] = config.FindDownloaded(item.cloudId).has_value();
            if (!ctx.json)
                printf("  %6d  %-10s %s%s\n", item.cloudId, clip["name"].asCString(),
                       item.PathUtf8().c_str(),
                       clip["downloaded"].asBool() ? "  (downloaded)" : "");
            category["clips"].append(clip);
        }
        all.append(category);
    }
    if (ctx.json) PrintJson(all);
    return kExitOk;
}
