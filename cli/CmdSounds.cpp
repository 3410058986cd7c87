// sounds list | sounds add FILE [--name NAME] | sounds favourite ID: the sound pads as the
// panel keeps them, with the same ids, names and rules.
#include <cstdio>
#include <filesystem>
#include <string>

#include "Commands.h"
#include "HotkeyConfig.h"
#include "Json.h"
#include "Pads.h"
#include "SoundPads.h"
#include "TextUtil.h"

namespace {

constexpr const char* kTabFavourites = "收藏夹";
constexpr const char* kTabLocal = "本地";
constexpr const char* kTabDownloaded = "已下载";
constexpr const char* kAddUsage = "usage: sounds add FILE [--name NAME]";

int List(const CliContext& ctx, const HotkeyConfig& config) {
    Json::Value all(Json::arrayValue);
    auto add = [&](const std::vector<SoundEntry>& list, int base, const char* tab) {
        for (size_t i = 0; i < list.size(); ++i)
            all.append(PadJson(base + static_cast<int>(i), tab, list[i]));
    };
    add(config.Favourites(), pads::kFavouriteBase, kTabFavourites);
    add(pads::LocalTabEntries(config), pads::kBuiltInBase, kTabLocal);
    add(config.Downloaded(), pads::kDownloadedBase, kTabDownloaded);
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
        if (ctx.args[i] == "--name") {
            if (i + 1 >= ctx.args.size()) return UsageError("--name needs a name");
            name = ctx.args[++i];
        } else if (file.empty()) {
            file = ctx.args[i];
        } else {
            return UsageError(kAddUsage);
        }
    }
    if (file.empty()) return UsageError(kAddUsage);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return Fail("no such file: " + file);
    const std::string path = std::filesystem::absolute(file, ec).string();
    // As the panel's file dialog does: the file's name without its extension (cut to 8).
    if (name.empty()) name = std::filesystem::path(file).stem().string();
    std::string reason;
    if (!config.AddLocalFile(text::Utf8ToUtf16(name), path, &reason)) return Fail(reason);
    if (!config.Save()) return Fail("cannot write " + config.Path() + ": " + config.SaveError());
    const int id = pads::kLocalBase + static_cast<int>(config.Locals().size()) - 1;
    const SoundEntry& added = config.Locals().back();
    if (ctx.json)
        PrintJson(PadJson(id, kTabLocal, added));
    else
        printf("added pad %d: %s\n", id, text::Utf16ToUtf8(added.Name()).c_str());
    return kExitOk;
}

int Favourite(const CliContext& ctx, HotkeyConfig& config) {
    if (ctx.args.size() != 2) return UsageError("usage: sounds favourite ID");
    int id = 0;
    if (!ParseId(ctx.args[1], id)) return UsageError("sounds favourite takes a pad id");
    const pads::PadList list = pads::Classify(id).list;
    if (list == pads::PadList::Cloud)
        return Fail("pad " + ctx.args[1] +
                    " is a cloud clip: download it first (lw52ctl cloud sounds --download ID)");
    SoundEntry entry;
    if (list == pads::PadList::Favourites ||
        pads::FindEntry(config, id, entry) != pads::Lookup::kFound)
        return Fail("no pad " + ctx.args[1] + " to add (see: lw52ctl sounds list)");
    if (config.IsFavourite(entry))
        return Fail("收藏夹中已经存在“" + text::Utf16ToUtf8(entry.Name()) + "”");
    config.AddFavourite(entry);
    if (!config.Save()) return Fail("cannot write " + config.Path() + ": " + config.SaveError());
    const int favourite = pads::kFavouriteBase + static_cast<int>(config.Favourites().size()) - 1;
    if (ctx.json)
        PrintJson(PadJson(favourite, kTabFavourites, entry));
    else
        printf("favourite %d: %s\n", favourite, text::Utf16ToUtf8(entry.Name()).c_str());
    return kExitOk;
}

}  // namespace

int CmdSounds(const CliContext& ctx) {
    const std::string sub = ctx.args.empty() ? std::string() : ctx.args[0];
    if (sub != "list" && sub != "add" && sub != "favourite")
        return UsageError(
            "usage: sounds list | sounds add FILE [--name NAME] | sounds favourite ID");
    if (sub == "list" && ctx.args.size() != 1) return UsageError("usage: sounds list");
    HotkeyConfig config;
    if (!OpenPadsConfig(config)) return Fail("cannot open " + config.Path());
    if (sub == "list") return List(ctx, config);
    if (sub == "add") return Add(ctx, config);
    return Favourite(ctx, config);
}
