#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
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

// A read takes only a regular file up to its limit, and nothing can make it wait: a FIFO with
// no writer and a device that never ends are refused at once.
TEST(SafeFile, ReadsOnlyRegularFilesWithinTheLimit) {
    char pattern[] = "/tmp/lw52-safefile-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string sparse = dir + "/sparse";
    std::ofstream(sparse) << "x";
    fs::resize_file(sparse, 1025);  // no blocks: the size alone is over the limit
    const std::string small = dir + "/small";
    std::ofstream(small) << std::string(1024, 'a');

    struct Case {
        std::string path;
        fileio::ReadStatus status;
        size_t bytes;
    } cases[] = {
        {fifo, fileio::ReadStatus::kFailed, 0},
        {"/dev/zero", fileio::ReadStatus::kFailed, 0},
        {sparse, fileio::ReadStatus::kFailed, 0},
        {small, fileio::ReadStatus::kOk, 1024},
        {dir + "/missing", fileio::ReadStatus::kMissing, 0},
    };
    for (const Case& c : cases) {
        std::string bytes = "stale", reason;
        EXPECT_EQ(fileio::ReadWholeFile(c.path, bytes, &reason, 1024), c.status) << c.path;
        EXPECT_EQ(bytes.size(), c.bytes) << c.path;
        EXPECT_EQ(reason.empty(), c.status != fileio::ReadStatus::kFailed) << c.path << reason;
    }
    fs::remove_all(dir);
}

// What a killed writer left behind goes with the next successful write of the same file, once
// it is too old to belong to a write still running; nothing else in the folder is touched.
TEST(SafeFile, AWriteRemovesStaleTemporaryFilesOfItsTarget) {
    char pattern[] = "/tmp/lw52-safefile-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const auto make = [&](const std::string& name, time_t age) {
        const std::string path = dir + "/" + name;
        std::ofstream(path) << "partial";
        const timespec times[2] = {{time(nullptr) - age, 0}, {time(nullptr) - age, 0}};
        utimensat(AT_FDCWD, path.c_str(), times, 0);
        return path;
    };
    const std::string stale = make(".Download.ini.Ab12Cd", 7200);
    const std::string young = make(".Download.ini.Ef34Gh", 60);
    const std::string otherTarget = make(".EffectList.xml.Ij56Kl", 7200);
    const std::string notATemp = make(".Download.ini.old", 7200);

    std::string reason;
    ASSERT_TRUE(fileio::ReplaceFileContents(dir + "/Download.ini", "[Download]\r\n", &reason))
        << reason;
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(young));
    EXPECT_TRUE(fs::exists(otherTarget));
    EXPECT_TRUE(fs::exists(notATemp));
    fs::remove_all(dir);
}
