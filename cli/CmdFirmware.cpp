// firmware inspect PACKAGE.zip [--hardware H] [--firmware F]: a firmware package read as the
// upgrade dialog reads it (steps.xml for the card's hardware version, every image extracted)
// and the steps an upgrade would write for the card's firmware version.
#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "Json.h"
#include "PackageReader.h"
#include "Sha256.h"
#include "StepSelection.h"
#include "UpgradeContext.h"

namespace {

constexpr const char* kInspectUsage =
    "usage: firmware inspect PACKAGE.zip [--hardware H] [--firmware F]";

std::string Digest(const std::vector<uint8_t>& image) {
    return firmware::Sha256Hex(image.data(), image.size());
}

// The fields firmware and flash steps share, with the image's size and digest.
template <typename Entry>
Json::Value EntryJson(const Entry& entry) {
    Json::Value out;
    out["needVersion"] = entry.needVersion;
    out["version"] = entry.version;
    out["file"] = entry.file;
    out["size"] = static_cast<Json::UInt64>(entry.image.size());
    out["sha256"] = Digest(entry.image);
    return out;
}

Json::Value FlashJson(const firmware::FlashStep& flash) {
    Json::Value out = EntryJson(flash);
    out["addr"] = flash.addr;
    out["address"] = flash.address;
    return out;
}

std::string IndexList(const std::vector<int>& indexes) {
    std::string text;
    for (int i : indexes) text += (text.empty() ? "" : ", ") + std::to_string(i);
    return text.empty() ? "none" : text;
}

void PrintInspection(const std::string& path, const firmware::UpgradeContext& context, int first,
                     const std::vector<int>& written, const std::string& selectionError) {
    printf("%s: firmware %s for hardware %s\n", path.c_str(), context.latestVersion.c_str(),
           context.hardwareVersion.c_str());
    printf("steps:\n");
    for (size_t i = 0; i < context.steps.size(); ++i) {
        const firmware::FirmwareStep& s = context.steps[i];
        printf("  %zu  NeedVersion %s  version %s  %s  %zu bytes  sha256 %s\n", i,
               s.needVersion.c_str(), s.version.c_str(), s.file.c_str(), s.image.size(),
               Digest(s.image).c_str());
    }
    printf("flashes:\n");
    for (size_t i = 0; i < context.flashes.size(); ++i) {
        const firmware::FlashStep& f = context.flashes[i];
        printf("  %zu  NeedVersion %s  version %s  %s  at 0x%X  %zu bytes  sha256 %s\n", i,
               f.needVersion.c_str(), f.version.c_str(), f.file.c_str(), f.address, f.image.size(),
               Digest(f.image).c_str());
    }
    if (first < 0)
        printf("for firmware %s: %s\n", context.firmwareVersion.c_str(), selectionError.c_str());
    else
        printf("for firmware %s: step %d first; steps written: %s\n",
               context.firmwareVersion.c_str(), first, IndexList(written).c_str());
}

int CmdInspect(const CliContext& ctx, const std::vector<std::string>& args) {
    firmware::UpgradeContext context;  // versions "1.0" as before the card is read
    std::string path;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--hardware" || arg == "--firmware") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return UsageError(arg + " needs a version such as 1.0");
            (arg == "--hardware" ? context.hardwareVersion : context.firmwareVersion) = args[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option '" + arg + "'");
        } else if (path.empty()) {
            path = arg;
        } else {
            return UsageError(kInspectUsage);
        }
    }
    if (path.empty()) return UsageError(kInspectUsage);

    std::vector<uint8_t> package;
    const bool read = firmware::ReadPackageFile(context, path, package) &&
                      firmware::ExtractPackage(context, package);
    if (!read) {
        if (ctx.json) {
            Json::Value out;
            out["ok"] = false;
            out["error"] = context.errorText;
            PrintJson(out);
        }
        return Fail(path + ": " + context.errorText);
    }

    std::string selectionError;
    if (!firmware::SelectStep(context)) selectionError = context.errorText;
    const int first = context.selectedStep;
    const std::vector<int> written = firmware::WrittenSteps(context);
    if (!ctx.json) {
        PrintInspection(path, context, first, written, selectionError);
        return kExitOk;
    }
    Json::Value out;
    out["ok"] = true;
    out["latestVersion"] = context.latestVersion;
    out["steps"] = Json::Value(Json::arrayValue);
    for (const firmware::FirmwareStep& step : context.steps) out["steps"].append(EntryJson(step));
    out["flashes"] = Json::Value(Json::arrayValue);
    for (const firmware::FlashStep& flash : context.flashes)
        out["flashes"].append(FlashJson(flash));
    Json::Value chosen;
    chosen["first"] = first;
    chosen["written"] = Json::Value(Json::arrayValue);
    for (int i : written) chosen["written"].append(i);
    chosen["error"] = first < 0 ? Json::Value(selectionError) : Json::Value();
    out["selection"] = chosen;
    PrintJson(out);
    return kExitOk;
}

}  // namespace

int CmdFirmwareCheck(const CliContext& ctx);    // CmdFirmwareUpgrade.cpp
int CmdFirmwareUpgrade(const CliContext& ctx);  // CmdFirmwareUpgrade.cpp

int CmdFirmware(const CliContext& ctx) {
    const std::string sub = ctx.args.empty() ? std::string() : ctx.args[0];
    if (sub == "inspect")
        return CmdInspect(ctx, std::vector<std::string>(ctx.args.begin() + 1, ctx.args.end()));
    if (sub == "check") return CmdFirmwareCheck(ctx);
    if (sub == "upgrade") return CmdFirmwareUpgrade(ctx);
    return UsageError(
        "usage: firmware check | inspect PACKAGE.zip [--hardware H] [--firmware F] "
        "| upgrade [--package FILE] [--yes]");
}
