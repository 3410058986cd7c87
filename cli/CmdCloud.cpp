// cloud ping | cloud effects [--download NAME] [--apply NAME]: the cloud service as the
// panel's cloud effect tree sees it, with downloads into the same folder and stores.
#include <cstdio>
#include <memory>
#include <optional>

#include "AppPaths.h"
#include "CloudApi.h"
#include "CloudEffectDetailDownloader.h"
#include "CloudEffectFiles.h"
#include "CloudEffectListDownloader.h"
#include "Commands.h"
#include "CtlCard.h"
#include "Json.h"
#include "QvAudioProtocol.h"
#include "TextUtil.h"

namespace {

using text::Utf16ToUtf8;

// Names are stored with "&" doubled; the user types them as shown.
std::string Shown(const std::u16string& stored) {
    std::string out = Utf16ToUtf8(stored);
    for (size_t at = out.find("&&"); at != std::string::npos; at = out.find("&&", at + 1))
        out.erase(at, 1);
    return out;
}

std::string ListUrl() {
    return cloud::ApiUrl(cloud::kPathEffectList, app_paths::SettingsPath());
}

int CmdPing(const CliContext& ctx) {
    std::vector<lw52::CloudEffectRecord> records;
    std::string error;
    const std::string url = ListUrl();
    const bool ok = CCloudEffectListDownloader::Fetch(url, records, error) == 1;
    if (ctx.json) {
        Json::Value out;
        out["url"] = cloud::BaseUrl(app_paths::SettingsPath());
        out["ok"] = ok;
        out["effects"] = static_cast<Json::UInt64>(records.size());
        if (!ok) out["error"] = error;
        PrintJson(out);
    } else if (ok) {
        printf("%s: ok, %zu cloud effects\n", cloud::BaseUrl(app_paths::SettingsPath()).c_str(),
               records.size());
    }
    return ok ? kExitOk : Fail(url + ": " + error);
}

// Downloads the record's file unless it is already there; the local path, or empty.
std::string EnsureDownloaded(const lw52::CloudEffectRecord& record, CWorkSpace& workspace,
                             std::string& error) {
    const std::string userDir = app_paths::UserDir();
    const std::u16string category = cloud_effect::CategoryName(record);
    const std::u16string url = cloud_effect::Url(record);
    if (cloud_effect::IsDownloaded(userDir, category, url, 1))
        return cloud_effect::LocalPath(userDir, category, url);
    std::string local;
    if (!CCloudEffectDetailDownloader::Download(userDir, category, url, local, error)) return {};
    const std::u16string localU16 = text::Utf8ToUtf16(local);
    if (localU16.size() < std::size(record.url))
        workspace.AddDownloadedEffect(
            cloud_effect::MakeRecord(cloud_effect::SoundName(record), category, localU16, 1));
    return local;
}

int Apply(const CliContext& ctx, CtlCard& card, const std::string& name, const std::string& path) {
    std::string reason;
    if (!card.Workspace().UploadEffectFile(path, 0, &reason))
        return Fail("effect file refused: " + reason);
    int result = -1;
    MessageQueue::Message m{};
    // Each frame takes at most 3 x 1500 ms; a silent sender for longer than that is gone.
    while (result < 0 && card.Messages().Wait(m, 6000))
        if (m.message == kMsgTransfer && m.wParam == kTransferResult)
            result = static_cast<int>(m.lParam);
    if (result != 1) return Fail(name + "音效使用失败!");
    card.Workspace().SetFileEffect(name, path);
    if (ctx.json) {
        Json::Value out;
        out["applied"] = name;
        out["path"] = path;
        PrintJson(out);
    } else {
        printf("applied %s (%s)\n", name.c_str(), path.c_str());
    }
    return kExitOk;
}

int CmdEffects(const CliContext& ctx) {
    std::optional<std::string> download, apply;
    for (size_t i = 1; i < ctx.args.size(); ++i) {
        const std::string& arg = ctx.args[i];
        if ((arg == "--download" || arg == "--apply") && i + 1 < ctx.args.size())
            (arg == "--download" ? download : apply) = ctx.args[++i];
        else
            return UsageError("usage: cloud effects [--download NAME] [--apply NAME]");
    }
    if (download && apply) return UsageError("--download and --apply exclude each other");

    std::vector<lw52::CloudEffectRecord> records;
    std::string error;
    if (!CCloudEffectListDownloader::Fetch(ListUrl(), records, error)) return Fail(error);

    const std::string userDir = app_paths::UserDir();
    if (!download && !apply) {
        Json::Value list(Json::arrayValue);
        for (const auto& r : records) {
            const std::u16string category = cloud_effect::CategoryName(r);
            const std::u16string url = cloud_effect::Url(r);
            const bool have = cloud_effect::IsDownloaded(userDir, category, url, 1);
            if (ctx.json) {
                Json::Value item;
                item["category"] = Shown(category);
                item["name"] = Shown(cloud_effect::SoundName(r));
                item["url"] = Utf16ToUtf8(url);
                item["downloaded"] = have;
                item["path"] = cloud_effect::LocalPath(userDir, category, url);
                list.append(item);
            } else {
                printf("%s\t%s\t%s%s\n", Shown(category).c_str(),
                       Shown(cloud_effect::SoundName(r)).c_str(), Utf16ToUtf8(url).c_str(),
                       have ? "\t(downloaded)" : "");
            }
        }
        if (ctx.json) PrintJson(list);
        return kExitOk;
    }

    const std::string& name = download ? *download : *apply;
    const lw52::CloudEffectRecord* found = nullptr;
    for (const auto& r : records)
        if (!found && Shown(cloud_effect::SoundName(r)) == name) found = &r;
    if (!found) return Fail("no cloud effect named '" + name + "'");

    if (download) {
        CWorkSpace::Context context;
        context.settingsPath = app_paths::SettingsPath();
        CWorkSpace workspace(context);
        const std::string path = EnsureDownloaded(*found, workspace, error);
        if (path.empty()) return Fail(name + "音效下载失败");
        if (ctx.json) {
            Json::Value out;
            out["downloaded"] = name;
            out["path"] = path;
            PrintJson(out);
        } else {
            printf("%s\n", path.c_str());
        }
        return kExitOk;
    }
    CtlCard card;  // first, so that no download happens for a card that is not there
    if (!card.Open(ctx.devicePath)) return Fail(card.Error());
    const std::string path = EnsureDownloaded(*found, card.Workspace(), error);
    if (path.empty()) return Fail(name + "音效下载失败");
    return Apply(ctx, card, name, path);
}

}  // namespace

int CmdCloud(const CliContext& ctx) {
    const std::string sub = ctx.args.empty() ? std::string() : ctx.args[0];
    if (sub == "ping") return ctx.args.size() == 1 ? CmdPing(ctx) : UsageError("usage: cloud ping");
    if (sub == "effects") return CmdEffects(ctx);
    if (sub == "sounds") return CmdCloudSounds(ctx);
    return UsageError(
        "usage: cloud ping | cloud effects [--download NAME] [--apply NAME] | cloud sounds "
        "[--download ID]");
}
