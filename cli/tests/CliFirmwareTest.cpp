// lw52ctl firmware inspect as a user runs it: a package read as the upgrade reads it, with the
// images' digests (sha256sum of the members) and the steps an upgrade would write.
#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "ChildProcess.h"
#include "CliJson.h"
#include "CloudFixture.h"
#include "IniFile.h"

namespace {

std::string Package(const char* name) {
    return std::string(LW52_FIRMWARE_PACKAGES) + "/" + name;
}

RunResult Ctl(const std::vector<std::string>& args) {
    return RunProgram(LW52CTL_PATH, args);
}

constexpr const char* kStep1Sha =
    "6427886ee5a073bcdecd76f41114f1a9be99450b363accebffd040fcd58d77bf";
constexpr const char* kStep2Sha =
    "afed0b2bd05f32b928ef9c4e7ae008b6a999777f1cc368d8045940c3f867ef5e";
constexpr const char* kFlashSha =
    "66ec35c2908294a65cc18a03688c3abb638885e7286a2fbde0a000111b085d07";

}  // namespace

TEST(CliFirmware, InspectShowsStepsImagesAndTheStepsWritten) {
    RunResult r = Ctl({"firmware", "inspect", Package("valid.zip"), "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Json::Value j = ParseJson(r.out);
    EXPECT_TRUE(j["ok"].asBool());
    EXPECT_EQ(j["latestVersion"].asString(), "1.2");
    ASSERT_EQ(j["steps"].size(), 2u);
    EXPECT_EQ(j["steps"][0]["needVersion"].asString(), "L1.1");
    EXPECT_EQ(j["steps"][0]["version"].asString(), "1.1");
    EXPECT_EQ(j["steps"][0]["file"].asString(), "LW52_V1.1.bin");
    EXPECT_EQ(j["steps"][0]["size"].asUInt(), 3000u);
    EXPECT_EQ(j["steps"][0]["sha256"].asString(), kStep1Sha);
    EXPECT_EQ(j["steps"][1]["file"].asString(), "LW52_V1.2.bin");
    EXPECT_EQ(j["steps"][1]["size"].asUInt(), 5000u);
    EXPECT_EQ(j["steps"][1]["sha256"].asString(), kStep2Sha);
    ASSERT_EQ(j["flashes"].size(), 1u);
    EXPECT_EQ(j["flashes"][0]["needVersion"].asString(), "L1.2");
    EXPECT_EQ(j["flashes"][0]["file"].asString(), "flash/voice.bin");
    EXPECT_EQ(j["flashes"][0]["addr"].asString(), "0x1F000");
    EXPECT_EQ(j["flashes"][0]["address"].asUInt(), 0x1F000u);
    EXPECT_EQ(j["flashes"][0]["size"].asUInt(), 2048u);
    EXPECT_EQ(j["flashes"][0]["sha256"].asString(), kFlashSha);
    EXPECT_EQ(j["selection"]["first"].asInt(), 0);
    ASSERT_EQ(j["selection"]["written"].size(), 2u);
    EXPECT_EQ(j["selection"]["written"][0].asInt(), 0);
    EXPECT_EQ(j["selection"]["written"][1].asInt(), 1);
    EXPECT_TRUE(j["selection"]["error"].isNull());

    // Firmware 1.2 already: the package is fine, but nothing would be written.
    r = Ctl({"--json", "firmware", "inspect", Package("valid.zip"), "--firmware", "1.2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    j = ParseJson(r.out);
    EXPECT_EQ(j["selection"]["first"].asInt(), -1);
    EXPECT_EQ(j["selection"]["written"].size(), 0u);
    EXPECT_EQ(j["selection"]["error"].asString(), "没有进行固件更新，因为没有找到合适的固件");

    // The other hardware reads the other firmware element.
    r = Ctl(
        {"firmware", "inspect", Package("valid.zip"), "--hardware", "2.0", "--firmware", "2.1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("firmware 2.5 for hardware 2.0"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("LW52_V2.5.bin  4096 bytes"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("at 0x1F000  2048 bytes  sha256 " + std::string(kFlashSha)),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("for firmware 2.1: step 0 first; steps written: 0"), std::string::npos)
        << r.out;
}

TEST(CliFirmware, ARefusedPackageExitsWithItsText) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* says;
    } cases[] = {
        {{"firmware", "inspect", Package("xml-no-firm.zip")},
         1,
         "解析steps.xml失失败：未找到与硬件相对应的固件"},
        {{"firmware", "inspect", Package("html.zip")}, 1, "打开压缩文件失败"},
        {{"firmware", "inspect", Package("valid.zip"), "--hardware", "3.0"},
         1,
         "解析steps.xml失败：未找到<Hardware3.0>节点"},
        {{"firmware", "inspect", Package("no-such.zip")}, 1, "打开固件文件失败！"},
        {{"firmware", "inspect"}, 2, "usage"},
        {{"firmware", "inspect", Package("valid.zip"), "--firmware"}, 2, "--firmware"},
        {{"firmware", "inspect", Package("valid.zip"), "--slot", "1"}, 2, "--slot"},
        {{"firmware"}, 2, "usage"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const RunResult r = Ctl(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const RunResult r = Ctl({"--json", "firmware", "inspect", Package("missing-flash.zip")});
    EXPECT_EQ(r.exitCode, 1);
    const Json::Value j = ParseJson(r.out);
    EXPECT_FALSE(j["ok"].asBool());
    EXPECT_EQ(j["error"].asString(), "压缩包中未找到Flash文件");
    EXPECT_EQ(j.size(), 2u);
}

// firmware check and firmware upgrade against the local service and the virtual card.
class CliFirmwareUpgradeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        LW52_REQUIRE_CLOUD_FIXTURE();
        ASSERT_TRUE(cloud.Start(""));
        std::filesystem::create_directories(dir.Path() + "/tmp");
        CIniFile::CreateUtf16File(dir.Path() + "/seed.db");
    }
    RunResult Ctl(const std::vector<std::string>& args) {
        return RunProgram(
            LW52CTL_PATH, args,
            {"LW52_VHID_DIR=" + dir.Path() + "/vhid", "TMPDIR=" + dir.Path() + "/tmp",
             "XDG_DATA_HOME=" + dir.Path() + "/data", "LW52_CLOUD_URL=" + cloud.BaseUrl()});
    }
    void StartCard(const char* firmwareVersion) {
        ASSERT_TRUE(card.Start(LW52_EMULATOR_PATH, {"--dir", dir.Path() + "/vhid", "--hw", "0x10",
                                                    "--fw", firmwareVersion}));
        ASSERT_NE(card.WaitForLine("listening on", 10000), "");
    }
    TempDir dir;
    CloudFixture cloud;
    ChildProcess card;
};

TEST_F(CliFirmwareUpgradeTest, CheckNamesTheNewestFirmwareOrSaysWhyNot) {
    RunResult r = Ctl({"--json", "firmware", "check"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Json::Value j = ParseJson(r.out);
    EXPECT_EQ(j["latestVersion"].asString(), "1.2");
    EXPECT_EQ(j["url"].asString(), cloud.BaseUrl() + "/files/firmware/LW52-1.2.zip");

    ASSERT_TRUE(cloud.SetFault("badjson"));
    r = Ctl({"firmware", "check"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("解析Json失败"), std::string::npos) << r.err;
}

TEST_F(CliFirmwareUpgradeTest, UpgradeRunsThePhasesAndEndsWithTheHonestText) {
    // No card: nothing else is tried.
    RunResult r = Ctl({"--json", "firmware", "upgrade", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(ParseJson(r.out)["phase"].asString(), "card");

    StartCard("0x11");
    // Settings to keep: the backup must hold them.
    std::filesystem::create_directories(dir.Path() + "/data/QvLW52");
    std::filesystem::copy_file(dir.Path() + "/seed.db",
                               dir.Path() + "/data/QvLW52/QvH31ConfigData.db");
    CIniFile(dir.Path() + "/data/QvLW52/QvH31ConfigData.db").WriteInt("Settings", "Marker", 7);

    // Without a confirmation (and no terminal to ask on) nothing is written.
    r = Ctl({"firmware", "upgrade"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("注意事项"), std::string::npos);
    EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;

    r = Ctl({"--json", "firmware", "upgrade", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    Json::Value j = ParseJson(r.out);
    EXPECT_EQ(j["phase"].asString(), "write");
    EXPECT_EQ(j["error"].asString(), "固件升级失败：此设备不支持通过本程序写入固件");
    EXPECT_EQ(j["firmwareVersion"].asString(), "1.1");
    EXPECT_EQ(j["latestVersion"].asString(), "1.2");
    ASSERT_TRUE(j["backup"].isString());
    EXPECT_EQ(CIniFile(j["backup"].asString()).GetInt("Settings", "Marker", 0), 7);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path() + "/tmp")) << "the package is deleted";

    // A package file instead of the service; a faulty service does not matter then.
    ASSERT_TRUE(cloud.SetFault("status500"));
    r = Ctl({"firmware", "upgrade", "--yes", "--package", Package("valid.zip")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("正在连接设备..."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("固件升级失败：此设备不支持通过本程序写入固件"), std::string::npos);
    r = Ctl({"firmware", "upgrade", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("获取服务器上的信息失败"), std::string::npos) << r.err;
}

TEST_F(CliFirmwareUpgradeTest, ACardWithTheNewestFirmwareIsLeftAlone) {
    StartCard("0x12");
    RunResult r = Ctl({"firmware", "upgrade", "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("固件已经是最新"), std::string::npos) << r.out;
    EXPECT_EQ(r.err.find("注意事项"), std::string::npos) << "nothing to confirm";
}
