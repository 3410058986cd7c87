// The server check and the package download against the fixture service, with its faults.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "ChildProcess.h"
#include "CloudApi.h"
#include "CloudFixture.h"
#include "UpgradePhases.h"

namespace {

class UpgradePhasesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        LW52_REQUIRE_CLOUD_FIXTURE();
        ASSERT_TRUE(cloud.Start(""));
        package = dir.Path() + "/QvLW52_FirmWare.zip";
    }
    bool Check() {
        return firmware::CheckServerVersion(context, cloud::ApiUrl(cloud::kPathCheckUpgrade));
    }
    bool Download() {
        codes.clear();
        return firmware::DownloadPackage(context, package, bytes,
                                         [this](uint32_t message, uint64_t code, int64_t) {
                                             std::lock_guard<std::mutex> lock(mutex);
                                             EXPECT_EQ(message, firmware::kMsgProgress);
                                             codes.push_back(code);
                                         });
    }

    TempDir dir;
    CloudFixture cloud;
    std::string package;
    firmware::UpgradeContext context;
    std::vector<uint8_t> bytes;
    std::mutex mutex;
    std::vector<uint64_t> codes;
};

TEST_F(UpgradePhasesTest, ChecksDownloadsAndUnpacksTheNewestFirmware) {
    ASSERT_TRUE(Check()) << context.errorText;
    EXPECT_EQ(context.latestVersion, "1.2");
    EXPECT_NE(context.packageUrl.find("/files/firmware/LW52-1.2.zip"), std::string::npos);

    ASSERT_TRUE(Download()) << context.errorText;
    EXPECT_EQ(codes, (std::vector<uint64_t>{7, 8, 11, 12}));
    EXPECT_EQ(context.latestVersion, "1.2");  // now the package's own
    ASSERT_EQ(context.steps.size(), 2u);
    EXPECT_EQ(context.steps[1].file, "LW52_V1.2.bin");
    EXPECT_FALSE(context.steps[1].image.empty());
    EXPECT_EQ(access(package.c_str(), F_OK), 0) << "kept until the package is closed";
}

TEST_F(UpgradePhasesTest, EveryFaultOfTheServiceEndsWithItsText) {
    enum Hits { kAnswer, kAnswerThenPackage, kPackage };
    const struct {
        const char* fault;
        Hits hits;
        const char* text;
        std::vector<uint64_t> codes;
    } cases[] = {
        {"status500", kAnswer, "获取服务器上的信息失败", {}},
        {"oversize", kAnswer, "获取服务器上的信息失败", {}},
        {"badjson", kAnswer, "解析Json失败", {}},
        {"notok", kAnswer, "从服务器上获取固件信息失败", {}},
        {"wronganswer", kAnswer, "从服务器上获取固件信息失败", {}},
        {"nopackage", kAnswerThenPackage, "下载固件失败！", {7}},
        {"truncate", kPackage, "下载固件失败！", {7}},
        {"slow", kPackage, "下载固件失败！", {7}},
        {"shortpackage", kPackage, "打开压缩文件失败", {7, 8, 11}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        context = {};
        ASSERT_TRUE(cloud.SetFault(c.hits == kPackage ? "clear" : c.fault));
        if (c.hits == kAnswer) {
            EXPECT_FALSE(Check());
            EXPECT_EQ(context.errorText, c.text);
            continue;
        }
        ASSERT_TRUE(Check()) << context.errorText;
        ASSERT_TRUE(cloud.SetFault(c.fault));
        EXPECT_FALSE(Download());
        EXPECT_EQ(context.errorText, c.text);
        EXPECT_EQ(codes, c.codes);
        EXPECT_TRUE(context.steps.empty());
    }
}

TEST_F(UpgradePhasesTest, AStalledDownloadEndsWhenStopped) {
    ASSERT_TRUE(Check());
    ASSERT_TRUE(cloud.SetFault("slow"));
    std::atomic<bool> stop{true};
    EXPECT_FALSE(firmware::DownloadPackage(
        context, package, bytes, [](uint32_t, uint64_t, int64_t) {}, &stop));
    EXPECT_EQ(access(package.c_str(), F_OK), -1) << "no partial package is left";
}

}  // namespace
