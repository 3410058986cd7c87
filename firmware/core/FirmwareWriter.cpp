#include "FirmwareWriter.h"

namespace firmware {

bool CCardFirmwareWriter::CanWrite(std::string& why) {
    why = kCannotWriteText;
    return false;
}

bool CCardFirmwareWriter::WriteImage(const FirmwareStep&, int, const Progress&,
                                     const std::atomic<bool>&) {
    return false;
}

}  // namespace firmware
