#include <cstdio>

#include "CardSession.h"
#include "Commands.h"
#include "DeviceInfo.h"
#include "FrameDefs.h"

int CmdInfo(const CliContext& ctx) {
    if (!ctx.args.empty()) return UsageError("info takes no arguments");
    CardSession session;
    if (!session.Open(ctx.devicePath)) return Fail(session.Error());

    uint8_t reply[lw52::kFrameBufferSize];
    if (!session.Protocol().QueryDeviceInfo(reply))
        return Fail("no reply: the card did not answer the device information request");
    const lw52::DeviceInfo info = lw52::ParseDeviceInfoReply(reply);
    const int packet = session.Protocol().GetPacketSize();

    if (ctx.json) {
        printf(
            "{\"path\":%s,\"product\":%s,\"hardwareVersion\":%s,\"firmwareVersion\":%s,"
            "\"deviceType\":%d,\"deviceTypeText\":%s,\"packetSize\":%d}\n",
            JsonString(session.Path()).c_str(), JsonString(lw52::kProductName).c_str(),
            JsonString(lw52::FormatVersion(info.hardwareVersion)).c_str(),
            JsonString(lw52::FormatVersion(info.firmwareVersion)).c_str(), info.deviceType,
            JsonString(lw52::DeviceTypeName(info.deviceType)).c_str(), packet);
    } else {
        printf("%s", lw52::DeviceInfoText(&info).c_str());
        printf("设备路径：%s\n", session.Path().c_str());
    }
    return kExitOk;
}
