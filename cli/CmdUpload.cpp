// upload-effect FILE [--slot N]: sends an effect file to the card, applied (no slot) or
// stored in the card's custom slot 1..3, with progress on a terminal.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "Commands.h"
#include "CtlCard.h"
#include "Json.h"
#include "PanelLink.h"
#include "QvAudioProtocol.h"

namespace {
std::string Stem(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// "[=======          ]  25%" on one terminal line, redrawn in place.
class PercentBar {
  public:
    explicit PercentBar(bool terminal) : m_terminal(terminal) {}
    void Draw(int percent) {
        if (!m_terminal) return;
        percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
        const int width = 30;
        const int filled = percent * width / 100;
        fprintf(stderr, "\r[%.*s%*s] %3d%%", filled,
                "==============================", width - filled, "", percent);
        fflush(stderr);
        m_drawn = true;
    }
    // Ends the line before anything else is said.
    void End() {
        if (m_drawn) fprintf(stderr, "\n");
        m_drawn = false;
    }

  private:
    bool m_terminal;
    bool m_drawn = false;
};
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
    // Absolute either way: the panel has a working folder of its own, and the path is kept as
    // the current effect's file.
    const std::string path = AbsolutePath(ctx.args[0]);
    PercentBar bar(isatty(STDERR_FILENO) && !ctx.json);

    PanelCall call;
    call.request["op"] = "upload-effect";
    call.request["file"] = path;
    call.request["slot"] = static_cast<int>(slot);
    call.onEvent = [&](const std::string& name, const Json::Value& data) {
        if (name == "progress") bar.Draw(data["percent"].asInt());
    };
    call.settle = [&] { bar.End(); };
    call.wait = PanelLink::Wait::kSilence;
    return RunCardCommand(
        ctx, call,
        [&](Json::Value& out) {
            CtlCard card;
            if (!card.Open(ctx.devicePath)) return Fail(card.Error());
            std::string reason;
            if (!card.Workspace().UploadEffectFile(path, static_cast<int>(slot), &reason))
                return Fail("effect file refused: " + reason);
            int result = -1;
            MessageQueue::Message m{};
            // Each frame takes at most 3 x 1500 ms; a silent sender for longer than that is gone.
            while (result < 0 && card.Messages().Wait(m, 6000)) {
                if (m.message != kMsgTransfer) continue;
                if (m.wParam == kTransferProgress) bar.Draw(static_cast<int>(m.lParam));
                if (m.wParam == kTransferResult) result = static_cast<int>(m.lParam);
            }
            bar.End();
            if (result != 1)
                return Fail(result < 0 ? "the transfer stopped without a result"
                                       : "载入特效失败 (a frame was not acknowledged)");
            if (slot == 0) card.Workspace().SetFileEffect(Stem(path), path);
            out["uploaded"] = path;
            out["slot"] = static_cast<int>(slot);
            out["result"] = 1;
            return kExitOk;
        },
        [&](const Json::Value& uploaded) {
            if (ctx.json) return PrintJson(uploaded);
            const int to = uploaded["slot"].asInt();
            printf("uploaded %s%s\n", uploaded["uploaded"].asString().c_str(),
                   to ? (" to custom slot " + std::to_string(to)).c_str() : "");
        });
}
