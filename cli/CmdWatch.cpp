// watch: arrivals, removals, changes made on the card and levels, as they happen, until
// interrupted.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "Commands.h"
#include "CtlCard.h"
#include "FrameDefs.h"
#include "HotplugWatcher.h"
#include "Json.h"
#include "ParamDisplay.h"
#include "ParamFrames.h"

namespace {
volatile sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

void Emit(const CliContext& ctx, const Json::Value& json, const std::string& line) {
    if (ctx.json)
        PrintJson(json);
    else
        printf("%s\n", line.c_str());
    fflush(stdout);
}
}  // namespace

int CmdWatch(const CliContext& ctx) {
    if (!ctx.args.empty() && ctx.args[0] != "--no-levels")
        return UsageError("usage: watch [--no-levels]");
    const bool levels = ctx.args.empty();
    // Watching starts first so that no arrival falls between the search and the watch.
    CHotplugWatcher watcher;
    if (!watcher.Start()) return Fail("cannot watch for devices: " + watcher.Reason());
    CtlCard card;
    const bool attached = card.Open(ctx.devicePath);
    if (!attached && !card.NoCardFound()) return Fail(card.Error());

    CNotifyCenter& center = card.Center();
    center.Subscribe(EventDeviceChanged::kId, EventDeviceChanged::kName, [&](EventArgs&) {
        const bool connected = card.Workspace().IsConnected();
        Json::Value j;
        j["event"] = connected ? "connected" : "disconnected";
        j["path"] = card.Session().Builder().CurrentPath();
        // A card that arrived but could not be opened (no access, busy) says why.
        const std::string& why = card.Session().LastError();
        if (!connected && !why.empty()) j["reason"] = why;
        Emit(ctx, j,
             connected ? "connected " + card.Session().Builder().CurrentPath()
                       : "disconnected" + (why.empty() ? std::string() : ": " + why));
    });
    center.Subscribe(EventRecvData::kId, EventRecvData::kName, [&](EventArgs& e) {
        const FrameBytes& f = static_cast<EventRecvData&>(e).frame;
        if (f[0] == lw52::MSG_LEVELS) {
            if (!levels) return;
            Json::Value j;
            j["event"] = "levels";
            j["mic"] = f[4] * 10;
            j["accompaniment"] = f[5] * 10;
            Emit(ctx, j,
                 "levels mic " + std::to_string(f[4] * 10) + " accompaniment " +
                     std::to_string(f[5] * 10));
        } else if (f[0] == lw52::MSG_DEVICE_CHANGE) {
            const int packet = card.Session().Protocol().GetPacketSize();
            const int count = std::min<int>(f[4], (packet - 6) / 3);
            for (int i = 0; i < count; ++i) {
                const auto [id, value] = lw52::DecodeEntry(&f[static_cast<size_t>(5 + 3 * i)]);
                if (id >= lw52::kParamCount) break;
                Json::Value j;
                j["event"] = "change";
                j["id"] = id;
                j["name"] = lw52::Param(id).name;
                j["raw"] = value;
                j["text"] = lw52::DisplayText(id, value);
                Emit(ctx, j,
                     "change " + std::to_string(id) + " " + lw52::Param(id).name + " = " +
                         std::to_string(value) + " (" + lw52::DisplayText(id, value) + ")");
            }
        }
    });
    if (attached) {
        Json::Value j;
        j["event"] = "connected";
        j["path"] = card.Session().Builder().CurrentPath();
        Emit(ctx, j, "connected " + card.Session().Builder().CurrentPath());
    } else {
        Json::Value j;
        j["event"] = "waiting";
        Emit(ctx, j, "waiting for a card");
    }

    signal(SIGINT, OnSignal);
    signal(SIGTERM, OnSignal);
    while (!g_stop) {
        watcher.WaitAndDispatch(50, [&](bool removed, const std::string& path) {
            card.Session().OnDevicePnp(removed, path);
        });
        card.RunUntilIdle(50);
    }
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    return kExitOk;
}
