// Cloud clip downloads: local names made from the service's URLs, the start rule, and the
// download worker against the local stand-in for the service.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CloudFixture.h"
#include "CloudSoundFileDownloader.h"
#include "CloudSoundListDownloader.h"
#include "HotkeyConfig.h"
#include "SoundService.h"

namespace fs = std::filesystem;
using namespace cloud_sound;

namespace {

std::vector<std::string> FilesUnder(const std::string& dir) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(dir, ec))
        if (!e.is_directory()) files.push_back(e.path().string());
    return files;
}

SoundEntry CloudEntry(const std::string& url, int32_t id = 77) {
    SoundEntry entry;
    entry.kind = SoundEntry::kCloud;
    entry.cloudId = id;
    entry.SetPathUtf8(url);
    return entry;
}

TEST(CloudSoundFiles, LocalNamesComeFromTheUrlAndStayInTheFolder) {
    const struct {
        const char* url;
        const char* name;
    } cases[] = {
        {"http://h/tuning/files/a/x.mp3", "x.mp3"},
        {"x.mp3", "77.mp3"},  // no slash: the clip's id
        {"http://h/files/", "77.mp3"},
        {"http://h/files/.", "77.mp3"},
        {"http://h/files/..", "77.mp3"},
        {"http://h/f/a%2F..", "a%2F.."},  // not decoded: one harmless name
        {"http://h/f/a\\..\\..\\evil.mp3", "a_.._.._evil.mp3"},
        {"http://h/f/bell\n\x7f.mp3", "bell__.mp3"},
        {"http://h/get?id=5", "get?id_5"},  // the query keeps clips apart
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(LocalPathFor("/u", CloudEntry(c.url)), std::string("/u/CloudSound/") + c.name);
    }
}

class CloudSoundDownloadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        LW52_REQUIRE_CLOUD_FIXTURE();
        user = dir.Path() + "/user";
        ASSERT_TRUE(config.Init(dir.Path() + "/cfg.ini"));
    }
    // Starts the service on the folder and fetches its list into the configuration.
    void StartService() {
        ASSERT_TRUE(cloud.Start(service.Root()));
        std::string error;
        ASSERT_EQ(FetchInto(config, error), 1) << error;
    }
    SoundEntry Item(size_t c, size_t i) const {
        return config.CloudItem(c, i).value_or(SoundEntry{});
    }

    TempDir dir;
    std::string user;
    SoundService service{dir.Path() + "/cloud"};
    HotkeyConfig config;
    CloudFixture cloud;
    CNotifyCenter center;
    std::shared_ptr<CNotifyGate> gate = std::make_shared<CNotifyGate>(center);
};

TEST_F(CloudSoundDownloadTest, AStartedDownloadArrivesInCloudSoundAndNamesItsPad) {
    service.AddCategory("c1", 2, "clip1.mp3=叮当\n");
    StartService();
    // A file where the folder belongs is not a folder: it is replaced by one.
    fs::create_directories(user);
    std::ofstream(user + "/CloudSound") << "in the way";

    PendingDownload pending;
    ASSERT_TRUE(BeginDownload(config, user, 0, 1, pending));
    EXPECT_EQ(pending.localPath, user + "/CloudSound/clip1.mp3");
    EXPECT_EQ(config.CloudItem(0, 1)->downloadState, SoundEntry::kDownloading);
    PendingDownload again;
    EXPECT_FALSE(BeginDownload(config, user, 0, 1, again)) << "a second click starts nothing";
    EXPECT_FALSE(BeginDownload(config, user, 0, 2, again)) << "no such item";

    auto worker = std::make_shared<CCloudSoundFileDownloader>(gate, pending.entry,
                                                              pending.localPath, 18001, 1, this);
    ASSERT_TRUE(worker->Start(worker));
    const auto event = WaitForEvent<EventCloudSoundFileReady>(center);
    ASSERT_TRUE(event);
    worker->Stop(100);
    EXPECT_EQ(event->worker, worker.get());
    EXPECT_EQ(event->Sender(), this);
    ASSERT_EQ(event->success, 1) << event->error;
    EXPECT_EQ(event->cloudId, 1002);
    EXPECT_EQ(event->padId, 18001);
    EXPECT_EQ(event->followUp, 1);
    EXPECT_EQ(event->name, u"叮当");
    EXPECT_EQ(event->localPath, pending.localPath);
    EXPECT_EQ(fs::file_size(pending.localPath), fs::file_size(SoundService::ShippedClip()));
    EXPECT_EQ(FilesUnder(user), std::vector<std::string>{pending.localPath});

    // Once the page has set the state back, the item may be fetched again.
    config.SetDownloadState(0, 1, SoundEntry::kIdle);
    EXPECT_TRUE(BeginDownload(config, user, 0, 1, again));
}

