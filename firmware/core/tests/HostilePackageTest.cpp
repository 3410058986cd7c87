// Packages made to hurt: members that inflate far beyond what they say, headers that claim
// nearly 4 GiB, damaged bytes anywhere, names that would escape a folder.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "AllocationCounter.h"
#include "PackageReader.h"
#include "Packages.h"

using firmware::ExtractPackage;
using firmware::kMaxImageSize;
using firmware::kMaxStepsXmlSize;
using firmware::UpgradeContext;

namespace {

constexpr uint64_t kMiB = 1 << 20;

const char* const kSteps =
    "<FirmwareInfo><Hardware1.0 Firm=\"F\"/><F><Version>1.2</Version>"
    "<Steps HardwareVer=\"E1.0\" Count=\"1\">"
    "<Step1 NeedVersion=\"L1.2\" Version=\"1.2\" File=\"fw.bin\"/></Steps>"
    "<flashOptions HardwareVer=\"E1.0\" Count=\"1\">"
    "<flash1 NeedVersion=\"L1.2\" Version=\"1.2\" File=\"flash.bin\" Addr=\"0\"/></flashOptions>"
    "</F></FirmwareInfo>";

void PutLe(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) {
    out.reserve(out.size() + more.size());
    for (uint8_t b : more) out.push_back(b);
}
void AppendText(std::vector<uint8_t>& out, const std::string& text) {
    for (char c : text) out.push_back(static_cast<uint8_t>(c));
}

struct Member {
    std::string name;
    std::vector<uint8_t> data;  // as stored
    bool deflated = false;
    uint32_t crc = 0;
    uint32_t statedSize = 0;  // what the headers say the member inflates to
};

Member Stored(const std::string& name, const std::string& text) {
    Member m{name, std::vector<uint8_t>(text.begin(), text.end())};
    m.crc = static_cast<uint32_t>(crc32(0, m.data.data(), static_cast<uInt>(m.data.size())));
    m.statedSize = static_cast<uint32_t>(text.size());
    return m;
}

// mebibytes MiB of zeros, deflated: one mebibyte compressed once and repeated (a full flush
// makes each piece stand alone), then an empty final block.
Member Zeros(const std::string& name, uint64_t mebibytes) {
    std::vector<uint8_t> zeros(kMiB), piece(kMiB);
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    z.next_in = zeros.data();
    z.avail_in = static_cast<uInt>(zeros.size());
    z.next_out = piece.data();
    z.avail_out = static_cast<uInt>(piece.size());
    EXPECT_EQ(deflate(&z, Z_FULL_FLUSH), Z_OK);
    EXPECT_EQ(z.avail_in, 0u);
    piece.resize(piece.size() - z.avail_out);
    deflateEnd(&z);

    Member m{name, {}, true};
    const uLong pieceCrc = crc32(0, zeros.data(), static_cast<uInt>(zeros.size()));
    uLong crc = 0;
    for (uint64_t i = 0; i < mebibytes; ++i) {
        Append(m.data, piece);
        crc = crc32_combine(crc, pieceCrc, static_cast<z_off_t>(kMiB));
    }
    m.data.push_back(0x03);  // final fixed-code block holding only its end
    m.data.push_back(0x00);
    m.crc = static_cast<uint32_t>(crc);
    m.statedSize = static_cast<uint32_t>(mebibytes * kMiB);
    return m;
}

// A zip archive of the members, written by hand so that its headers say what the test wants.
std::vector<uint8_t> Zip(const std::vector<Member>& members) {
    std::vector<uint8_t> out, central;
    for (const Member& m : members) {
        const uint64_t offset = out.size();
        for (std::vector<uint8_t>* header : {&out, &central}) {
            const bool isCentral = header == &central;
            PutLe(*header, isCentral ? 0x02014b50 : 0x04034b50, 4);
            if (isCentral) PutLe(*header, 20, 2);  // made by
            PutLe(*header, 20, 2);                 // needed to extract
            PutLe(*header, 0, 2);                  // flags
            PutLe(*header, m.deflated ? 8 : 0, 2);
            PutLe(*header, 0, 2);       // time
            PutLe(*header, 0x0021, 2);  // 1 January 1980
            PutLe(*header, m.crc, 4);
            PutLe(*header, m.data.size(), 4);
            PutLe(*header, m.statedSize, 4);
            PutLe(*header, m.name.size(), 2);
            PutLe(*header, 0, 2);  // extra field
            if (isCentral) {
                PutLe(*header, 0, 2);  // comment
                PutLe(*header, 0, 2);  // disk
                PutLe(*header, 0, 2);  // internal attributes
                PutLe(*header, 0, 4);  // external attributes
                PutLe(*header, offset, 4);
            }
            AppendText(*header, m.name);
        }
        Append(out, m.data);
    }
    const uint64_t centralOffset = out.size();
    Append(out, central);
    PutLe(out, 0x06054b50, 4);
    PutLe(out, 0, 4);
    PutLe(out, members.size(), 2);
    PutLe(out, members.size(), 2);
    PutLe(out, central.size(), 4);
    PutLe(out, centralOffset, 4);
    PutLe(out, 0, 2);
    return out;
}

struct Outcome {
    bool ok;
    std::string error;
    size_t peak;  // the most the reader held at once through operator new
};
Outcome Extract(const std::vector<uint8_t>& package) {
    UpgradeContext context;
    alloc_count::Start();
    const bool ok = ExtractPackage(context, package);
    return {ok, context.errorText, alloc_count::Peak()};
}

}  // namespace

