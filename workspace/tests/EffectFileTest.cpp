#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "EffectFile.h"
#include "EffectFileFrames.h"
#include "EffectFileMaker.h"
#include "EffectFileParams.h"
#include "EffectFileTestSupport.h"
#include "ParamTable.h"

using namespace lw52;
using lw52::test::ParsedFile;

namespace {

void PutLe32(std::vector<uint8_t>& bytes, size_t at, int32_t value) {
    for (size_t i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
}

// Header field offsets.
constexpr size_t kVersion = 0, kParamBytes = 12, kBytes06 = 28, kBytes04 = 32, kBytes16 = 36;

EffectFileRecipe SmallRecipe() {
    EffectFileRecipe recipe;
    recipe.entries04 = 3;
    recipe.entries06 = 2;
    recipe.entries16 = 1;
    recipe.params = {{37, 0, 100, 50.0f}};
    return recipe;
}

TEST(EffectFileParse, ReadsSectionsInFileOrderAndIgnoresTrailingBytes) {
    EffectFileRecipe recipe = SmallRecipe();
    recipe.paramEntrySize = 20;  // bytes 16..19 of an entry carry nothing
    recipe.params = {{37, 0, 100, 50.5f}, {16, -12, 12, -3.25f}};
    std::vector<uint8_t> bytes = MakeEffectFileBytes(recipe);
    const size_t at06 = 40, at04 = at06 + 16, at16 = at04 + 24, atParams = at16 + 24;
    ASSERT_EQ(bytes.size(), atParams + 40);
    bytes[atParams + 16] = 0xEE;  // padding of the first entry
    bytes.push_back(0xAB);

    EffectFile file;
    std::string reason;
    ASSERT_TRUE(ParseEffectFile(bytes.data(), bytes.size(), file, reason)) << reason;
    EXPECT_EQ(file.header.paramEntrySize, 20);
    EXPECT_EQ(file.header.paramBytes, 40);
    EXPECT_EQ(file.header.bytes06, 16);
    EXPECT_EQ(file.header.bytes04, 24);
    EXPECT_EQ(file.header.bytes16, 24);
    EXPECT_EQ(file.block06, std::vector<uint8_t>(bytes.begin() + at06, bytes.begin() + at04));
    EXPECT_EQ(file.block04, std::vector<uint8_t>(bytes.begin() + at04, bytes.begin() + at16));
    EXPECT_EQ(file.block16, std::vector<uint8_t>(bytes.begin() + at16, bytes.begin() + atParams));
    ASSERT_EQ(file.params.size(), 2u);
    EXPECT_EQ(file.params[0].number, 37);
    EXPECT_EQ(file.params[0].value, 50.5f);
    EXPECT_EQ(file.params[1].number, 16);
    EXPECT_EQ(file.params[1].low, -12);
    EXPECT_EQ(file.params[1].high, 12);
    EXPECT_EQ(file.params[1].value, -3.25f);
}

// A block or the parameter section ending in a partial entry: the whole entries are read
// and sent, the bytes left over skipped, and the next section starts where the header says.
TEST(EffectFileParse, TakesTheWholeEntriesOfSectionsEndingInAPartOne) {
    EffectFileRecipe recipe = SmallRecipe();
    recipe.params = {{37, 0, 100, 50.0f}, {16, -12, 12, 3.0f}};
    std::vector<uint8_t> bytes = MakeEffectFileBytes(recipe);
    const size_t at04 = 40 + 16, at16 = at04 + 24, atParams = at16 + 24;
    // Five stray bytes after block 0x04's three entries, three after the parameters.
    bytes.insert(bytes.begin() + static_cast<long>(at16), 5, 0xCC);
    PutLe32(bytes, kBytes04, 24 + 5);
    bytes.insert(bytes.end(), 3, 0xDD);
    PutLe32(bytes, kParamBytes, 32 + 3);

    EffectFile file;
    std::string reason;
    ASSERT_TRUE(ParseEffectFile(bytes.data(), bytes.size(), file, reason)) << reason;
    EXPECT_EQ(file.block04, std::vector<uint8_t>(bytes.begin() + at04, bytes.begin() + at16));
    EXPECT_EQ(file.block16,
              std::vector<uint8_t>(bytes.begin() + at16 + 5, bytes.begin() + atParams + 5));
    ASSERT_EQ(file.params.size(), 2u);
    EXPECT_EQ(file.params[1].number, 16);
    EXPECT_EQ(file.params[1].value, 3.0f);

    EffectFileFrameInfo info;
    const std::vector<Frame64> frames = BuildEffectFileFrames(file, 0, 64, &info);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(info.entries04, 3);
    EXPECT_EQ(info.entries06, 2);
    EXPECT_EQ(info.entries16, 1);
    EXPECT_EQ(frames[0][10], 24) << "the 0x04 bytes sent: whole entries only";
}

struct MalformedCase {
    const char* name;
    std::function<void(EffectFileRecipe&)> recipe;     // before the bytes are made
    std::function<void(std::vector<uint8_t>&)> patch;  // after
    const char* reasonPart;
};

TEST(EffectFileParse, RefusesMalformedFilesWithAReason) {
    const auto none = [](auto&) {};
    const MalformedCase cases[] = {
        {"version 1", none, [](auto& b) { PutLe32(b, kVersion, 1); }, "version 1"},
        {"shorter than its sections", none, [](auto& b) { b.pop_back(); }, "shorter than the"},
        {"shorter than the header", none, [](auto& b) { b.resize(39); }, "40-byte header"},
        {"0x04 entries of 7 bytes", [](auto& r) { r.entrySize04 = 7; }, none,
         "block 0x04 entry size 7"},
        {"0x06 entries of 16 bytes", [](auto& r) { r.entrySize06 = 16; }, none,
         "block 0x06 entry size 16"},
        {"0x16 entries of 20 bytes", [](auto& r) { r.entrySize16 = 20; }, none,
         "block 0x16 entry size 20"},
        {"parameter entries of 15 bytes", [](auto& r) { r.paramEntrySize = 15; }, none,
         "parameter entry size 15"},
        {"parameter entries of 25 bytes", [](auto& r) { r.paramEntrySize = 25; }, none,
         "parameter entry size 25"},
        {"high equal to low",
         [](auto& r) {
             r.params.push_back({16, 5, 5, 5.0f});
         },
         none, "high equal to low"},
        {"negative block size", none, [](auto& b) { PutLe32(b, kBytes16, -24); }, "negative"},
        {"size beyond the file", none, [](auto& b) { PutLe32(b, kBytes06, 8000); },
         "exceeds the file size"},
        {"sizes beyond 16 MiB", none, [](auto& b) { PutLe32(b, kBytes16, 24 * 1000000); },
         "16 MiB"},
    };
    for (const MalformedCase& c : cases) {
        SCOPED_TRACE(c.name);
        EffectFileRecipe recipe = SmallRecipe();
        c.recipe(recipe);
        std::vector<uint8_t> bytes = MakeEffectFileBytes(recipe);
        c.patch(bytes);
        EffectFile file;
        std::string reason;
        EXPECT_FALSE(ParseEffectFile(bytes.data(), bytes.size(), file, reason));
        EXPECT_NE(reason.find(c.reasonPart), std::string::npos) << reason;
    }
}

class EffectFileRead : public ::testing::Test {
  protected:
    void SetUp() override {
        // ctest runs the cases of this fixture in parallel: each needs its own folder.
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lw52-effect-file-read-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    std::string Write(const char* name, const std::vector<uint8_t>& bytes) {
        const std::string path = (m_dir / name).string();
        FILE* file = std::fopen(path.c_str(), "wb");
        EXPECT_NE(file, nullptr);
        if (!file) return path;
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
        std::fclose(file);
        return path;
    }

    std::filesystem::path m_dir;
};

TEST_F(EffectFileRead, ReadsAFileAsParsed) {
    const std::string path = Write("hall.dteff", MakeEffectFileBytes(SmallRecipe()));
    EffectFile file;
    std::string reason;
    ASSERT_TRUE(ReadEffectFile(path, file, reason)) << reason;
    const EffectFile expected = ParsedFile(SmallRecipe());
    EXPECT_EQ(file.block04, expected.block04);
    EXPECT_EQ(file.block16, expected.block16);
    EXPECT_EQ(file.params.size(), 1u);
}

TEST_F(EffectFileRead, RefusesUnreadableOversizedAndMalformedFiles) {
    const std::string huge = Write("huge.dteff", MakeEffectFileBytes(SmallRecipe()));
    std::filesystem::resize_file(huge, kMaxEffectFileBytes + 1);  // sparse
    std::vector<uint8_t> version1 = MakeEffectFileBytes(SmallRecipe());
    PutLe32(version1, kVersion, 1);
    const struct {
        std::string path;
        const char* reasonPart;
    } cases[] = {
        {(m_dir / "missing.dteff").string(), "cannot open"},
        {m_dir.string(), "not a regular file"},
        {huge, "16 MiB"},
        {Write("old.dteff", version1), "old.dteff: version 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EffectFile file;
        std::string reason;
        EXPECT_FALSE(ReadEffectFile(c.path, file, reason));
        EXPECT_NE(reason.find(c.reasonPart), std::string::npos) << reason;
    }
}

TEST(EffectFileParams, MapsEffectParametersOntoTheirRange) {
    constexpr int32_t kUntouched = -7;
    constexpr int kNone = -1;
    const struct {
        EffectFileParam param;
        int id;  // kNone: every value stays untouched
        int32_t expected;
    } cases[] = {
        {{1, 0, 9, 5.0f}, kNone, 0},             // microphone volume
        {{45, 0, 100, 50.0f}, kNone, 0},         // no parameter 44
        {{0, 0, 100, 50.0f}, kNone, 0},          // no parameter -1
        {{INT32_MIN, 0, 100, 50.0f}, kNone, 0},  // number - 1 would overflow
        {{14, 0, 200, 100.0f}, kNone, 0},        // exciter bass: not an effect parameter
        {{37, 0, 100, NAN}, kNone, 0},           // no number to take over
        {{37, 0, 100, 50.0f}, 36, 50},           // reverb volume 0..100
        {{16, -12, 12, 3.0f}, 15, 150},          // EQ band 1, 0..240: 15 * 240 / 24
        {{16, -12, 12, 2.3f}, 15, 143},          // single precision: 14.3f * 240 is 3432
        {{16, -12, 12, -3.7f}, 15, 83},          // and 8.3f * 240 is 1992
        {{43, 0, 160, 80.0f}, 42, 80},           // last effect parameter (pre-delay)
        {{31, 0, 3, 1.0f}, 30, 33},              // 100 / 3 truncates
        {{37, 0, 3, -1.0f}, 36, -33},            // -100 / 3 truncates toward zero, not clamped
        {{37, 0, 100, 99.99f}, 36, 99},          // the product is truncated
        {{37, 100, 0, 25.0f}, 36, 75},           // a falling scale
        {{5, 0, 22, 11.0f}, kParamEffect, 11}    // the effect number is an effect parameter
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "number " << c.param.number << " value " << c.param.value);
        EffectFile file;
        file.params = {c.param};
        int32_t values[64];
        std::fill(std::begin(values), std::end(values), kUntouched);
        MapEffectFileParams(file, values);
        for (int id = 0; id < 64; ++id)
            EXPECT_EQ(values[id], id == c.id ? c.expected : kUntouched) << "parameter " << id;
    }
}

TEST(EffectFileParams, LaterEntriesWin) {
    EffectFile file;
    file.params = {{37, 0, 100, 20.0f}, {16, 0, 240, 30.0f}, {37, 0, 100, 60.0f}};
    int32_t values[64] = {};
    MapEffectFileParams(file, values);
    EXPECT_EQ(values[36], 60);
    EXPECT_EQ(values[15], 30);
}

}  // namespace
