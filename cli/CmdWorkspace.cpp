// Commands that go through the workspace: state, set, effect, custom, preset, save-effect,
// save-preset. They change the card exactly as the panel would, or ask the running panel to.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Builtins.h"
#include "Commands.h"
#include "ControlResults.h"
#include "CtlCard.h"
#include "IniFile.h"
#include "Json.h"
#include "PanelLink.h"
#include "ParamTable.h"

namespace {

bool ParseInt(const std::string& text, long min, long max, long& out) {
    char* end = nullptr;
    out = strtol(text.c_str(), &end, 0);
    return !text.empty() && *end == '\0' && out >= min && out <= max;
}

// A name to store: 1..1024 bytes, as the panel takes it (the records keep its start).
bool NameFits(const std::string& name) {
    return !name.empty() && name.size() <= 1024;
}

// Opens the card; a command that needs it fails when there is none.
int OpenOrFail(CtlCard& card, const CliContext& ctx) {
    return card.Open(ctx.devicePath) ? kExitOk : Fail(card.Error());
}

// Pads UTF-8 text to a column width, counting CJK characters as two columns.
std::string PadColumn(const std::string& text, int width) {
    int columns = 0;
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const size_t len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        columns += len >= 3 ? 2 : 1;
        i += len;
    }
    return text + std::string(static_cast<size_t>(columns < width ? width - columns : 1), ' ');
}

void PrintState(const CliContext& ctx, const Json::Value& state) {
    if (ctx.json) return PrintJson(state);
    printf("音效 %d %s (%s)\n", state["effect"].asInt(), state["effectName"].asString().c_str(),
           state["source"].asString().c_str());
    for (const Json::Value& p : state["params"])
        printf("%2d  %s%5d  %s\n", p["id"].asInt(), PadColumn(p["name"].asString(), 22).c_str(),
               p["raw"].asInt(), p["text"].asString().c_str());
}

void PrintEffect(const CliContext& ctx, const Json::Value& effect) {
    if (ctx.json) return PrintJson(effect);
    printf("音效 %d %s\n", effect["effect"].asInt(), effect["effectName"].asString().c_str());
}

}  // namespace

int CmdState(const CliContext& ctx) {
    if (!ctx.args.empty()) return UsageError("state takes no arguments");
    PanelCall call;
    call.request["op"] = "state";
    return RunCardCommand(
        ctx, call,
        [&](Json::Value& result) {
            CtlCard card;
            // Without a card the stored last state is what the panel would show.
            const bool attached = card.Open(ctx.devicePath);
            if (!attached && !card.NoCardFound()) return Fail(card.Error());
            result = control::StateResult(card.Workspace(), attached ? "card" : "stored");
            return kExitOk;
        },
        [&](const Json::Value& state) { PrintState(ctx, state); });
}

int CmdSet(const CliContext& ctx) {
    if (ctx.args.empty() || ctx.args.size() % 2 != 0)
        return UsageError("usage: set ID RAW [ID RAW ...]");
    std::vector<std::pair<int, int>> changes;
    PanelCall call;
    call.request["op"] = "set";
    Json::Value& pairs = call.request["changes"] = Json::Value(Json::arrayValue);
    for (size_t i = 0; i < ctx.args.size(); i += 2) {
        long id, raw;
        if (!ParseInt(ctx.args[i], 0, lw52::kParamCount - 1, id))
            return UsageError("not a parameter id (0..43): '" + ctx.args[i] + "'");
        const lw52::ParamInfo& p = lw52::Param(static_cast<int>(id));
        if (!ParseInt(ctx.args[i + 1], p.min, p.max, raw))
            return UsageError("parameter " + std::to_string(id) + " takes " +
                              std::to_string(p.min) + ".." + std::to_string(p.max));
        changes.emplace_back(static_cast<int>(id), static_cast<int>(raw));
        Json::Value pair(Json::arrayValue);
        pair.append(static_cast<int>(id));
        pair.append(static_cast<int>(raw));
        pairs.append(pair);
    }
    return RunCardCommand(
        ctx, call,
        [&](Json::Value& result) {
            CtlCard card;
            if (const int rc = OpenOrFail(card, ctx)) return rc;
            for (const auto& [id, raw] : changes) card.Workspace().SetParam(id, raw);
            card.RunUntilIdle();  // the throttle's trailing send
            if (!card.Workspace().Pending().empty())
                return Fail("the card did not accept every change");
            result = control::SetResult(changes);
            return kExitOk;
        },
        [&](const Json::Value& set) {
            if (ctx.json) return PrintJson(set);
            for (const Json::Value& row : set) {
                const int id = row["id"].asInt();
                printf("%d %s = %d (%s)\n", id,
                       id >= 0 && id < lw52::kParamCount ? lw52::Param(id).name : "?",
                       row["raw"].asInt(), row["text"].asString().c_str());
            }
        });
}

namespace {
// effect N / custom N / preset GROUP INDEX: one workspace call that returns 1 or 0. The panel
// gets the same request as op with "index" (and "group" first for a preset).
int ApplyCommand(const CliContext& ctx, const char* op, const char* usage, size_t argCount,
                 long max0, long max1, int (*apply)(CWorkSpace&, long, long), const char* refusal) {
    if (ctx.args.size() != argCount) return UsageError(usage);
    long a = 0, b = 0;
    if (!ParseInt(ctx.args[0], 0, max0, a) || (argCount == 2 && !ParseInt(ctx.args[1], 0, max1, b)))
        return UsageError(usage);
    PanelCall call;
    call.request["op"] = op;
    if (argCount == 2) {
        call.request["group"] = static_cast<int>(a);
        call.request["index"] = static_cast<int>(b);
    } else {
        call.request["index"] = static_cast<int>(a);
    }
    return RunCardCommand(
        ctx, call,
        [&](Json::Value& result) {
            CtlCard card;
            if (const int rc = OpenOrFail(card, ctx)) return rc;
            if (!apply(card.Workspace(), a, b)) return Fail(refusal);
            card.RunUntilIdle();
            result = control::EffectResult(card.Workspace());
            return kExitOk;
        },
        [&](const Json::Value& effect) { PrintEffect(ctx, effect); });
}
}  // namespace

