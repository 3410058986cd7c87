#include <gtest/gtest.h>

#include <string>

#include "StepsXml.h"

using firmware::ParseSteps;
using firmware::UpgradeContext;

namespace {

// One hardware, steps and flashes given as their XML; the attributes under test vary.
std::string Document(const std::string& steps, const std::string& flashes,
                     const std::string& version = "<Version>1.3</Version>") {
    return "<?xml version=\"1.0\"?>\n<FirmwareInfo><Hardware1.0 Firm=\"F\"/><F>" + version + steps +
           flashes + "</F></FirmwareInfo>";
}
std::string Steps(const std::string& count, const std::string& children) {
    return "<Steps HardwareVer=\"E1.0\" Count=\"" + count + "\">" + children + "</Steps>";
}
std::string Step(int i, const std::string& need = "G0.9", const std::string& file = "fw.bin") {
    const std::string n = std::to_string(i);
    return "<Step" + n + " NeedVersion=\"" + need + "\" Version=\"1." + n + "\" File=\"" + file +
           "\"/>";
}
std::string Flashes(const std::string& count, const std::string& children) {
    return "<flashOptions HardwareVer=\"E1.0\" Count=\"" + count + "\">" + children +
           "</flashOptions>";
}
std::string Flash(int i, const std::string& addr = "0x1000") {
    const std::string n = std::to_string(i);
    return "<flash" + n + " NeedVersion=\"G0.9\" Version=\"1.3\" File=\"f" + n + ".bin\" Addr=\"" +
           addr + "\"/>";
}
const std::string kOneFlash = Flashes("1", Flash(1));

std::string Parse(const std::string& xml, UpgradeContext& context) {
    return ParseSteps(context, xml) ? "" : context.errorText;
}
std::string Parse(const std::string& xml) {
    UpgradeContext context;
    return Parse(xml, context);
}

}  // namespace

TEST(StepsXml, ReadsStepsAndFlashesInFileOrderWithLeadingBlanksTrimmed) {
    UpgradeContext context;
    const std::string xml = Document(
        Steps(" 2", Step(1, "  L1.2", " \tfw a.bin") + Step(2, "E1.2", "b.bin ") + Step(3)),
        Flashes("2", Flash(1, " 1f000") + Flash(2, "0xFFFFFFFF")), "<Version>\n  1.3</Version>");
    ASSERT_EQ(Parse(xml, context), "");
    EXPECT_EQ(context.latestVersion, "1.3");
    ASSERT_EQ(context.steps.size(), 2u) << "Step3 is beyond Count";
    EXPECT_EQ(context.steps[0].needVersion, "L1.2");
    EXPECT_EQ(context.steps[0].version, "1.1");
    EXPECT_EQ(context.steps[0].file, "fw a.bin");
    EXPECT_EQ(context.steps[1].needVersion, "E1.2");
    EXPECT_EQ(context.steps[1].file, "b.bin ") << "only leading blanks go";
    ASSERT_EQ(context.flashes.size(), 2u);
    EXPECT_EQ(context.flashes[0].file, "f1.bin");
    EXPECT_EQ(context.flashes[0].addr, "1f000");
    EXPECT_EQ(context.flashes[0].address, 0x1F000u);
    EXPECT_EQ(context.flashes[1].addr, "0xFFFFFFFF");
    EXPECT_EQ(context.flashes[1].address, 0xFFFFFFFFu);
}

TEST(StepsXml, TheHardwareVersionPicksTheFirmwareElement) {
    const std::string xml =
        "<FirmwareInfo><Hardware1.0 Firm=\"A\"/><Hardware2.1 Firm=\"B\"/>"
        "<A><Version>1.5</Version>" +
        Steps("1", Step(1)) + kOneFlash +
        "</A><B><Version>2.7</Version><Steps HardwareVer=\"G2.0\" Count=\"1\">" + Step(1) +
        "</Steps><flashOptions HardwareVer=\"L2.2\" Count=\"1\">" + Flash(1) +
        "</flashOptions></B></FirmwareInfo>";
    UpgradeContext context;
    context.hardwareVersion = "2.1";
    ASSERT_EQ(Parse(xml, context), "");
    EXPECT_EQ(context.latestVersion, "2.7");
    context.hardwareVersion = "1.0";
    ASSERT_EQ(Parse(xml, context), "");
    EXPECT_EQ(context.latestVersion, "1.5");
    context.hardwareVersion = "2.0";
    EXPECT_EQ(Parse(xml, context), "解析steps.xml失败：未找到<Hardware2.0>节点");
}

