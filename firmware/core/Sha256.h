#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// SHA-256 of an extracted image (OpenSSL's), to identify it.
namespace firmware {

// The digest of size bytes as 64 lower-case hexadecimal digits; empty if it cannot be made.
std::string Sha256Hex(const uint8_t* data, size_t size);

}  // namespace firmware
