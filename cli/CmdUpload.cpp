// upload-effect FILE [--slot N]: sends an effect file to the card, applied (no slot) or
// stored in the card's custom slot 1..3, with progress on a terminal.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "Commands.h"
#include "CtlCard.h"
#include "Json.h"
#include "QvAudioProtocol.h"

namespace {
std::string Stem(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

void DrawProgress(int percent) {
    const int width = 30;
    const int filled = percent * width / 100;
    fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "==============================", width - filled,
            "", percent);
    fflush(stderr);
}
}  // namespace

int CmdUploadEffect(const CliContext& ctx) {
    if (ctx.args.empty()) return UsageError("usage: upload-effect FILE [--slot 1..3]");
    long slot = 0;
    for (size_t i = 1; i < ctx.args.size(); ++i) {
        char* end = nullptr;
        if (ctx.args[i] == "--slot" && i + 1 < ctx.args.size()) {
            slot = strtol(ctx.args[++i].c_str(), &end, 10);
            if (*end != '\0' || slot < 1 || slot > 3) return UsageError("--slot takes 1..3");
        } else {
            return UsageError("unknown argument '" + ctx.args[i] + "'");
        }
    }
    const std::string& path = ctx.args[0];
    CtlCard card;
    if (!card.Open(ctx.devicePath)) return Fail(card.Error());

    std::string reason;
    if (!card.Workspace().UploadEffectFile(path, static_cast<int>(slot), &reason))
        return Fail("effect file refused: " + reason);
    const bool terminal = isatty(STDERR_FILENO) && !ctx.json;
    int result = -1;
    MessageQueue::Message m{};
    // Each frame takes at most 3 x 1500 ms; a silent sender for longer than that is gone.
    while (result < 0 && card.Messages().Wait(m, 6000)) {
        if (m.message != kMsgTransfer) continue;
        if (m.wParam == kTransferProgress && terminal) DrawProgress(static_cast<int>(m.lParam));
        if (m.wParam == kTransferResult) result = static_cast<int>(m.lParam);
    }
    if (terminal) fprintf(stderr, "\n");
    if (result != 1)
        return Fail(result < 0 ? "the transfer stopped without a result"
                               : "载入特效失败 (a frame was not acknowledged)");
    if (slot == 0) card.Workspace().SetFileEffect(Stem(path), path);
    if (ctx.json) {
        Json::Value out;
        out["uploaded"] = path;
        out["slot"] = static_cast<int>(slot);
        out["result"] = 1;
        PrintJson(out);
    } else {
        printf("uploaded %s%s\n", path.c_str(),
               slot ? (" to custom slot " + std::to_string(slot)).c_str() : "");
    }
    return kExitOk;
}
