#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Checksum.h"
#include "Commands.h"

namespace {
bool ParseByte(const std::string& text, uint8_t& out) {
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (digits.empty() || digits.size() > 2) return false;
    for (char c : digits)
        if (!isxdigit(static_cast<unsigned char>(c))) return false;
    out = static_cast<uint8_t>(strtoul(digits.c_str(), nullptr, 16));
    return true;
}
}  // namespace

// checksum [--packet N] HEX...: the checksum of the bytes, or of the frame of N bytes they
// begin (zero-filled, checksum over bytes 0..N-2).
int CmdChecksum(const CliContext& ctx) {
    int packet = 0;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string& arg = ctx.args[i];
        if (arg == "--packet") {
            if (i + 1 >= ctx.args.size()) return UsageError("--packet needs a size");
            char* end = nullptr;
            const long n = strtol(ctx.args[++i].c_str(), &end, 10);
            if (*end != '\0' || n < 2 || n > 64)
                return UsageError("--packet takes a frame size from 2 to 64");
            packet = static_cast<int>(n);
            continue;
        }
        uint8_t b;
        if (!ParseByte(arg, b)) return UsageError("not a hex byte: '" + arg + "'");
        bytes.push_back(b);
    }
    if (bytes.empty()) return UsageError("checksum needs at least one hex byte");
    if (packet) {
        if (bytes.size() > static_cast<size_t>(packet - 1))
            return UsageError("more bytes than a frame of " + std::to_string(packet) +
                              " holds before its checksum byte");
        bytes.resize(static_cast<size_t>(packet - 1), 0);
    }
    const uint8_t sum = lw52::Checksum(bytes.data(), bytes.size());
    if (ctx.json)
        printf("{\"checksum\":\"%02X\",\"bytes\":%zu}\n", sum, bytes.size());
    else
        printf("%02X\n", sum);
    return kExitOk;
}
