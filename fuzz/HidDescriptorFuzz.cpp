// HID report descriptors as the device opener reads them (hidraw's HIDIOCGRDESC, or the
// first packet of a virtual device) for the report lengths.
#include <cstdint>

#include "FuzzSupport.h"
#include "HidReportDescriptor.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HidReportLengths lengths;
    if (!ParseHidReportDescriptor(data, size, lengths)) return 0;
    if (lengths.inputReportLength < 0 || lengths.outputReportLength < 0 ||
        lengths.featureReportLength < 0)
        fuzz::Violated("a negative report length");
    return 0;
}
