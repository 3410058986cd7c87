#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// SHA-256 (FIPS 180-4), to identify an extracted image.
namespace firmware {

class Sha256 {
  public:
    void Update(const uint8_t* data, size_t size);
    std::array<uint8_t, 32> Finish();

  private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> state_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                      0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::array<uint8_t, 64> buffer_{};
    size_t buffered_ = 0;
    uint64_t length_ = 0;  // bytes
};

// The digest of size bytes as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const uint8_t* data, size_t size);

}  // namespace firmware
