// frames effect-file FILE [--target N] [--packet N]: the frames an effect file becomes.
#include <cstdio>
#include <cstdlib>

#include "Checksum.h"
#include "Commands.h"
#include "EffectFile.h"
#include "EffectFileFrames.h"
#include "Json.h"

namespace {
bool ParseInt(const std::string& text, long min, long max, long& out) {
    char* end = nullptr;
    out = strtol(text.c_str(), &end, 0);
    return !text.empty() && *end == '\0' && out >= min && out <= max;
}

std::string Hex(const Frame64& frame, int packet) {
    std::string out;
    char byte[4];
    for (int i = 0; i < packet; ++i) {
        snprintf(byte, sizeof byte, "%02X", frame[static_cast<size_t>(i)]);
        out += byte;
    }
    return out;
}
}  // namespace

int CmdFrames(const CliContext& ctx) {
    if (ctx.args.size() < 2 || ctx.args[0] != "effect-file")
        return UsageError("usage: frames effect-file FILE [--target N] [--packet 64|40]");
    long target = 0, packet = 64;
    for (size_t i = 2; i < ctx.args.size(); ++i) {
        const std::string& opt = ctx.args[i];
        if (i + 1 >= ctx.args.size()) return UsageError(opt + " needs a value");
        if (opt == "--target") {
            if (!ParseInt(ctx.args[++i], 0, 3, target)) return UsageError("--target takes 0..3");
        } else if (opt == "--packet") {
            if (!ParseInt(ctx.args[++i], 40, 64, packet) || (packet != 40 && packet != 64))
                return UsageError("--packet takes 64 or 40");
        } else {
            return UsageError("unknown option '" + opt + "'");
        }
    }
    lw52::EffectFile file;
    std::string reason;
    if (!lw52::ReadEffectFile(ctx.args[1], file, reason))
        return Fail("effect file refused: " + reason);
    lw52::EffectFileFrameInfo info;
    const auto frames = lw52::BuildEffectFileFrames(file, static_cast<uint16_t>(target),
                                                    static_cast<int>(packet), &info);
    if (frames.empty() || !info.headerMatchesData)
        return Fail("effect file refused: its blocks are larger than an upload can describe");
    // The checksum is stamped when a frame is sent; show it as the card will see it.
    const int n = static_cast<int>(packet);
    std::vector<Frame64> stamped = frames;
    for (auto& f : stamped) lw52::StampChecksum(f.data(), n);
    if (ctx.json) {
        Json::Value out;
        out["packetSize"] = n;
        out["frames04"] = info.frames04;
        out["frames06"] = info.frames06;
        out["frames16"] = info.frames16;
        Json::Value list(Json::arrayValue);
        for (const auto& f : stamped) list.append(Hex(f, n));
        out["frames"] = list;
        PrintJson(out);
    } else {
        for (const auto& f : stamped) printf("%s\n", Hex(f, n).c_str());
    }
    return kExitOk;
}
