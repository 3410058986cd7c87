#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "PackageReader.h"
#include "Packages.h"

using firmware::ExtractPackage;
using firmware::UpgradeContext;

namespace {

// The images make-packages.sh writes: size bytes of (i * step + size) mod 256.
std::vector<uint8_t> Pattern(size_t size, size_t step) {
    std::vector<uint8_t> image(size);
    for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * step + size);
    return image;
}

// A context that already holds a step from an earlier package.
UpgradeContext StaleContext() {
    UpgradeContext context;
    context.steps.push_back({"0.9", "old.bin", "G0.1", {1, 2, 3}});
    context.flashes.push_back({"0.9", "old.bin", "G0.1", "0", 0, {4}});
    return context;
}

void ExpectValidPackageForHardware10(const UpgradeContext& context) {
    EXPECT_EQ(context.latestVersion, "1.2");
    ASSERT_EQ(context.steps.size(), 2u);
    EXPECT_EQ(context.steps[0].needVersion, "L1.1");
    EXPECT_EQ(context.steps[0].version, "1.1");
    EXPECT_EQ(context.steps[0].file, "LW52_V1.1.bin");
    EXPECT_EQ(context.steps[0].image, Pattern(3000, 11));
    EXPECT_EQ(context.steps[1].needVersion, "L1.2");
    EXPECT_EQ(context.steps[1].version, "1.2");
    EXPECT_EQ(context.steps[1].file, "LW52_V1.2.bin");
    EXPECT_EQ(context.steps[1].image, Pattern(5000, 13));
    ASSERT_EQ(context.flashes.size(), 1u);
    EXPECT_EQ(context.flashes[0].needVersion, "L1.2");
    EXPECT_EQ(context.flashes[0].version, "1.2");
    EXPECT_EQ(context.flashes[0].file, "flash/voice.bin");
    EXPECT_EQ(context.flashes[0].addr, "0x1F000");
    EXPECT_EQ(context.flashes[0].address, 0x1F000u);
    EXPECT_EQ(context.flashes[0].image, Pattern(2048, 19));
}

}  // namespace

TEST(PackageReader, TheValidPackageGivesEveryStepWithItsImage) {
    for (const char* name : {"valid.zip", "valid-utf16.zip", "many-members.zip"}) {
        SCOPED_TRACE(name);
        UpgradeContext context = StaleContext();
        ASSERT_TRUE(ExtractPackage(context, LoadPackage(name))) << context.errorText;
        ExpectValidPackageForHardware10(context);
    }

    UpgradeContext context;
    context.hardwareVersion = "2.0";
    ASSERT_TRUE(ExtractPackage(context, LoadPackage("valid.zip"))) << context.errorText;
    EXPECT_EQ(context.latestVersion, "2.5");
    ASSERT_EQ(context.steps.size(), 1u);
    EXPECT_EQ(context.steps[0].image, Pattern(4096, 17));
    ASSERT_EQ(context.flashes.size(), 1u);
    EXPECT_EQ(context.flashes[0].address, 0x1F000u);
}

// Every text a package can cause, each from a package with that one fault. Afterwards the
// context holds no step, not even one from before.
TEST(PackageReader, EachFaultyPackageIsRefusedWithItsText) {
    const struct {
        const char* package;
        const char* error;
    } cases[] = {
        {"html.zip", "打开压缩文件失败"},
        {"truncated.zip", "打开压缩文件失败"},
        {"empty.zip", "打开压缩文件失败"},
        {"steps-xml-missing.zip", "固件压缩包中未找到steps.xml"},
        {"steps-xml-too-large.zip", "解压缩steps.xml文件失败"},
        {"steps-xml-claims-4gib.zip", "解压缩steps.xml文件失败"},
        {"missing-image.zip", "压缩包中未找到固件"},
        {"image-bad-crc.zip", "解压缩固件失败"},
        {"missing-flash.zip", "压缩包中未找到Flash文件"},
        {"flash-bad-crc.zip", "解压缩固件失败"},
        {"xml-no-firmware-info.zip", "解析steps.xml失败：未找到<FirmwareInfo>节点"},
        {"xml-not-xml.zip", "解析steps.xml失败：未找到<FirmwareInfo>节点"},
        {"xml-no-hardware.zip", "解析steps.xml失败：未找到<Hardware1.0>节点"},
        {"xml-no-firm.zip", "解析steps.xml失失败：未找到与硬件相对应的固件"},
        {"xml-no-version.zip", "解析steps.xml失败：未找到固件版本"},
        {"xml-empty-version.zip", "解析steps.xml失败：固件版本无效"},
        {"xml-no-steps.zip", "解析steps.xml失败：未找到<Steps>节点"},
        {"xml-steps-hardware.zip", "解析steps.xml失败：硬件版本不正确"},
        {"xml-steps-count.zip", "解析steps.xml失败：Steps个数不正确"},
        {"xml-no-step2.zip", "解析steps.xml失败：未找到Step2节点"},
        {"xml-step-need-version.zip", "解析steps.xml失败：NeedVersion不正确"},
        {"xml-step-version.zip", "解析steps.xml失败：Version不正确"},
        {"xml-step-file.zip", "解析steps.xml失败：File固件文件名不正确"},
        {"xml-no-flash-options.zip", "解析steps.xml失败：硬件版本不正确"},
        {"xml-flash-hardware.zip", "解析steps.xml失败：硬件版本不正确"},
        {"xml-flash-count.zip", "解析steps.xml失败：flashOptions个数不正确"},
        {"xml-no-flash1.zip", "解析steps.xml失败：未找到flash1节点"},
        {"xml-flash-need-version.zip", "解析steps.xml失败：NeedVersion不正确"},
        {"xml-flash-version.zip", "解析steps.xml失败：Version不正确"},
        {"xml-flash-file.zip", "解析steps.xml失败：File Flash文件名不正确"},
        {"xml-flash-addr.zip", "解析steps.xml失败：Addr flash地址不正确"},
        {"xml-flash-addr-not-hex.zip", "解析steps.xml失败：Addr flash地址不正确"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.package);
        const std::vector<uint8_t> package = LoadPackage(c.package);
        ASSERT_TRUE(!package.empty() || std::string(c.package) == "empty.zip");
        UpgradeContext context = StaleContext();
        EXPECT_FALSE(ExtractPackage(context, package));
        EXPECT_EQ(context.errorText, c.error);
        EXPECT_TRUE(context.steps.empty());
        EXPECT_TRUE(context.flashes.empty());
    }
}

TEST(PackageReader, ThePackageFileIsReadWholeOrRefused) {
    UpgradeContext context;
    std::vector<uint8_t> package = {9};
    ASSERT_TRUE(firmware::ReadPackageFile(context, PackagePath("valid.zip"), package));
    EXPECT_EQ(package, LoadPackage("valid.zip"));
    ASSERT_TRUE(firmware::ReadPackageFile(context, PackagePath("empty.zip"), package));
    EXPECT_TRUE(package.empty());

    TempDir dir;
    const struct {
        std::string path;
        const char* error;
    } cases[] = {
        {dir.Path() + "/missing.zip", "打开固件文件失败！"},
        {dir.Path(), "获取固件文件大小失败！"},
        {"/dev/zero", "获取固件文件大小失败！"},  // a device would never end
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        package = {1, 2, 3};
        EXPECT_FALSE(firmware::ReadPackageFile(context, c.path, package));
        EXPECT_EQ(context.errorText, c.error);
        EXPECT_TRUE(package.empty());
    }
}
