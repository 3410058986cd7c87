#include "IniValue.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace ini {
namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
}  // namespace

int ParseInt(std::string_view value) {
    size_t i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
    uint32_t result = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        result = result * 10u + static_cast<uint32_t>(value[i] - '0');
    if (negative) result = 0u - result;
    return static_cast<int>(result);  // modular since C++20
}

int ParseInt(const std::optional<std::string>& value, int defaultValue) {
    if (!value || value->empty()) return defaultValue;
    return ParseInt(*value);
}

std::string FormatStruct(const void* data, size_t size) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::string out;
    out.reserve(2 * size + 2);
    uint8_t sum = 0;
    const auto put = [&out](uint8_t b) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    };
    for (size_t i = 0; i < size; ++i) {
        put(bytes[i]);
        sum = static_cast<uint8_t>(sum + bytes[i]);
    }
    put(sum);
    return out;
}

bool ParseStruct(std::string_view value, void* data, size_t size) {
    if (value.size() != 2 * size + 2) return false;
    std::vector<uint8_t> bytes(size + 1);
    uint8_t sum = 0;
    for (size_t i = 0; i <= size; ++i) {
        const int hi = HexDigit(value[2 * i]);
        const int lo = HexDigit(value[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes[i] = static_cast<uint8_t>(hi << 4 | lo);
        if (i < size) sum = static_cast<uint8_t>(sum + bytes[i]);
    }
    if (sum != bytes[size]) return false;
    if (size > 0) std::memcpy(data, bytes.data(), size);
    return true;
}

}  // namespace ini
