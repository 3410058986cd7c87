#include "FirmwareVersion.h"

#include <array>
#include <cstdio>

namespace firmware {

namespace {

constexpr int kParts = 4;
constexpr uint64_t kLargest = 0xFFFFFFFFu;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::array<uint64_t, kParts> Parts(std::string_view text) {
    std::array<uint64_t, kParts> parts{};
    size_t at = 0;
    for (int i = 0; i < kParts; ++i) {
        while (at < text.size() && IsBlank(text[at])) ++at;
        if (at >= text.size() || text[at] < '0' || text[at] > '9') break;
        uint64_t value = 0;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
            value = value > kLargest ? value : value * 10 + static_cast<uint64_t>(text[at] - '0');
        parts[i] = value > kLargest ? kLargest : value;
        if (at >= text.size() || text[at] != '.') break;
        ++at;
    }
    return parts;
}

}  // namespace

std::string ServiceVersionText(int64_t v) {
    char text[48];
    snprintf(text, sizeof text, "%lld.%lld", static_cast<long long>(v / 1000000),
             static_cast<long long>(v % 1000000 / 1000));
    return text;
}

int CompareVersions(std::string_view a, std::string_view b) {
    const auto x = Parts(a);
    const auto y = Parts(b);
    for (int i = 0; i < kParts; ++i)
        if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
    return 0;
}

bool ConditionHolds(std::string_view condition, std::string_view version) {
    if (condition.empty()) return false;
    const int order = CompareVersions(version, condition.substr(1));
    switch (condition[0]) {
        case 'E':
            return order == 0;
        case 'G':
            return order > 0;
        case 'L':
            return order < 0;
        default:
            return false;
    }
}

}  // namespace firmware
