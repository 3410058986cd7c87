// watch: arrivals, removals, changes made on the card and levels, as they happen, until
// interrupted. While the panel runs it holds the card, so its events are watched instead; when
// it goes away the card is free and is watched directly.
#include <signal.h>

#include <cstdio>
#include <memory>

#include "Commands.h"
#include "ControlResults.h"
#include "CtlCard.h"
#include "HotplugWatcher.h"
#include "Json.h"
#include "PanelLink.h"
#include "TickCount.h"

namespace {
volatile sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

// One event as a line: text, or with --json {"event": NAME, ...the data's members}.
void Emit(const CliContext& ctx, const std::string& name, const Json::Value& data) {
    if (ctx.json) {
        Json::Value flat(Json::objectValue);
        flat["event"] = name;
        if (data.isObject())
            for (const std::string& key : data.getMemberNames()) flat[key] = data[key];
        PrintJson(flat);
    } else if (name == "connected") {
        printf("connected %s\n", data["path"].asString().c_str());
    } else if (name == "disconnected") {
        const std::string why = data["reason"].asString();
        printf("disconnected%s\n", why.empty() ? "" : (": " + why).c_str());
    } else if (name == "waiting") {
        printf("waiting for a card\n");
    } else if (name == "levels") {
        printf("levels mic %d accompaniment %d\n", data["mic"].asInt(),
               data["accompaniment"].asInt());
    } else if (name == "change") {
        const int id = data["id"].asInt();
        printf("change %d %s = %d (%s)\n", id, data["name"].asString().c_str(), data["raw"].asInt(),
               data["text"].asString().c_str());
    }
    fflush(stdout);
}

// afterPanel: the panel has just gone and may still be letting the card go.
int WatchDirectly(const CliContext& ctx, bool levels, bool afterPanel) {
    // Watching starts first so that no arrival falls between the search and the watch.
    CHotplugWatcher watcher;
    if (!watcher.Start()) return Fail("cannot watch for devices: " + watcher.Reason());
    auto card = std::make_unique<CtlCard>();
    bool attached = card->Open(ctx.devicePath);
    for (int tries = 0; afterPanel && !attached && !card->NoCardFound() && tries < 30 && !g_stop;
         ++tries) {
        SleepMs(100);
        card = std::make_unique<CtlCard>();
        attached = card->Open(ctx.devicePath);
    }
    if (!attached && !card->NoCardFound()) return Fail(card->Error());

    CDeviceSession& session = card->Session();
    card->Center().Subscribe(EventDeviceChanged::kId, EventDeviceChanged::kName, [&](EventArgs&) {
        if (card->Workspace().IsConnected())
            Emit(ctx, "connected", control::ConnectedData(session.Builder().CurrentPath()));
        else  // a card that arrived but could not be opened (no access, busy) says why
            Emit(ctx, "disconnected", control::DisconnectedData(session.LastError()));
    });
    card->Center().Subscribe(EventRecvData::kId, EventRecvData::kName, [&](EventArgs& e) {
        const FrameBytes& frame = static_cast<EventRecvData&>(e).frame;
        for (const auto& [name, data] :
             control::CardFrameEvents(frame, session.Protocol().GetPacketSize()))
            if (levels || name != "levels") Emit(ctx, name, data);
    });
    if (attached)
        Emit(ctx, "connected", control::ConnectedData(session.Builder().CurrentPath()));
    else
        Emit(ctx, "waiting", Json::Value(Json::objectValue));

    signal(SIGINT, OnSignal);
    signal(SIGTERM, OnSignal);
    while (!g_stop) {
        watcher.WaitAndDispatch(
            50, [&](bool removed, const std::string& path) { session.OnDevicePnp(removed, path); });
        card->RunUntilIdle(50);
    }
    return kExitOk;
}

int WatchThroughPanel(const CliContext& ctx, PanelLink& link, bool levels) {
    auto onEvent = [&](const std::string& name, const Json::Value& data) {
        if (name == "connected" || name == "disconnected" || name == "change" ||
            (levels && name == "levels"))
            Emit(ctx, name, data);
    };
    Json::Value request;
    request["op"] = "subscribe";
    request["levels"] = levels;
    Json::Value state;
    std::string error;
    if (!link.Call(request, state, error)) return Fail(error);
    try {
        if (state["connected"].asBool())
            Emit(ctx, "connected", control::ConnectedData(state["path"].asString()));
        else
            Emit(ctx, "waiting", Json::Value(Json::objectValue));
    } catch (const Json::Exception& e) {
        return Fail(std::string("the panel's answer does not read as expected: ") + e.what());
    }
    while (!g_stop) {
        switch (link.ReadEvents(100, onEvent, error)) {
            case PanelLink::Read::kOk:
                break;
            case PanelLink::Read::kFailed:
                return Fail(error);
            case PanelLink::Read::kClosed:
                if (ctx.verbose)
                    fprintf(stderr, "lw52ctl: the panel has gone; watching the card directly\n");
                return WatchDirectly(ctx, levels, true);
        }
    }
    return kExitOk;
}
}  // namespace

int CmdWatch(const CliContext& ctx) {
    if (!ctx.args.empty() && ctx.args[0] != "--no-levels")
        return UsageError("usage: watch [--no-levels]");
    const bool levels = ctx.args.empty();
    g_stop = 0;
    PanelLink link;
    int rc;
    if (ThroughPanel(ctx, link)) {
        signal(SIGINT, OnSignal);
        signal(SIGTERM, OnSignal);
        rc = WatchThroughPanel(ctx, link, levels);
    } else {
        rc = WatchDirectly(ctx, levels, false);
    }
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    return rc;
}