TEST(HostilePackage, TheHandMadeArchiveIsReadLikeAnyOther) {
    Member image = Zeros("fw.bin", 3);
    const Outcome read =
        Extract(Zip({Stored("steps.xml", kSteps), image, Stored("flash.bin", "flash")}));
    EXPECT_TRUE(read.ok) << read.error;
    EXPECT_LT(read.peak, 3 * kMiB + kMiB);
}

TEST(HostilePackage, AGibibyteBombIsRefusedHoldingNoMoreThanTheLimit) {
    const Member bomb = Zeros("fw.bin", 1024);
    ASSERT_LT(bomb.data.size(), 2 * kMiB);
    for (const uint32_t stated : {bomb.statedSize, uint32_t{5000}, uint32_t{0}}) {
        SCOPED_TRACE("header says " + std::to_string(stated));
        Member lying = bomb;
        lying.statedSize = stated;
        const Outcome read =
            Extract(Zip({Stored("steps.xml", kSteps), lying, Stored("flash.bin", "flash")}));
        EXPECT_FALSE(read.ok);
        EXPECT_EQ(read.error, "解压缩固件失败");
        EXPECT_LE(read.peak, kMaxImageSize + 256 * 1024);
    }
    // A size stated beyond the limit is refused before anything is inflated.
    EXPECT_LT(Extract(Zip({Stored("steps.xml", kSteps), bomb})).peak, kMiB);

    // The same for steps.xml, at its own limit.
    for (const uint32_t stated : {uint32_t{64 * kMiB}, uint32_t{100}}) {
        Member steps = Zeros("steps.xml", 64);
        steps.statedSize = stated;
        const Outcome read = Extract(Zip({steps}));
        EXPECT_EQ(read.error, "解压缩steps.xml文件失败");
        EXPECT_LE(read.peak, kMaxStepsXmlSize + 256 * 1024);
    }
}