// Whatever the service puts at the end of a clip's URL, the file lands in CloudSound and
// nowhere else. The fixture ignores queries and never sees fragments, so these URLs fetch a
// real clip.
TEST_F(CloudSoundDownloadTest, HostileUrlsFromTheServiceStayInsideCloudSound) {
    service.AddCategory("c1", 4, "",
                        "clip0.mp3={url}?to=/..\n"
                        "clip1.mp3={url}?to=..\\..\\evil.mp3\n"
                        "clip2.mp3={url}#/a%2F..\n"
                        "clip3.mp3={url}?to=/bell\x01.mp3\n");
    StartService();
    const struct {
        size_t item;
        const char* name;
        int result;
    } cases[] = {
        {0, "1001.mp3", 1},
        {1, "clip1.mp3?to_.._.._evil.mp3", 1},
        {2, "a%2F..", 1},
        {3, "bell_.mp3", 0},  // a control character makes the URL unusable
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SoundEntry entry = Item(0, c.item);
        const std::string path = LocalPathFor(user, entry);
        EXPECT_EQ(path, user + "/CloudSound/" + c.name);
        std::string error;
        EXPECT_EQ(Download(entry, path, error), c.result) << error;
    }
    for (const std::string& file : FilesUnder(user))
        EXPECT_EQ(fs::path(file).parent_path(), fs::path(user + "/CloudSound")) << file;
    EXPECT_EQ(FilesUnder(user).size(), 3u);
}

// A transfer cut short, too large or refused fails and leaves no file, not even the one
// that was there before; so does a URL that is not http(s) or an entry that is no cloud clip.
TEST_F(CloudSoundDownloadTest, BrokenTransfersLeaveNoFile) {
    service.AddCategory("c1", 1);
    const fs::path hugeFile = fs::path(service.Root()) / "sounds/c1/huge.mp3";
    std::ofstream{hugeFile};
    fs::resize_file(hugeFile, kMaxClipBytes + 1);  // sparse
    StartService();
    const SoundEntry clip = Item(0, 0);
    const SoundEntry huge = Item(0, 1);
    const std::string path = LocalPathFor(user, clip);
    std::string error;
    SoundEntry local = CloudEntry("file://" + SoundService::ShippedClip().string());
    SoundEntry notCloud = clip;
    notCloud.kind = SoundEntry::kFile;

    const struct {
        const char* fault;
        const SoundEntry* entry;
        const char* error;
    } cases[] = {
        {"truncate", &clip, "下载文件失败"},
        {"clear", &huge, "下载文件失败"},       // one byte over the limit
        {"flood", &clip, "下载文件失败"},       // an endless body
        {"hugelength", &clip, "下载文件失败"},  // 4 GiB announced
        {"status404", &clip, "下载文件失败"},
        {"clear", &local, "下载文件失败"},  // only http and https are fetched
        {"clear", &notCloud, "错误的参数"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        ASSERT_EQ(Download(clip, path, error), 1) << error;  // the earlier copy
        ASSERT_TRUE(cloud.SetFault(c.fault));
        EXPECT_EQ(Download(*c.entry, path, error), 0);
        EXPECT_EQ(error, c.error);
        if (c.entry == &notCloud) continue;  // refused before anything was touched
        EXPECT_FALSE(fs::exists(path));
        EXPECT_TRUE(FilesUnder(user).empty());
        ASSERT_TRUE(cloud.SetFault("clear"));
    }
}

}  // namespace
