#include "UpgradePhases.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "AppPaths.h"
#include "CloudApi.h"
#include "LibCurlHelper.h"
#include "PackageReader.h"
#include "ServerAnswer.h"
#include "StepSelection.h"

namespace firmware {

namespace {

// The service's answer to the upgrade check is small.
constexpr size_t kServerReplyCapacity = 1024;
constexpr int kWriteAttempts = 3;

bool Stopped(const std::atomic<bool>* stop) {
    return stop && stop->load();
}

// Sleeps ms in short slices; false when stop was set meanwhile.
bool Pause(int ms, const std::atomic<bool>& stop) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop.load()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            end - now, std::chrono::milliseconds(10)));
    }
    return false;
}

}  // namespace

std::string PackagePath() {
    return app_paths::TempFolder() + "/QvLW52_FirmWare.zip";
}

bool CheckServerVersion(UpgradeContext& context, const std::string& url,
                        const std::atomic<bool>* stop) {
    char reply[kServerReplyCapacity];
    // One byte is kept back, as every response buffer keeps room for its terminator.
    const int used =
        CLibCurlHelper::HttpPost(url, cloud::kBodyCheckUpgrade, reply, sizeof reply - 1, stop);
    if (used < 0 || Stopped(stop)) {
        context.errorText = "获取服务器上的信息失败";
        return false;
    }
    return ReadServerAnswer(context, std::string_view(reply, static_cast<size_t>(used)));
}

bool DownloadPackage(UpgradeContext& context, const std::string& packagePath,
                     std::vector<uint8_t>& package, const PostFn& post,
                     const std::atomic<bool>* stop) {
    package.clear();
    post(kMsgProgress, kProgressDownloading, 0);
    // An old package of ours goes; a file of someone else's that cannot be removed stays in
    // the way, and the download refuses to write into it.
    unlink(packagePath.c_str());
    if (!CLibCurlHelper::HttpGetFile(packagePath, context.packageUrl, kMaxPackageSize, stop) ||
        Stopped(stop)) {
        struct stat st {};
        if (lstat(packagePath.c_str(), &st) == 0 && st.st_uid == geteuid())
            unlink(packagePath.c_str());  // a partial package is of no use to anyone
        context.errorText = "下载固件失败！";
        return false;
    }
    if (!ReadPackageFile(context, packagePath, package)) return false;
    post(kMsgProgress, kProgressDownloaded, 0);
    post(kMsgProgress, kProgressUnpacking, 0);
    if (Stopped(stop) || !ExtractPackage(context, package)) return false;
    post(kMsgProgress, kProgressUnpacked, 0);
    return true;
}

bool WriteFirmware(UpgradeContext& context, ICardLink& card, IFirmwareWriter& writer,
                   const PostFn& post, const std::atomic<bool>& stop, const WriteTimings& timings) {
    if (!Pause(timings.startMs, stop)) return false;
    post(kMsgProgress, kProgressConnecting, 0);
    if (!card.IsConnected()) return false;  // nothing to add to what the dialog shows
    // The confirmation asks for one card only; a second one could be the one written.
    if (card.CardsAttached() >= 2) {
        context.errorText = kTwoCardsText;
        return false;
    }
    std::string hardware, firmware;
    if (!card.QueryVersions(hardware, firmware)) {
        context.errorText = "获取设备信息失败";
        return false;
    }
    if (hardware != context.hardwareVersion || firmware != context.firmwareVersion) {
        context.errorText =
            "当前设备的版本不同于之前检测到的设备，无法升级。请稍后再重新打开固件升级界面重新升"
            "级。      ";
        return false;
    }
    context.selectedStep = -1;
    const std::vector<int> steps = WrittenSteps(context);
    if (steps.empty()) return SelectStep(context);  // false, with the text that says so
    std::string why;
    if (!writer.CanWrite(why)) {
        context.errorText = why;
        return false;
    }
    const IFirmwareWriter::Progress progress = [&post](uint64_t code, int64_t value) {
        post(kMsgProgress, code, value);
    };
    for (int index : steps) {
        context.selectedStep = index;
        post(kMsgProgress, kProgressStep, index);
        if (!Pause(timings.stepMs, stop)) return false;
        const FirmwareStep& step = context.steps[static_cast<size_t>(index)];
        bool written = false;
        for (int attempt = 0; attempt < kWriteAttempts && !written; ++attempt) {
            if (attempt > 0 && !Pause(timings.retryMs, stop)) return false;
            written = writer.WriteImage(step, index, progress, stop);
            if (stop.load()) return false;
        }
        if (!written) {
            context.errorText = "固件升级失败：写入固件失败";
            return false;
        }
    }
    return true;
}

}  // namespace firmware
