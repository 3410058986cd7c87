// Cloud sounds against the local stand-in for the service: the category list into the pads'
// configuration, and clip downloads that stay inside the CloudSound folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CloudFixture.h"
#include "CloudSoundFileDownloader.h"
#include "CloudSoundListDownloader.h"
#include "HotkeyConfig.h"
#include "TextUtil.h"

namespace fs = std::filesystem;

namespace {

const fs::path kShippedClip = fs::path(LW52_CLOUD_FIXTURE_DIR) / "sounds" / "掌声欢呼" / "ding.mp3";

class CloudSoundTest : public ::testing::Test {
  protected:
    void SetUp() override {
        LW52_REQUIRE_CLOUD_FIXTURE();
        root = dir.Path() + "/cloud";
        ASSERT_TRUE(config.Init(dir.Path() + "/cfg.ini"));
    }
    void AddCategory(const std::string& name, int clips, const std::string& urls = "") {
        const fs::path folder = fs::path(root) / "sounds" / name;
        fs::create_directories(folder);
        for (int i = 0; i < clips; ++i)
            fs::copy_file(kShippedClip, folder / ("clip" + std::to_string(i) + ".mp3"));
        if (!urls.empty()) std::ofstream(folder / "urls.txt") << urls;
    }
    // The clip entry of category c, item i after a fetch.
    SoundEntry Item(size_t c, size_t i) { return config.CloudItem(c, i).value_or(SoundEntry{}); }

    TempDir dir;
    std::string root;
    HotkeyConfig config;
    CloudFixture cloud;
};

TEST_F(CloudSoundTest, TheListFillsEveryCategoryAndCutsLongNamesAtACharacter) {
    std::string thirty;  // 90 bytes
    for (int i = 0; i < 30; ++i) thirty += "声";
    for (int c = 1; c <= 8; ++c) AddCategory("c" + std::to_string(c), c == 1 ? 2 : 1);
    AddCategory(thirty, 1);
    ASSERT_TRUE(cloud.Start(root));
    std::string error;
    ASSERT_EQ(CCloudSoundListDownloader::Fetch(config, "", error), 1) << error;
    ASSERT_EQ(config.CloudCategoryCount(), 9u);
    EXPECT_EQ(config.CloudCategoryName(0), u"c1");
    // 63 bytes hold 21 whole characters.
    EXPECT_EQ(config.CloudCategoryName(8), text::Utf8ToUtf16(thirty.substr(0, 63)));
    ASSERT_EQ(config.CloudItems(0).size(), 2u);
    const SoundEntry first = Item(0, 0);
    EXPECT_EQ(first.kind, SoundEntry::kCloud);
    EXPECT_EQ(first.cloudId, 1001);
    EXPECT_EQ(first.Name(), u"clip0");
    EXPECT_NE(first.PathUtf8().find("/files/sounds/c1/clip0.mp3"), std::string::npos);
    EXPECT_EQ(first.downloadState, SoundEntry::kIdle);

    EXPECT_EQ(cloud_sound::CutUtf8("ab声", 3), "ab");
    EXPECT_EQ(cloud_sound::CutUtf8("ab声", 5), "ab声");
}

TEST_F(CloudSoundTest, FailuresEndTheFetchWithTheirTexts) {
    AddCategory("c1", 1);
    ASSERT_TRUE(cloud.Start(root));
    const struct {
        const char* fault;
        const char* error;
    } cases[] = {
        {"status500", "从服务器获取特效分类失败"},
        {"badjson", "解析json数据失败"},
        {"notok", "fail"},  // the service's own message
        // Tried a few times with a pause, then given up instead of busy for ever.
        {"clipfail", "从服务器获取分类中的特效失败"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        ASSERT_TRUE(cloud.SetFault(c.fault));
        std::string error;
        EXPECT_EQ(CCloudSoundListDownloader::Fetch(config, "", error), 0);
        EXPECT_EQ(error, c.error);
    }
}

TEST_F(CloudSoundTest, LocalNamesComeFromTheUrlAndStayInTheFolder) {
    const std::string folder = dir.Path() + "/CloudSound/";
    const struct {
        const char* url;
        const char* name;
    } cases[] = {
        {"http://h/tuning/files/a/x.mp3", "x.mp3"},
        {"x.mp3", "77.mp3"},  // no slash: the clip's id
        {"http://h/files/..", "77.mp3"},
        {"http://h/files/", "77.mp3"},
        {"http://h/f/a\\..\\..\\evil.mp3", "a_.._.._evil.mp3"},
        {"http://h/f/bell\n.mp3", "bell_.mp3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        SoundEntry entry;
        entry.kind = SoundEntry::kCloud;
        entry.cloudId = 77;
        entry.SetPathUtf8(c.url);
        EXPECT_EQ(cloud_sound::LocalPathFor(dir.Path(), entry), folder + c.name);
    }
}

TEST_F(CloudSoundTest, DownloadsArriveWholeOrNotAtAll) {
    AddCategory("c1", 2, "clip1.mp3={url}?n=..\\..\\evil.mp3\n");
    ASSERT_TRUE(cloud.Start(root));
    std::string error;
    ASSERT_EQ(CCloudSoundListDownloader::Fetch(config, "", error), 1) << error;

    const SoundEntry plain = Item(0, 0);
    const std::string path = cloud_sound::LocalPathFor(dir.Path(), plain);
    ASSERT_EQ(cloud_sound::Download(plain, path, error), 1) << error;
    EXPECT_EQ(fs::file_size(path), fs::file_size(kShippedClip));

    const SoundEntry hostile = Item(0, 1);
    const std::string hostilePath = cloud_sound::LocalPathFor(dir.Path(), hostile);
    EXPECT_EQ(fs::path(hostilePath).parent_path(), fs::path(dir.Path() + "/CloudSound"));
    ASSERT_EQ(cloud_sound::Download(hostile, hostilePath, error), 1) << error;
    EXPECT_TRUE(fs::exists(hostilePath));

    for (const char* fault : {"truncate", "flood", "hugelength", "status404"}) {
        SCOPED_TRACE(fault);
        ASSERT_TRUE(cloud.SetFault(fault));
        fs::remove(path);
        EXPECT_EQ(cloud_sound::Download(plain, path, error), 0);
        EXPECT_EQ(error, "下载文件失败");
        EXPECT_FALSE(fs::exists(path));
    }
    ASSERT_TRUE(cloud.SetFault("clear"));
    SoundEntry local = plain;
    local.SetPathUtf8("file://" + kShippedClip.string());
    EXPECT_EQ(cloud_sound::Download(local, path, error), 0) << "only http and https";
    local.kind = SoundEntry::kFile;
    EXPECT_EQ(cloud_sound::Download(local, path, error), 0);
    EXPECT_EQ(error, "错误的参数");
    // Only the hostile clip is there: the failed downloads left no file, partial or whole.
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir.Path() + "/CloudSound"))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1u);
}

}  // namespace
