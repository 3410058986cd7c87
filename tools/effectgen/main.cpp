// lw52-effectgen OUT.dteff --blocks N04 N06 N16 [--param NUMBER LOW HIGH VALUE]... [--seed S]
// Writes a version-2 effect file with pseudo-random block contents and the given parameter
// entries, then reads it back so that only files the control panel accepts are written.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "EffectFile.h"
#include "EffectFileMaker.h"

namespace {

constexpr const char* kUsage =
    "usage: lw52-effectgen OUT.dteff --blocks N04 N06 N16 "
    "[--param NUMBER LOW HIGH VALUE]... [--seed S]\n";

bool ParseLong(const char* text, long min, long max, long& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && out >= min && out <= max;
}

bool ParseFloat(const char* text, float& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtof(text, &end);
    return errno == 0 && end != text && *end == '\0';
}

bool ParseInt32(const char* text, int32_t& out) {
    long value = 0;
    if (!ParseLong(text, INT32_MIN, INT32_MAX, value)) return false;
    out = static_cast<int32_t>(value);
    return true;
}

// Returns false with a message on stderr.
bool ParseArgs(int argc, char** argv, std::string& out, lw52::EffectFileRecipe& recipe) {
    bool haveBlocks = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto need = [&](int count) {
            if (i + count < argc) return true;
            std::fprintf(stderr, "%s needs %d values\n", arg.c_str(), count);
            return false;
        };
        if (arg == "--blocks") {
            if (!need(3)) return false;
            long counts[3];
            for (long& count : counts)
                if (!ParseLong(argv[++i], 0, 100000, count)) {
                    std::fprintf(stderr, "bad entry count '%s' (0..100000)\n", argv[i]);
                    return false;
                }
            recipe.entries04 = static_cast<int>(counts[0]);
            recipe.entries06 = static_cast<int>(counts[1]);
            recipe.entries16 = static_cast<int>(counts[2]);
            haveBlocks = true;
        } else if (arg == "--param") {
            if (!need(4)) return false;
            lw52::EffectFileParam param;
            if (!ParseInt32(argv[i + 1], param.number) || !ParseInt32(argv[i + 2], param.low) ||
                !ParseInt32(argv[i + 3], param.high) || !ParseFloat(argv[i + 4], param.value)) {
                std::fprintf(stderr, "bad --param %s %s %s %s\n", argv[i + 1], argv[i + 2],
                             argv[i + 3], argv[i + 4]);
                return false;
            }
            recipe.params.push_back(param);
            i += 4;
        } else if (arg == "--seed") {
            long seed = 0;
            if (!need(1) || !ParseLong(argv[++i], 0, UINT32_MAX, seed)) {
                std::fprintf(stderr, "bad --seed\n");
                return false;
            }
            recipe.seed = static_cast<uint32_t>(seed);
        } else if (arg.starts_with("--") || !out.empty()) {
            std::fprintf(stderr, "unexpected argument '%s'\n", arg.c_str());
            return false;
        } else {
            out = arg;
        }
    }
    if (out.empty() || !haveBlocks) {
        std::fputs(kUsage, stderr);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string path;
    lw52::EffectFileRecipe recipe;
    if (!ParseArgs(argc, argv, path, recipe)) return 2;

    const std::vector<uint8_t> bytes = lw52::MakeEffectFileBytes(recipe);
    lw52::EffectFile parsed;
    std::string reason;
    if (!lw52::ParseEffectFile(bytes.data(), bytes.size(), parsed, reason)) {
        std::fprintf(stderr, "refusing to write an unusable file: %s\n", reason.c_str());
        return 1;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "cannot create %s: %s\n", path.c_str(), std::strerror(errno));
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("%s: %zu bytes, %d/%d/%d entries in blocks 0x04/0x06/0x16, %zu parameters\n",
                path.c_str(), bytes.size(), recipe.entries04, recipe.entries06, recipe.entries16,
                recipe.params.size());
    return 0;
}
