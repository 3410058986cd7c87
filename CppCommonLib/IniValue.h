#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// How private-profile values hold numbers and byte blobs, matching the Windows functions so
// files move between the two systems.
namespace ini {

// Reads a value as GetPrivateProfileInt does: optional sign, then decimal digits up to the
// first other character; arithmetic wraps at 32 bits. No digits reads as 0.
int ParseInt(std::string_view value);
// A looked-up value read as GetPrivateProfileInt reads it: the default when the key is missing
// or its value empty.
int ParseInt(const std::optional<std::string>& value, int defaultValue);

// A blob: every byte as two upper-case hex digits, then a checksum byte (the sum of all bytes
// modulo 256) as two more.
std::string FormatStruct(const void* data, size_t size);

// Fills data only when value holds exactly size bytes plus a matching checksum; any other
// value (wrong length, bad checksum, a non-hex character) leaves data untouched.
bool ParseStruct(std::string_view value, void* data, size_t size);

}  // namespace ini
