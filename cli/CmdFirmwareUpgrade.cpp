// firmware check: the newest firmware the service offers.
// firmware upgrade [--package FILE] [--yes]: the upgrade dialog's phases from the shell: the
// card and its versions, the service and the package (or a package file), the versions, then
// the write phase with the same checks, texts and honesty as the dialog.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "AppPaths.h"
#include "CardLink.h"
#include "CardSession.h"
#include "CloudApi.h"
#include "Commands.h"
#include "FirmwareVersion.h"
#include "FirmwareWriter.h"
#include "Json.h"
#include "PackageReader.h"
#include "SettingsBackup.h"
#include "UpgradePhases.h"

namespace {

constexpr const char* kUpgradeUsage = "usage: firmware upgrade [--package FILE] [--yes]";
constexpr const char* kNotes =
    "注意事项\n"
    "1.升级固件有损坏设备的风险,请慎重升级。\n"
    "2.升级时请勿拔出设备,请勿移动设备或碰触USB线。\n"
    "3.升级时电脑不能插入两个及两个以上声卡。\n"
    "4.升级过程中请勿关闭固件升级窗口。\n";

std::string CheckUrl() {
    return cloud::ApiUrl(cloud::kPathCheckUpgrade, app_paths::SettingsPath());
}

// Ctrl+C (or SIGTERM) ends the running phase within about a second; the package then goes.
std::atomic<bool> g_stop{false};
void OnStop(int) {
    g_stop = true;
}

struct StopOnSignals {
    StopOnSignals() {
        g_stop = false;
        std::signal(SIGINT, OnStop);
        std::signal(SIGTERM, OnStop);
    }
    ~StopOnSignals() {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
    }
};

// The outcome's JSON with the versions known so far.
Json::Value Outcome(bool ok, const firmware::UpgradeContext& c) {
    Json::Value out;
    out["ok"] = ok;
    out["hardwareVersion"] = c.hardwareVersion;
    out["firmwareVersion"] = c.firmwareVersion;
    out["latestVersion"] = c.latestVersion;
    return out;
}

// Prints the phase's failure (JSON or a line on stderr) and returns the exit code.
int PhaseFailed(const CliContext& ctx, const char* phase, const firmware::UpgradeContext& c,
                const std::string& backup = {}) {
    const std::string error = g_stop ? std::string("interrupted") : c.errorText;
    if (ctx.json) {
        Json::Value out = Outcome(false, c);
        out["phase"] = phase;
        out["error"] = error;
        if (!backup.empty()) out["backup"] = backup;
        PrintJson(out);
    }
    return Fail(error.empty() ? std::string(phase) + " failed" : error);
}

// Progress of the worker phases on stderr, one line per action and a bar while writing.
class ProgressPrinter {
  public:
    ProgressPrinter(const firmware::UpgradeContext& context, bool quiet)
        : m_context(context), m_quiet(quiet), m_terminal(isatty(STDERR_FILENO)) {}
    void operator()(uint32_t message, uint64_t code, int64_t value) {
        if (m_quiet || message != firmware::kMsgProgress) return;
        switch (code) {
            case firmware::kProgressDownloading:
                Line("正在下载固件文件...");
                break;
            case firmware::kProgressUnpacking:
                Line("正在解压文件...");
                break;
            case firmware::kProgressConnecting:
                Line("正在连接设备...");
                break;
            case firmware::kProgressStep: {
                const size_t i = static_cast<size_t>(value);
                Line("正在写入固件V" +
                     (i < m_context.steps.size() ? m_context.steps[i].version : "") + "...");
                break;
            }
            case firmware::kProgressRange:
                m_total = value;
                break;
            case firmware::kProgressPosition:
                if (m_terminal && m_total > 0) {
                    fprintf(stderr, "\r%lld/%lld bytes %3lld%%", static_cast<long long>(value),
                            static_cast<long long>(m_total),
                            static_cast<long long>(value * 100 / m_total));
                    fflush(stderr);
                }
                break;
            default:
                break;
        }
    }

  private:
    void Line(const std::string& text) { fprintf(stderr, "%s\n", text.c_str()); }
    const firmware::UpgradeContext& m_context;
    bool m_quiet;
    bool m_terminal;
    int64_t m_total = 0;
};

bool Confirmed(bool yes) {
    fputs(kNotes, stderr);
    if (yes) return true;
    if (!isatty(STDIN_FILENO)) return false;
    fprintf(stderr, "继续升级？[y/N] ");
    std::string answer;
    std::getline(std::cin, answer);
    return answer == "y" || answer == "Y";
}

}  // namespace

