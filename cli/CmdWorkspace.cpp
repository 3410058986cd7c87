// Commands that go through the workspace: state, set, effect, custom, preset, save-effect,
// save-preset. They change the card exactly as the panel would.
#include <cstdio>
#include <cstdlib>

#include "Commands.h"
#include "CtlCard.h"
#include "Json.h"
#include "ParamDisplay.h"
#include "ParamTable.h"

namespace {

bool ParseInt(const std::string& text, long min, long max, long& out) {
    char* end = nullptr;
    out = strtol(text.c_str(), &end, 0);
    return !text.empty() && *end == '\0' && out >= min && out <= max;
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

std::string EffectName(const CWorkSpace& ws) {
    return lw52::RecordName(ws.Current());
}

int PrintState(const CWorkSpace& ws, const char* source, const CliContext& ctx) {
    const lw52::EffectRecord& current = ws.Current();
    if (ctx.json) {
        Json::Value out;
        out["source"] = source;
        out["effect"] = current.values[lw52::kParamEffect];
        out["effectName"] = EffectName(ws);
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
        PrintJson(out);
        return kExitOk;
    }
    printf("音效 %d %s (%s)\n", current.values[lw52::kParamEffect], EffectName(ws).c_str(), source);
    for (const lw52::ParamInfo& p : lw52::ParamTable())
        printf("%2d  %s%5d  %s\n", p.id, PadColumn(p.name, 22).c_str(), current.values[p.id],
               lw52::DisplayText(p.id, current.values[p.id]).c_str());
    return kExitOk;
}

}  // namespace

int CmdState(const CliContext& ctx) {
    if (!ctx.args.empty()) return UsageError("state takes no arguments");
    CtlCard card;
    if (card.Open(ctx.devicePath)) return PrintState(card.Workspace(), "card", ctx);
    // Without a card the stored last state is what the panel would show.
    if (card.NoCardFound()) return PrintState(card.Workspace(), "stored", ctx);
    return Fail(card.Error());
}

int CmdSet(const CliContext& ctx) {
    if (ctx.args.empty() || ctx.args.size() % 2 != 0)
        return UsageError("usage: set ID RAW [ID RAW ...]");
    std::vector<std::pair<int, int>> changes;
    for (size_t i = 0; i < ctx.args.size(); i += 2) {
        long id, raw;
        if (!ParseInt(ctx.args[i], 0, lw52::kParamCount - 1, id))
            return UsageError("not a parameter id (0..43): '" + ctx.args[i] + "'");
        const lw52::ParamInfo& p = lw52::Param(static_cast<int>(id));
        if (!ParseInt(ctx.args[i + 1], p.min, p.max, raw))
            return UsageError("parameter " + std::to_string(id) + " takes " +
                              std::to_string(p.min) + ".." + std::to_string(p.max));
        changes.emplace_back(static_cast<int>(id), static_cast<int>(raw));
    }
    CtlCard card;
    if (const int rc = OpenOrFail(card, ctx)) return rc;
    for (const auto& [id, raw] : changes) card.Workspace().SetParam(id, raw);
    card.RunUntilIdle();  // the throttle's trailing send
    if (!card.Workspace().Pending().empty()) return Fail("the card did not accept every change");
    if (ctx.json) {
        Json::Value out(Json::arrayValue);
        for (const auto& [id, raw] : changes) {
            Json::Value row;
            row["id"] = id;
            row["raw"] = raw;
            row["text"] = lw52::DisplayText(id, raw);
            out.append(row);
        }
        PrintJson(out);
    } else {
        for (const auto& [id, raw] : changes)
            printf("%d %s = %d (%s)\n", id, lw52::Param(id).name, raw,
                   lw52::DisplayText(id, raw).c_str());
    }
    return kExitOk;
}

namespace {
// effect N / custom N / preset GROUP INDEX: one workspace call that returns 1 or 0.
int ApplyCommand(const CliContext& ctx, const char* usage, size_t argCount, long max0, long max1,
                 int (*apply)(CWorkSpace&, long, long), const char* refusal) {
    if (ctx.args.size() != argCount) return UsageError(usage);
    long a = 0, b = 0;
    if (!ParseInt(ctx.args[0], 0, max0, a) || (argCount == 2 && !ParseInt(ctx.args[1], 0, max1, b)))
        return UsageError(usage);
    CtlCard card;
    if (const int rc = OpenOrFail(card, ctx)) return rc;
    if (!apply(card.Workspace(), a, b)) return Fail(refusal);
    card.RunUntilIdle();
    const CWorkSpace& ws = card.Workspace();
    if (ctx.json) {
        Json::Value out;
        out["effect"] = ws.Value(lw52::kParamEffect);
        out["effectName"] = EffectName(ws);
        PrintJson(out);
    } else {
        printf("音效 %d %s\n", ws.Value(lw52::kParamEffect), EffectName(ws).c_str());
    }
    return kExitOk;
}
}  // namespace

int CmdEffect(const CliContext& ctx) {
    return ApplyCommand(
        ctx, "usage: effect N (built-in effect 0..11)", 1, 11, 0,
        [](CWorkSpace& ws, long n, long) { return ws.ApplyEffect(static_cast<int>(n)); },
        "the card did not accept the effect");
}

int CmdCustom(const CliContext& ctx) {
    return ApplyCommand(
        ctx, "usage: custom N (user effect 0..11)", 1, 11, 0,
        [](CWorkSpace& ws, long n, long) { return ws.ApplyCustomEffect(static_cast<int>(n)); },
        "that user effect is empty");
}

int CmdPreset(const CliContext& ctx) {
    return ApplyCommand(
        ctx, "usage: preset GROUP INDEX (group 0..3)", 2, 3, 99,
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
        !ParseInt(ctx.args[1], 0, ctx.args[0] == "card" ? 2 : 11, slot) || ctx.args[2].empty())
        return UsageError("usage: save-effect card|user SLOT NAME (card 0..2, user 0..11)");
    CtlCard card;
    if (!card.Open(ctx.devicePath) && !card.NoCardFound()) return Fail(card.Error());
    const int kind = ctx.args[0] == "card" ? 0 : 1;
    if (!card.Workspace().SaveEffectToSlot(kind, static_cast<int>(slot), ctx.args[2]))
        return Fail("cannot write " + card.Workspace().SettingsPath());
    if (ctx.json) {
        Json::Value out;
        out["saved"] = ctx.args[2];
        out["kind"] = ctx.args[0];
        out["slot"] = static_cast<int>(slot);
        PrintJson(out);
    } else {
        printf("saved \"%s\" to %s slot %ld\n", ctx.args[2].c_str(), ctx.args[0].c_str(), slot);
    }
    return kExitOk;
}

int CmdSavePreset(const CliContext& ctx) {
    long group, slot;
    if (ctx.args.size() != 3 || !ParseInt(ctx.args[0], 1, 3, group) ||
        !ParseInt(ctx.args[1], 0, 3, slot))
        return UsageError("usage: save-preset GROUP SLOT NAME (group 1..3, slot 0..3)");
    CtlCard card;
    if (!card.Open(ctx.devicePath) && !card.NoCardFound()) return Fail(card.Error());
    card.Workspace().SaveCustomPreset(ctx.args[2], static_cast<int>(group), static_cast<int>(slot));
    if (ctx.json) {
        Json::Value out;
        out["saved"] = ctx.args[2];
        out["group"] = static_cast<int>(group);
        out["slot"] = static_cast<int>(slot);
        PrintJson(out);
    } else {
        printf("saved preset \"%s\" to group %ld slot %ld\n", ctx.args[2].c_str(), group, slot);
    }
    return kExitOk;
}
