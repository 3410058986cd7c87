#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "UpgradeContext.h"

// Puts one firmware image on the card. The write phase (attempts, waits, texts, messages) is
// the same whatever the writer; only the writer knows how bytes reach the card.
namespace firmware {

class IFirmwareWriter {
  public:
    // Called with the image's size first, then with the bytes written so far.
    using Progress = std::function<void(uint64_t code, int64_t value)>;

    virtual ~IFirmwareWriter() = default;
    // Whether this writer can put firmware on the card at all; when not, why, in the words
    // the user sees.
    virtual bool CanWrite(std::string& why) = 0;
    // One attempt at writing step's image. Reports kProgressRange with the size, then
    // kProgressPosition as bytes go out. Ends early (false) once stop is set.
    virtual bool WriteImage(const FirmwareStep& step, int index, const Progress& progress,
                            const std::atomic<bool>& stop) = 0;
};

// The card's command set has no command that writes firmware: this writer says so and
// writes nothing, so the upgrade ends as the failure it is.
class CCardFirmwareWriter : public IFirmwareWriter {
  public:
    static constexpr const char* kCannotWriteText = "固件升级失败：此设备不支持通过本程序写入固件";
    bool CanWrite(std::string& why) override;
    bool WriteImage(const FirmwareStep&, int, const Progress&, const std::atomic<bool>&) override;
};

}  // namespace firmware