int CmdEffect(const CliContext& ctx) {
    return ApplyCommand(
        ctx, "effect", "usage: effect N (built-in effect 0..11)", 1, 11, 0,
        [](CWorkSpace& ws, long n, long) { return ws.ApplyEffect(static_cast<int>(n)); },
        "the card did not accept the effect");
}

int CmdCustom(const CliContext& ctx) {
    return ApplyCommand(
        ctx, "custom", "usage: custom N (user effect 0..11)", 1, 11, 0,
        [](CWorkSpace& ws, long n, long) { return ws.ApplyCustomEffect(static_cast<int>(n)); },
        "that user effect is empty");
}

int CmdPreset(const CliContext& ctx) {
    return ApplyCommand(
        ctx, "preset", "usage: preset GROUP INDEX (group 0..3)", 2, 3, 99,
        [](CWorkSpace& ws, long g, long i) {
            return ws.ApplyPreset(static_cast<int>(g), static_cast<int>(i));
        },
        "您尚未保存预设！ (that preset slot is empty or does not exist)");
}

// save-effect card|user SLOT NAME: stores the current effect (the card's, when one is
// attached) in one of the card's slots 0..2 or the user's effects 0..11.
int CmdSaveEffect(const CliContext& ctx) {
    long slot;
    if (ctx.args.size() != 3 || (ctx.args[0] != "card" && ctx.args[0] != "user") ||
        !ParseInt(ctx.args[1], 0, ctx.args[0] == "card" ? 2 : 11, slot) || !NameFits(ctx.args[2]))
        return UsageError("usage: save-effect card|user SLOT NAME (card 0..2, user 0..11)");
    PanelCall call;
    call.request["op"] = "save-effect";
    call.request["target"] = ctx.args[0];
    call.request["slot"] = static_cast<int>(slot);
    call.request["name"] = ctx.args[2];
    return RunCardCommand(
        ctx, call,
        [&](Json::Value& result) {
            CtlCard card;
            if (!card.Open(ctx.devicePath) && !card.NoCardFound()) return Fail(card.Error());
            const int kind = ctx.args[0] == "card" ? 0 : 1;
            if (!card.Workspace().SaveEffectToSlot(kind, static_cast<int>(slot), ctx.args[2]))
                return Fail("cannot write " + card.Workspace().SettingsPath());
            result["saved"] = ctx.args[2];
            result["kind"] = ctx.args[0];
            result["slot"] = static_cast<int>(slot);
            return kExitOk;
        },
        [&](const Json::Value& saved) {
            if (ctx.json) return PrintJson(saved);
            printf("saved \"%s\" to %s slot %d\n", saved["saved"].asString().c_str(),
                   saved["kind"].asString().c_str(), saved["slot"].asInt());
        });
}

namespace {
// The workspace keeps a saved preset in memory even when the settings file refused it: what
// the file holds tells whether it was stored.
bool PresetStored(const CWorkSpace& workspace, int group, int slot) {
    const auto& list = workspace.PresetList(group);
    const size_t index = static_cast<size_t>(lw52::BuiltinPresetCount(group) + slot);
    lw52::PresetRecord stored;
    return index < list.size() &&
           CIniFile(workspace.SettingsPath())
               .GetStruct("CustomPreset", std::to_string(group) + "_" + std::to_string(slot),
                          &stored, sizeof stored) &&
           std::memcmp(&stored, &list[index], sizeof stored) == 0;
}
}  // namespace

int CmdSavePreset(const CliContext& ctx) {
    long group, slot;
    if (ctx.args.size() != 3 || !ParseInt(ctx.args[0], 1, 3, group) ||
        !ParseInt(ctx.args[1], 0, 3, slot) || !NameFits(ctx.args[2]))
        return UsageError("usage: save-preset GROUP SLOT NAME (group 1..3, slot 0..3)");
    PanelCall call;
    call.request["op"] = "save-preset";
    call.request["group"] = static_cast<int>(group);
    call.request["slot"] = static_cast<int>(slot);
    call.request["name"] = ctx.args[2];
    return RunCardCommand(
        ctx, call,
        [&](Json::Value& result) {
            CtlCard card;
            if (!card.Open(ctx.devicePath) && !card.NoCardFound()) return Fail(card.Error());
            CWorkSpace& workspace = card.Workspace();
            if (!workspace.SaveCustomPreset(ctx.args[2], static_cast<int>(group),
                                            static_cast<int>(slot)) ||
                !PresetStored(workspace, static_cast<int>(group), static_cast<int>(slot)))
                return Fail("cannot write " + workspace.SettingsPath());
            result["saved"] = ctx.args[2];
            result["group"] = static_cast<int>(group);
            result["slot"] = static_cast<int>(slot);
            return kExitOk;
        },
        [&](const Json::Value& saved) {
            if (ctx.json) return PrintJson(saved);
            printf("saved preset \"%s\" to group %d slot %d\n", saved["saved"].asString().c_str(),
                   saved["group"].asInt(), saved["slot"].asInt());
        });
}