int CmdFirmwareCheck(const CliContext& ctx) {
    if (ctx.args.size() != 1) return UsageError("usage: firmware check");
    firmware::UpgradeContext context;
    if (!firmware::CheckServerVersion(context, CheckUrl()))
        return PhaseFailed(ctx, "server", context);
    if (ctx.json) {
        Json::Value out;
        out["ok"] = true;
        out["latestVersion"] = context.latestVersion;
        out["url"] = context.packageUrl;
        PrintJson(out);
    } else {
        printf("newest firmware %s: %s\n", context.latestVersion.c_str(),
               context.packageUrl.c_str());
    }
    return kExitOk;
}

int CmdFirmwareUpgrade(const CliContext& ctx) {
    std::string packageFile;
    bool yes = false;
    for (size_t i = 1; i < ctx.args.size(); ++i) {
        const std::string& arg = ctx.args[i];
        if (arg == "--yes") {
            yes = true;
        } else if (arg == "--package" && i + 1 < ctx.args.size() && !ctx.args[i + 1].empty()) {
            packageFile = ctx.args[++i];
        } else {
            return UsageError(kUpgradeUsage);
        }
    }

    firmware::UpgradeContext context;
    CardSession session;
    if (!session.Open(ctx.devicePath)) {
        context.errorText = "未连接设备，请先连接设备";
        if (!session.Error().empty()) context.errorText += " (" + session.Error() + ")";
        return PhaseFailed(ctx, "card", context);
    }
    firmware::CProtocolCardLink card(&session.Protocol());
    if (!card.QueryVersions(context.hardwareVersion, context.firmwareVersion)) {
        context.errorText = "获取设备信息失败";
        return PhaseFailed(ctx, "card", context);
    }
    if (!ctx.json)
        fprintf(stderr, "当前固件版本：%s  当前硬件版本：%s\n", context.firmwareVersion.c_str(),
                context.hardwareVersion.c_str());

    ProgressPrinter printer(context, ctx.json);
    const firmware::PostFn post = [&printer](uint32_t m, uint64_t code, int64_t value) {
        printer(m, code, value);
    };
    std::vector<uint8_t> package;
    const std::string downloaded = packageFile.empty() ? firmware::PackagePath() : std::string();
    struct RemoveOnExit {
        std::string path;
        ~RemoveOnExit() {
            if (!path.empty()) unlink(path.c_str());
        }
    } cleanup{downloaded};
    const StopOnSignals signals;
    if (packageFile.empty()) {
        if (!ctx.json) fprintf(stderr, "正在连接服务器...\n");
        if (!firmware::CheckServerVersion(context, CheckUrl(), &g_stop))
            return PhaseFailed(ctx, "server", context);
        if (!firmware::DownloadPackage(context, downloaded, package, post, &g_stop))
            return PhaseFailed(ctx, "download", context);
    } else if (!firmware::ReadPackageFile(context, packageFile, package) ||
               !firmware::ExtractPackage(context, package)) {
        return PhaseFailed(ctx, "download", context);
    }

    const bool newer =
        firmware::CompareVersions(context.firmwareVersion, context.latestVersion) < 0;
    if (!newer) {
        if (ctx.json) {
            Json::Value out = Outcome(true, context);
            out["upgraded"] = false;
            PrintJson(out);
        } else {
            printf("最新固件版本：%s\n固件已经是最新\n", context.latestVersion.c_str());
        }
        return kExitOk;
    }
    if (!ctx.json) fprintf(stderr, "最新固件版本：%s\n", context.latestVersion.c_str());
    if (!Confirmed(yes) || g_stop) return Fail("not upgraded: confirm with --yes (or answer y)");

    std::string backup, reason;
    if (!firmware::BackUpSettings(backup, reason)) {
        context.errorText = std::string(firmware::kBackupFailedText) + " " + reason;
        return PhaseFailed(ctx, "write", context);
    }
    if (!backup.empty() && !ctx.json) fprintf(stderr, "设置已备份到 %s\n", backup.c_str());
    firmware::CCardFirmwareWriter writer;
    if (!ctx.json) fprintf(stderr, "正在检测升级条件...\n");
    if (!firmware::WriteFirmware(context, card, writer, post, g_stop))
        return PhaseFailed(ctx, "write", context, backup);
    // Only a writer that can write reaches this.
    if (ctx.json) {
        Json::Value out = Outcome(true, context);
        out["upgraded"] = true;
        if (!backup.empty()) out["backup"] = backup;
        PrintJson(out);
    } else {
        printf("升级完成，请拔掉声卡设备的USB，然后重新插上USB，重启声卡设备。\n");
    }
    return kExitOk;
}
