// doctor [--devices]: why the card (or the sound server, the cloud service, the user's folder)
// does not work, one line per check with the commands that fix it.
#include <cstdio>

#include "Commands.h"
#include "ControlResults.h"
#include "Doctor.h"
#include "Json.h"
#include "PanelLink.h"

namespace {

// The running panel of this user, and whether it holds a card.
doctor::PanelState AskPanel(const CliContext& ctx) {
    doctor::PanelState state;
    PanelLink link;
    std::string why;
    if (!link.Connect(control::SocketPath(), why)) {
        if (ctx.verbose && !why.empty()) fprintf(stderr, "lw52ctl: %s\n", why.c_str());
        return state;
    }
    state.running = true;
    Json::Value request, result;
    request["op"] = "info";
    state.attached = link.Call(request, result, state.detail);
    return state;
}

}  // namespace

int CmdDoctor(const CliContext& ctx) {
    doctor::Options options;
    for (const std::string& arg : ctx.args) {
        if (arg == "--devices")
            options.devicesOnly = true;
        else
            return UsageError("usage: doctor [--devices]");
    }
    doctor::Environment env = doctor::Environment::FromProcess();
    env.panel = AskPanel(ctx);
    const std::vector<doctor::Finding> findings = doctor::Diagnose(env, options);

    int problems = 0;
    Json::Value checks(Json::arrayValue);
    for (const doctor::Finding& f : findings) {
        if (f.status == doctor::Status::kProblem) ++problems;
        if (ctx.json) {
            Json::Value check;
            check["id"] = f.id;
            check["status"] = doctor::StatusName(f.status);
            check["text"] = f.text;
            check["fix"] = f.fix;
            if (!f.device.empty()) check["device"] = f.device;
            checks.append(check);
        } else {
            const std::string fix = f.fix.empty() ? "" : "  Fix: " + f.fix;
            printf("%-7s  %-12s  %s%s\n", doctor::StatusName(f.status), f.id.c_str(),
                   f.text.c_str(), fix.c_str());
        }
    }
    if (ctx.json) {
        Json::Value out;
        out["ok"] = problems == 0;
        out["problems"] = problems;
        out["checks"] = checks;
        PrintJson(out);
    }
    fflush(stdout);
    if (problems == 0) return kExitOk;
    return Fail(std::to_string(problems) + (problems == 1 ? " problem" : " problems") + " found");
}
