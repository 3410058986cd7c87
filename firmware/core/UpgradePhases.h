#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "CardLink.h"
#include "FirmwareWriter.h"
#include "UpgradeContext.h"
#include "UpgradeMessages.h"

// The upgrade's worker phases: ask the service, fetch and unpack the package, write the
// firmware. Each runs on a worker thread, leaves the reason of a failure in errorText, posts
// its progress codes and returns its result (the caller posts kMsgPhaseResult). Setting stop
// ends a phase early as a failure.
namespace firmware {

// The package's place in the temporary folder: TempFolder() + "/QvLW52_FirmWare.zip".
std::string PackagePath();

// POST of the upgrade check to url (the service's full address of the call).
bool CheckServerVersion(UpgradeContext& context, const std::string& url,
                        const std::atomic<bool>* stop = nullptr);

// Downloads packageUrl to packagePath, reads it into package and unpacks it into the context
// (steps, flashes, images). Posts 7, 8, 11 and, after a successful unpacking, 12.
bool DownloadPackage(UpgradeContext& context, const std::string& packagePath,
                     std::vector<uint8_t>& package, const PostFn& post,
                     const std::atomic<bool>* stop = nullptr);

// The pauses of the write phase; tests shorten them.
struct WriteTimings {
    int startMs = 300;  // before the card is looked at
    int stepMs = 500;   // after a step is announced
    int retryMs = 500;  // between attempts
};

// The write phase: the card still attached and alone, its versions unchanged since they were
// shown, then every step whose NeedVersion holds written in order (three attempts each).
// Nothing is written when the writer cannot write.
bool WriteFirmware(UpgradeContext& context, ICardLink& card, IFirmwareWriter& writer,
                   const PostFn& post, const std::atomic<bool>& stop,
                   const WriteTimings& timings = {});

// Texts of the write phase beyond the package's own.
constexpr const char* kTwoCardsText =
    "固件升级失败：电脑上插入了两个或两个以上声卡，请只保留要升级的声卡后重试。";

}  // namespace firmware
