#pragma once

#include <cstdint>
#include <functional>

// What the upgrade workers tell the dialog: a phase's result (1127) and progress (1128).
namespace firmware {

constexpr uint32_t kMsgPhaseResult = 1127;  // wParam: the phase; lParam: 1 success, 0 failure
constexpr uint32_t kMsgProgress = 1128;     // wParam: a progress code; lParam: its argument

// Phases as the result message names them.
constexpr uint64_t kPhaseServer = 1;
constexpr uint64_t kPhaseDownload = 2;  // download and unpack
constexpr uint64_t kPhaseWrite = 3;

// Progress codes.
constexpr uint64_t kProgressPreparing = 3;
constexpr uint64_t kProgressDownloading = 7;
constexpr uint64_t kProgressDownloaded = 8;  // the package is in memory
constexpr uint64_t kProgressUnpacking = 11;
constexpr uint64_t kProgressUnpacked = 12;
constexpr uint64_t kProgressConnecting = 21;
constexpr uint64_t kProgressStep = 22;      // lParam: the step's index
constexpr uint64_t kProgressRange = 29;     // lParam: the image's size in bytes
constexpr uint64_t kProgressPosition = 30;  // lParam: bytes written so far

// Posts one message to the dialog; called on the workers' threads and must not block.
using PostFn = std::function<void(uint32_t message, uint64_t wParam, int64_t lParam)>;

}  // namespace firmware