TEST(StepsXml, CountsOutsideOneToTenAreRefusedWithoutWrapping) {
    std::string ten;
    for (int i = 1; i <= 10; ++i) ten += Step(i);
    EXPECT_EQ(Parse(Document(Steps("10", ten), kOneFlash)), "");
    std::string tenFlashes;
    for (int i = 1; i <= 10; ++i) tenFlashes += Flash(i);
    EXPECT_EQ(Parse(Document(Steps("1", Step(1)), Flashes("10", tenFlashes))), "");

    for (const char* count : {"0", "11", "", "-1", "abc", "4294967298", "99999999999999999999"}) {
        SCOPED_TRACE(count);
        EXPECT_EQ(Parse(Document(Steps(count, ten), kOneFlash)),
                  "解析steps.xml失败：Steps个数不正确");
        EXPECT_EQ(Parse(Document(Steps("1", Step(1)), Flashes(count, tenFlashes))),
                  "解析steps.xml失败：flashOptions个数不正确");
    }
    // Without the attribute the count is 0.
    EXPECT_EQ(Parse(Document("<Steps HardwareVer=\"E1.0\">" + Step(1) + "</Steps>", kOneFlash)),
              "解析steps.xml失败：Steps个数不正确");
}

TEST(StepsXml, FlashAddressesMustBeHexadecimalAndFitThirtyTwoBits) {
    const struct {
        const char* addr;
        bool ok;
        uint32_t address;
    } cases[] = {
        {"0x1F000", true, 0x1F000}, {"1f000", true, 0x1F000},
        {"0X00ff", true, 0xFF},     {"0", true, 0},
        {"8000 ", true, 0x8000},    {"FFFFFFFF", true, 0xFFFFFFFF},
        {"100000000", false, 0},    {"0x", false, 0},
        {"-1", false, 0},           {"1F000h", false, 0},
        {"0x1F 000", false, 0},     {"flash", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.addr);
        UpgradeContext context;
        const std::string error =
            Parse(Document(Steps("1", Step(1)), Flashes("1", Flash(1, c.addr))), context);
        if (c.ok) {
            ASSERT_EQ(error, "");
            EXPECT_EQ(context.flashes.at(0).address, c.address);
        } else {
            EXPECT_EQ(error, "解析steps.xml失败：Addr flash地址不正确");
        }
    }
}

TEST(StepsXml, TheFirstFaultInReadingOrderIsReported) {
    const struct {
        std::string xml;
        const char* error;
    } cases[] = {
        // Every attribute of Step1 empty: NeedVersion is looked at first.
        {Document(Steps("1", "<Step1/>"), kOneFlash), "解析steps.xml失败：NeedVersion不正确"},
        {Document(Steps("1", "<Step1 NeedVersion=\"E1\"/>"), kOneFlash),
         "解析steps.xml失败：Version不正确"},
        // Steps before flashes, the version before both.
        {Document(Steps("1", "<Step1/>"), Flashes("0", "")),
         "解析steps.xml失败：NeedVersion不正确"},
        {Document("", "", "<Version/>"), "解析steps.xml失败：固件版本无效"},
        {Document(Steps("2", Step(1)), Flashes("1", "")), "解析steps.xml失败：未找到Step2节点"},
        {Document(Steps("1", Step(1)), Flashes("1", "<flash1 NeedVersion=\"E1\" Version=\"1\"/>")),
         "解析steps.xml失败：File Flash文件名不正确"},
        // Firm naming nothing, or nothing at all.
        {"<FirmwareInfo><Hardware1.0 Firm=\"  \"/><F/></FirmwareInfo>",
         "解析steps.xml失失败：未找到与硬件相对应的固件"},
        {"<FirmwareInfo><Hardware1.0/></FirmwareInfo>",
         "解析steps.xml失失败：未找到与硬件相对应的固件"},
        // FirmwareInfo must be the document's root; an unfinished document has none.
        {"<Package>" + Document(Steps("1", Step(1)), kOneFlash).substr(22) + "</Package>",
         "解析steps.xml失败：未找到<FirmwareInfo>节点"},
        {Document(Steps("1", Step(1)), kOneFlash).substr(0, 80),
         "解析steps.xml失败：未找到<FirmwareInfo>节点"},
        {"", "解析steps.xml失败：未找到<FirmwareInfo>节点"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml);
        EXPECT_EQ(Parse(c.xml), c.error);
    }
}

TEST(StepsXml, AFailureLeavesNoStepsAndKeepsTheVersionKnownBefore) {
    UpgradeContext context;
    ASSERT_EQ(Parse(Document(Steps("1", Step(1)), kOneFlash), context), "");
    ASSERT_EQ(context.steps.size(), 1u);
    context.latestVersion = "1.4";  // the service's
    EXPECT_EQ(Parse(Document(Steps("2", Step(1) + Step(2)), Flashes("1", "")), context),
              "解析steps.xml失败：未找到flash1节点");
    EXPECT_TRUE(context.steps.empty());
    EXPECT_TRUE(context.flashes.empty());
    EXPECT_EQ(context.latestVersion, "1.4");
    // A second successful reading replaces the lists instead of adding to them.
    ASSERT_EQ(Parse(Document(Steps("2", Step(1) + Step(2)), kOneFlash), context), "");
    ASSERT_EQ(Parse(Document(Steps("2", Step(1) + Step(2)), kOneFlash), context), "");
    EXPECT_EQ(context.steps.size(), 2u);
    EXPECT_EQ(context.flashes.size(), 1u);
}
