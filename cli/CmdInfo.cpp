#include <cstdio>

#include "CardSession.h"
#include "Commands.h"
#include "ControlResults.h"
#include "DeviceInfo.h"
#include "FrameDefs.h"
#include "Json.h"
#include "PanelLink.h"

int CmdInfo(const CliContext& ctx) {
    if (!ctx.args.empty()) return UsageError("info takes no arguments");
    PanelCall call;
    call.request["op"] = "info";
    return RunCardCommand(
        ctx, call,
        [&](Json::Value& result) {
            CardSession session;
            if (!session.Open(ctx.devicePath)) return Fail(session.Error());
            uint8_t reply[lw52::kFrameBufferSize];
            if (!session.Protocol().QueryDeviceInfo(reply))
                return Fail("no reply: the card did not answer the device information request");
            result = control::InfoResult(session.Path(), lw52::ParseDeviceInfoReply(reply),
                                         session.Protocol().GetPacketSize());
            return kExitOk;
        },
        [&](const Json::Value& result) {
            if (ctx.json) return PrintJson(result);
            const lw52::DeviceInfo info = control::InfoFromResult(result);
            printf("%s", lw52::DeviceInfoText(&info).c_str());
            printf("设备路径：%s\n", result["path"].asString().c_str());
        });
}
