#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Report lengths from a HID report descriptor, counted the way the Windows HID capabilities
// count them: the longest report of each kind in bytes, plus one byte for the report id
// (present even when the device uses no report ids).
struct HidReportLengths {
    int inputReportLength = 0;
    int outputReportLength = 0;
    int featureReportLength = 0;
};

// False on a malformed descriptor (truncated item, unbalanced push/pop).
bool ParseHidReportDescriptor(const uint8_t* data, size_t size, HidReportLengths& out);

// A vendor-defined descriptor (usage page 0xFF00, 8-bit fields, no report ids) with
// inputBytes and outputBytes data bytes: what the card presents.
std::vector<uint8_t> MakeVendorReportDescriptor(int inputBytes, int outputBytes);
