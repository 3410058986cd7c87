#include "StepsXml.h"

#include <pugixml.hpp>
#include <string>
#include <utility>

#include "FirmwareVersion.h"

namespace firmware {

namespace {

constexpr const char* kPrefix = "解析steps.xml失败：";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Values are read without their leading blanks.
std::string Value(const char* text) {
    std::string_view view(text);
    while (!view.empty() && IsBlank(view.front())) view.remove_prefix(1);
    return std::string(view);
}

std::string Attribute(const pugi::xml_node& node, const char* name) {
    return Value(node.attribute(name).value());
}

// A count as a C library reads a number: optional sign, then digits up to the first other
// character; "0" when there are none. Large values stay large instead of wrapping.
long Count(const std::string& text) {
    size_t at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    long value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        if (value < 1000000) value = value * 10 + (text[at] - '0');
    return negative ? -value : value;
}

bool CountInRange(long count) {
    return count >= 1 && count <= kMaxSteps;
}

// Hexadecimal with an optional "0x", at most 32 bits, trailing blanks allowed.
bool ParseAddress(const std::string& text, uint32_t& address) {
    size_t at = 0;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) at = 2;
    uint64_t value = 0;
    size_t digits = 0;
    for (; at < text.size(); ++at, ++digits) {
        const char c = text[at];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFu) return false;
    }
    while (at < text.size() && IsBlank(text[at])) ++at;
    if (digits == 0 || at != text.size()) return false;
    address = static_cast<uint32_t>(value);
    return true;
}

class Reader {
  public:
    explicit Reader(UpgradeContext& context) : context_(context) {}

    bool Parse(std::string_view xmlText) {
        pugi::xml_document document;
        const pugi::xml_parse_result parsed = document.load_buffer(
            xmlText.data(), xmlText.size(), pugi::parse_default, pugi::encoding_auto);
        const pugi::xml_node info = parsed ? document.child("FirmwareInfo") : pugi::xml_node();
        if (!info) return Fail("未找到<FirmwareInfo>节点");

        const std::string hardwareName = "Hardware" + context_.hardwareVersion;
        const pugi::xml_node hardware = info.child(hardwareName.c_str());
        if (!hardware) return Fail("未找到<" + hardwareName + ">节点");

        const std::string firmName = Attribute(hardware, "Firm");
        const pugi::xml_node firm =
            firmName.empty() ? pugi::xml_node() : info.child(firmName.c_str());
        if (!firm) {
            context_.errorText = "解析steps.xml失失败：未找到与硬件相对应的固件";
            return false;
        }

        const pugi::xml_node versionNode = firm.child("Version");
        if (!versionNode) return Fail("未找到固件版本");
        std::string version = Value(versionNode.text().get());
        if (version.empty()) return Fail("固件版本无效");

        const pugi::xml_node stepsNode = firm.child("Steps");
        if (!stepsNode) return Fail("未找到<Steps>节点");
        if (!HardwareHolds(stepsNode)) return Fail("硬件版本不正确");
        const long stepCount = Count(Attribute(stepsNode, "Count"));
        if (!CountInRange(stepCount)) return Fail("Steps个数不正确");
        for (long i = 1; i <= stepCount; ++i)
            if (!ReadStep(stepsNode, i)) return false;

        // A package without "flashOptions" reads as one whose hardware condition fails.
        const pugi::xml_node flashNode = firm.child("flashOptions");
        if (!HardwareHolds(flashNode)) return Fail("硬件版本不正确");
        const long flashCount = Count(Attribute(flashNode, "Count"));
        if (!CountInRange(flashCount)) return Fail("flashOptions个数不正确");
        for (long i = 1; i <= flashCount; ++i)
            if (!ReadFlash(flashNode, i)) return false;

        context_.latestVersion = std::move(version);
        context_.steps = std::move(steps_);
        context_.flashes = std::move(flashes_);
        return true;
    }

  private:
    bool Fail(const std::string& reason) {
        context_.errorText = kPrefix + reason;
        return false;
    }

    bool HardwareHolds(const pugi::xml_node& node) const {
        return ConditionHolds(Attribute(node, "HardwareVer"), context_.hardwareVersion);
    }

    // Element prefix+i of parent with its NeedVersion, Version and File; fileError names a
    // missing File for this kind of step.
    template <typename Entry>
    bool ReadEntry(const pugi::xml_node& parent, const char* prefix, long i, const char* fileError,
                   Entry& entry, pugi::xml_node& node) {
        const std::string name = prefix + std::to_string(i);
        node = parent.child(name.c_str());
        if (!node) return Fail("未找到" + name + "节点");
        entry.needVersion = Attribute(node, "NeedVersion");
        if (entry.needVersion.empty()) return Fail("NeedVersion不正确");
        entry.version = Attribute(node, "Version");
        if (entry.version.empty()) return Fail("Version不正确");
        entry.file = Attribute(node, "File");
        if (entry.file.empty()) return Fail(fileError);
        return true;
    }

    bool ReadStep(const pugi::xml_node& stepsNode, long i) {
        FirmwareStep step;
        pugi::xml_node node;
        if (!ReadEntry(stepsNode, "Step", i, "File固件文件名不正确", step, node)) return false;
        steps_.push_back(std::move(step));
        return true;
    }

    bool ReadFlash(const pugi::xml_node& flashNode, long i) {
        FlashStep flash;
        pugi::xml_node node;
        if (!ReadEntry(flashNode, "flash", i, "File Flash文件名不正确", flash, node)) return false;
        flash.addr = Attribute(node, "Addr");
        // An address that is not hexadecimal is refused rather than read as 0.
        if (!ParseAddress(flash.addr, flash.address)) return Fail("Addr flash地址不正确");
        flashes_.push_back(std::move(flash));
        return true;
    }

    UpgradeContext& context_;
    std::vector<FirmwareStep> steps_;
    std::vector<FlashStep> flashes_;
};

}  // namespace

bool ParseSteps(UpgradeContext& context, std::string_view xmlText) {
    context.steps.clear();
    context.flashes.clear();
    return Reader(context).Parse(xmlText);
}

}  // namespace firmware
