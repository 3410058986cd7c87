#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "SafeFile.h"

namespace fs = std::filesystem;

namespace {

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

// A copy replaces its target whole or not at all: a failure leaves the old target and no
// temporary file beside it.
TEST(SafeFile, CopyReplacesWholeOrLeavesTheTargetAlone) {
    char pattern[] = "/tmp/lw52-safefile-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string source = dir + "/source.mp3";
    const std::string target = dir + "/saved.mp3";
    std::string big(3 * 65536 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    std::ofstream(source, std::ios::binary) << big;
    std::ofstream(target, std::ios::binary) << "old take";

    std::string reason;
    ASSERT_TRUE(fileio::CopyFileReplacing(source, target, &reason)) << reason;
    EXPECT_EQ(Read(target), big);

    struct Case {
        const char* what;
        std::string source, target;
    } cases[] = {
        {"missing source", dir + "/missing.mp3", target},
        {"missing folder", source, dir + "/no/such/folder.mp3"},
        {"not a regular file", source, "/dev/full"},
    };
    std::ofstream(target, std::ios::binary) << "old take";
    for (const Case& c : cases) {
        reason.clear();
        EXPECT_FALSE(fileio::CopyFileReplacing(c.source, c.target, &reason)) << c.what;
        EXPECT_FALSE(reason.empty()) << c.what;
    }
    EXPECT_EQ(Read(target), "old take");
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++files;
    EXPECT_EQ(files, 2u) << "no temporary file is left behind";
    fs::remove_all(dir);
}