TEST(HostilePackage, MembersAtTheLimitAreReadAndOneByteMoreIsNot) {
    const Member atLimit = Zeros("fw.bin", kMaxImageSize / kMiB);
    // One more zero, in a stored block before the final one.
    Member past = atLimit;
    past.data.resize(past.data.size() - 2);
    for (uint8_t b : {0x01, 0x01, 0x00, 0xFE, 0xFF, 0x00}) past.data.push_back(b);
    const uint8_t zero = 0;
    past.crc = static_cast<uint32_t>(crc32(past.crc, &zero, 1));
    const struct {
        const Member& image;
        uint32_t stated;
        bool ok;
    } cases[] = {
        {atLimit, atLimit.statedSize, true},
        {past, atLimit.statedSize, false},      // inflates past what it says and the limit
        {past, atLimit.statedSize + 1, false},  // says so, and is refused unread
        {atLimit, atLimit.statedSize - 1, false},
        {atLimit, atLimit.statedSize + 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("header says " + std::to_string(c.stated));
        Member image = c.image;
        image.statedSize = c.stated;
        const Outcome read =
            Extract(Zip({Stored("steps.xml", kSteps), image, Stored("flash.bin", "f")}));
        EXPECT_EQ(read.ok, c.ok);
        EXPECT_EQ(read.error, c.ok ? "" : "解压缩固件失败");
        EXPECT_LE(read.peak, kMaxImageSize + 256 * 1024);
    }
}

TEST(HostilePackage, AMemberEndingShortOfItsStatedSizeIsRefused) {
    Member image = Stored("fw.bin", "firmware");
    image.statedSize += 1;
    const Outcome read =
        Extract(Zip({Stored("steps.xml", kSteps), image, Stored("flash.bin", "f")}));
    EXPECT_EQ(read.error, "解压缩固件失败");
}

TEST(HostilePackage, AHeaderClaimingNearlyFourGibibytesTakesNoMemory) {
    const Outcome read = Extract(LoadPackage("steps-xml-claims-4gib.zip"));
    EXPECT_EQ(read.error, "解压缩steps.xml文件失败");
    EXPECT_LT(read.peak, kMiB);
}

TEST(HostilePackage, NamesThatWouldLeaveAFolderAreOnlyLookedUpExactly) {
    UpgradeContext context;
    ASSERT_TRUE(ExtractPackage(context, LoadPackage("odd-names.zip"))) << context.errorText;
    ASSERT_EQ(context.steps.size(), 2u);
    ASSERT_EQ(context.flashes.size(), 1u);
    EXPECT_EQ(context.steps[0].file, "../LW52_V1.1.bin");
    EXPECT_EQ(Text(context.steps[0].image), "member ../LW52_V1.1.bin");
    EXPECT_EQ(context.steps[1].file, "/abs/LW52_V1.2.bin");
    EXPECT_EQ(Text(context.steps[1].image), "member /abs/LW52_V1.2.bin");
    EXPECT_EQ(context.flashes[0].file, "flash\\voice.bin");
    EXPECT_EQ(Text(context.flashes[0].image), "member flash\\voice.bin");
}

// Whatever byte of a package is damaged, the reader either refuses it with one of its texts
// or, when the damage touched nothing that matters, reads exactly the same steps.
TEST(HostilePackage, ADamagedByteAnywhereIsRefusedOrChangesNothing) {
    const std::vector<uint8_t> valid = LoadPackage("valid.zip");
    UpgradeContext expected;
    ASSERT_TRUE(ExtractPackage(expected, valid));
    const std::vector<std::string> texts = {
        "打开压缩文件失败",        "固件压缩包中未找到steps.xml",
        "解压缩steps.xml文件失败", "压缩包中未找到固件",
        "解压缩固件失败",          "压缩包中未找到Flash文件"};
    for (size_t at = 0; at < valid.size(); ++at) {
        std::vector<uint8_t> damaged = valid;
        damaged[at] ^= 0x5A;
        UpgradeContext context;
        if (!ExtractPackage(context, damaged)) {
            const bool known =
                context.errorText.rfind("解析steps.xml失", 0) == 0 ||
                std::find(texts.begin(), texts.end(), context.errorText) != texts.end();
            EXPECT_TRUE(known) << "byte " << at << ": " << context.errorText;
            continue;
        }
        ASSERT_EQ(context.steps.size(), expected.steps.size()) << "byte " << at;
        for (size_t i = 0; i < expected.steps.size(); ++i) {
            EXPECT_EQ(context.steps[i].file, expected.steps[i].file) << "byte " << at;
            EXPECT_EQ(context.steps[i].image, expected.steps[i].image) << "byte " << at;
        }
        ASSERT_EQ(context.flashes.size(), 1u) << "byte " << at;
        EXPECT_EQ(context.flashes[0].image, expected.flashes[0].image) << "byte " << at;
    }
}
