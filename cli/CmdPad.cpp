// pad play ID | pad stop: a sound pad played on the running panel's own output, as a click on
// the pad would play it.
#include <cstdio>

#include "Commands.h"
#include "Json.h"
#include "Pads.h"
#include "PanelLink.h"

int CmdPad(const CliContext& ctx) {
    constexpr const char* kUsage = "usage: pad play ID | pad stop (ids as sounds list prints them)";
    int id = 0;
    const bool play = ctx.args.size() == 2 && ctx.args[0] == "play";
    if (!(play && ParseId(ctx.args[1], id)) && !(ctx.args.size() == 1 && ctx.args[0] == "stop"))
        return UsageError(kUsage);
    PanelLink link;
    if (!ThroughPanel(ctx, link, false))
        return Fail(
            "pads are played by the running panel; start lw52panel, or use: lw52ctl play "
            "PAD_ID");
    Json::Value request;
    request["op"] = play ? "play-pad" : "stop-pad";
    if (play) request["pad"] = id;
    Json::Value result;
    std::string error;
    if (!link.Call(request, result, error)) return Fail(error);
    if (ctx.json)
        PrintJson(result);
    else if (play)
        printf("playing pad %d\n", id);
    else
        printf("stopped\n");
    return kExitOk;
}
