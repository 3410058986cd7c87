#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The committed test packages (make-packages.sh) and a reader for them.
inline std::string PackagePath(const std::string& name) {
    return std::string(LW52_FIRMWARE_PACKAGES) + "/" + name;
}

inline std::vector<uint8_t> LoadPackage(const std::string& name) {
    std::ifstream in(PackagePath(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string Text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}
