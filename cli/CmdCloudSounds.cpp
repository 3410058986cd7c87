// cloud sounds [--download ID]: the cloud's sound categories and clips, fetched as the pad
// page fetches them; a download goes into CloudSound and the downloaded pads as the page's
// does.
#include <cstdio>
#include <optional>
#include <string>

#include "AppPaths.h"
#include "CloudSoundFileDownloader.h"
#include "CloudSoundListDownloader.h"
#include "Commands.h"
#include "HotkeyConfig.h"
#include "Json.h"
#include "Pads.h"
#include "SoundPads.h"
#include "TextUtil.h"

namespace {

constexpr const char* kUsage = "usage: cloud sounds [--download ID]";

int List(const CliContext& ctx, const HotkeyConfig& config) {
    Json::Value all(Json::arrayValue);
    for (size_t c = 0; c < config.CloudCategoryCount(); ++c) {
        Json::Value category;
        category["name"] = text::Utf16ToUtf8(config.CloudCategoryName(c));
        category["clips"] = Json::Value(Json::arrayValue);
        if (!ctx.json) printf("%s\n", category["name"].asCString());
        const std::vector<SoundEntry> items = config.CloudItems(c);
        for (size_t i = 0; i < items.size(); ++i) {
            const SoundEntry& item = items[i];
            Json::Value clip;
            clip["id"] = item.cloudId;
            clip["pad"] = pads::CloudPadId(c, i);
            clip["name"] = text::Utf16ToUtf8(item.Name());
            clip["url"] = item.PathUtf8();
            clip["downloaded"] = config.FindDownloaded(item.cloudId).has_value();
            if (!ctx.json)
                printf("  %6d  %-10s %s%s\n", item.cloudId, clip["name"].asCString(),
                       clip["url"].asCString(),
                       clip["downloaded"].asBool() ? "  (downloaded)" : "");
            category["clips"].append(clip);
        }
        all.append(category);
    }
    if (ctx.json) PrintJson(all);
    return kExitOk;
}

int Download(const CliContext& ctx, HotkeyConfig& config, int cloudId) {
    const std::string userDir = app_paths::UserDir();
    cloud_sound::PendingDownload pending;
    bool found = false;
    for (size_t c = 0; c < config.CloudCategoryCount() && !found; ++c) {
        const std::vector<SoundEntry> items = config.CloudItems(c);
        for (size_t i = 0; i < items.size() && !found; ++i)
            found = items[i].cloudId == cloudId &&
                    cloud_sound::BeginDownload(config, userDir, c, i, pending);
    }
    if (!found) return Fail("no cloud clip with id " + std::to_string(cloudId));
    std::string error;
    if (!cloud_sound::Download(pending.entry, pending.localPath, error))
        return Fail(pending.entry.PathUtf8() + ": " + error);
    std::string reason;
    if (!config.AddDownloadedFile(pending.entry.Name(), cloudId, pending.localPath, &reason))
        return Fail(reason);
    // AddDownloaded moves the clip to the end of the downloaded pads.
    const int pad = pads::kDownloadedBase + static_cast<int>(config.Downloaded().size()) - 1;
    if (ctx.json)
        PrintJson(PadJson(pad, "已下载", config.Downloaded().back()));
    else
        printf("%s\n", pending.localPath.c_str());
    return kExitOk;
}

}  // namespace

int CmdCloudSounds(const CliContext& ctx) {
    std::optional<int> download;
    for (size_t i = 1; i < ctx.args.size(); ++i) {
        int id = 0;
        if (ctx.args[i] != "--download" || download || i + 1 >= ctx.args.size())
            return UsageError(kUsage);
        if (!ParseId(ctx.args[++i], id)) return UsageError("--download takes a clip id");
        download = id;
    }
    HotkeyConfig config;
    if (!OpenPadsConfig(config)) return Fail("cannot open " + config.Path());
    std::string error;
    cloud_sound::CategoryList list;
    if (!CCloudSoundListDownloader::Fetch(app_paths::SettingsPath(), list, error))
        return Fail(error);
    cloud_sound::Install(config, list);
    return download ? Download(ctx, config, *download) : List(ctx, config);
}
