#include "HidReportDescriptor.h"

#include <map>

namespace {
struct GlobalState {
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint32_t reportId = 0;
};

enum Kind { kInput = 0, kOutput = 1, kFeature = 2 };
}  // namespace

bool ParseHidReportDescriptor(const uint8_t* data, size_t size, HidReportLengths& out) {
    out = HidReportLengths{};
    GlobalState global;
    std::vector<GlobalState> stack;
    // bits per (kind, report id)
    std::map<uint32_t, uint64_t> bits[3];
    bool usesReportIds = false;

    size_t pos = 0;
    while (pos < size) {
        const uint8_t prefix = data[pos];
        if (prefix == 0xFE) {  // long item: size byte, tag byte, data
            if (pos + 2 >= size) return false;
            const size_t len = data[pos + 1];
            pos += 3 + len;
            if (pos > size) return false;
            continue;
        }
        const size_t dataLen = (prefix & 0x03) == 3 ? 4 : (prefix & 0x03);
        if (pos + 1 + dataLen > size) return false;
        uint32_t value = 0;
        for (size_t i = 0; i < dataLen; ++i)
            value |= static_cast<uint32_t>(data[pos + 1 + i]) << (8 * i);
        const uint8_t type = (prefix >> 2) & 0x03;  // 0 main, 1 global, 2 local
        const uint8_t tag = (prefix >> 4) & 0x0F;
        pos += 1 + dataLen;

        if (type == 0) {
            int kind = -1;
            if (tag == 0x8) kind = kInput;
            if (tag == 0x9) kind = kOutput;
            if (tag == 0xB) kind = kFeature;
            if (kind >= 0)
                bits[kind][global.reportId] +=
                    static_cast<uint64_t>(global.reportSize) * global.reportCount;
        } else if (type == 1) {
            switch (tag) {
                case 0x7:
                    global.reportSize = value;
                    break;
                case 0x9:
                    global.reportCount = value;
                    break;
                case 0x8:
                    global.reportId = value;
                    usesReportIds = true;
                    break;
                case 0xA:
                    stack.push_back(global);
                    break;
                case 0xB:
                    if (stack.empty()) return false;
                    global = stack.back();
                    stack.pop_back();
                    break;
                default:
                    break;
            }
        }
    }
    (void)usesReportIds;  // the id byte is counted either way
    auto longest = [](const std::map<uint32_t, uint64_t>& reports) {
        uint64_t maxBits = 0;
        for (const auto& [id, n] : reports) maxBits = n > maxBits ? n : maxBits;
        if (maxBits == 0) return 0;
        const uint64_t bytes = (maxBits + 7) / 8 + 1;
        return bytes > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(bytes);
    };
    out.inputReportLength = longest(bits[kInput]);
    out.outputReportLength = longest(bits[kOutput]);
    out.featureReportLength = longest(bits[kFeature]);
    return true;
}

std::vector<uint8_t> MakeVendorReportDescriptor(int inputBytes, int outputBytes) {
    auto count = [](int n) {
        // Report Count with a 1- or 2-byte value.
        if (n <= 0xFF) return std::vector<uint8_t>{0x95, static_cast<uint8_t>(n)};
        return std::vector<uint8_t>{0x96, static_cast<uint8_t>(n & 0xFF),
                                    static_cast<uint8_t>(n >> 8)};
    };
    std::vector<uint8_t> d = {
        0x06, 0x00, 0xFF,  // Usage Page (Vendor 0xFF00)
        0x09, 0x01,        // Usage (1)
        0xA1, 0x01,        // Collection (Application)
        0x15, 0x00,        //   Logical Minimum (0)
        0x26, 0xFF, 0x00,  //   Logical Maximum (255)
        0x75, 0x08,        //   Report Size (8)
    };
    auto in = count(inputBytes);
    d.insert(d.end(), in.begin(), in.end());
    d.insert(d.end(), {0x09, 0x01, 0x81, 0x02});  // Usage (1), Input (Data,Var,Abs)
    auto outCount = count(outputBytes);
    d.insert(d.end(), outCount.begin(), outCount.end());
    d.insert(d.end(), {0x09, 0x02, 0x91, 0x02});  // Usage (2), Output (Data,Var,Abs)
    d.push_back(0xC0);                            // End Collection
    return d;
}
