// The list and download workers against the local stand-in for the cloud service.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CloudEffectDetailDownloader.h"
#include "CloudEffectFiles.h"
#include "CloudEffectListDownloader.h"
#include "CloudFixture.h"
#include "EffectPrj.h"
#include "IniFile.h"
#include "NotifyCenter.h"
#include "TextUtil.h"
#include "TreeData.h"

namespace fs = std::filesystem;
using namespace cloud_effect;

namespace {

void Write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A service folder with three categories; "R&B" names its effect "A&B" through names.txt.
void MakeServiceFolder(const std::string& root) {
    Write(fs::path(root) / "effects/R&B/a.dteff", std::string(3000, 'a'));
    Write(fs::path(root) / "effects/R&B/names.txt", "a.dteff=A&B\n");
    Write(fs::path(root) / "effects/r&b/b.dteff", "bb");
    Write(fs::path(root) / "effects/流行/暖声.dteff", std::string(5000, 'w'));
}

std::vector<std::string> FilesUnder(const std::string& dir) {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (!e.is_directory()) files.push_back(e.path().string());
    return files;
}

template <typename Event>
std::shared_ptr<Event> WaitFor(CNotifyCenter& center, int timeoutMs = 15000) {
    std::shared_ptr<Event> got;
    const int token = center.Subscribe(Event::kId, Event::kName, [&](EventArgs& e) {
        got = std::make_shared<Event>(static_cast<Event&>(e));
    });
    for (int waited = 0; !got && waited < timeoutMs; waited += 100) center.PumpFor(100);
    center.Unsubscribe(token);
    return got;
}

class CloudWorkers : public ::testing::Test {
  protected:
    void SetUp() override {
        LW52_REQUIRE_CLOUD_FIXTURE();
        MakeServiceFolder(m_service.Path());
        ASSERT_TRUE(m_fixture.Start(m_service.Path()));
    }

    std::vector<lw52::CloudEffectRecord> FetchList() {
        CCloudEffectListDownloader worker(m_gate, "", nullptr, 41);
        EXPECT_TRUE(worker.Start());
        auto event = WaitFor<EventThreadCloudEffectFinishEvent>(m_center);
        EXPECT_TRUE(event);
        if (!event) return {};
        EXPECT_EQ(event->worker, &worker);
        EXPECT_EQ(event->serial, 41u);
        EXPECT_EQ(event->success, 1) << event->error;
        event->worker->Stop(100);
        return event->records ? *event->records : std::vector<lw52::CloudEffectRecord>{};
    }

    TempDir m_service;
    TempDir m_user;
    CloudFixture m_fixture;
    CNotifyCenter m_center;
    std::shared_ptr<CNotifyGate> m_gate = std::make_shared<CNotifyGate>(m_center);
};

}  // namespace

TEST_F(CloudWorkers, ListKeepsCategoriesByExactNameAndDoublesAmpersands) {
    const auto records = FetchList();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(CategoryName(records[0]), u"R&&B");
    EXPECT_EQ(SoundName(records[0]), u"A&&B");
    EXPECT_EQ(CategoryName(records[1]), u"r&&b");  // another letter case, another category
    EXPECT_EQ(SoundName(records[1]), u"b");
    EXPECT_EQ(CategoryName(records[2]), u"流行");
    EXPECT_EQ(SoundName(records[2]), u"暖声");
    EXPECT_EQ(Url(records[2]).rfind(u"http://127.0.0.1:", 0), 0u);
}

TEST_F(CloudWorkers, ListFailuresCarryTheirTexts) {
    struct Case {
        const char* fault;
        const char* error;
    };
    const Case cases[] = {
        {"status500", "从服务器获取云音效列表失败"},
        {"oversize", "从服务器获取云音效列表失败"},  // longer than the 100 KiB buffer
        {"badjson", "解析json数据失败"},
        {"notok", "fail"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(m_fixture.SetFault(c.fault));
        CCloudEffectListDownloader worker(m_gate, "");
        ASSERT_TRUE(worker.Start());
        auto event = WaitFor<EventThreadCloudEffectFinishEvent>(m_center);
        ASSERT_TRUE(event) << c.fault;
        EXPECT_EQ(event->success, 0) << c.fault;
        EXPECT_EQ(event->error, c.error) << c.fault;
        EXPECT_TRUE(!event->records || event->records->empty());
    }
}

// A fetch its owner stops and lets go of while the service has not answered (refreshing
// twice, closing the window) is not freed under its thread, and once its gate is closed its
// late result reaches no one.
TEST(CloudListLifetime, AFetchLetGoOfLivesOnUntilItsRequestEnds) {
    LW52_REQUIRE_CLOUD_FIXTURE();
    TempDir service;
    MakeServiceFolder(service.Path());
    CloudFixture fixture;
    ASSERT_TRUE(fixture.Start(service.Path(), {"--fault", "slow", "--slow-ms", "1000"}));
    CNotifyCenter center;
    int posted = 0;
    const int token =
        center.Subscribe(EventThreadCloudEffectFinishEvent::kId,
                         EventThreadCloudEffectFinishEvent::kName, [&](EventArgs&) { ++posted; });
    for (const bool closeGate : {false, true}) {
        SCOPED_TRACE(closeGate ? "the page went" : "refreshed again");
        auto gate = std::make_shared<CNotifyGate>(center);
        auto worker = std::make_shared<CCloudEffectListDownloader>(gate, "", nullptr, 5);
        std::weak_ptr<CCloudEffectListDownloader> alive = worker;
        ASSERT_TRUE(worker->Start(worker));
        worker->Stop(100);  // the service answers after a second: not waited for
        worker.reset();
        EXPECT_FALSE(alive.expired()) << "its thread keeps it";
        if (closeGate) gate->Close();
        for (int waited = 0; !alive.expired() && waited < 15000; waited += 50) center.PumpFor(50);
        ASSERT_TRUE(alive.expired()) << "let go when its request ended";
        center.PumpFor(50);
        EXPECT_EQ(posted, closeGate ? 0 : 1);
        posted = 0;
    }
    center.Unsubscribe(token);
}

TEST_F(CloudWorkers, DownloadStoresTheFileAndIndexOrLeavesNothing) {
    const auto records = FetchList();
    ASSERT_EQ(records.size(), 3u);
    CTreeData category(CategoryName(records[2]));
    CTreeData* leaf = category.AddEntryCopy(EffectPrj(SoundName(records[2]), Url(records[2])));

    CCloudEffectDetailDownloader worker(m_center, leaf, m_user.Path());
    ASSERT_TRUE(worker.Start());
    auto event = WaitFor<EventCommonThreadFinishEvent>(m_center);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->tag, CCloudEffectDetailDownloader::kTag);
    EXPECT_EQ(event->leaf, leaf);
    EXPECT_EQ(event->success, 1) << event->error;
    // The file keeps the name the address gives it (percent-encoded as it is).
    const std::string key = IndexKey(Url(records[2]));
    EXPECT_EQ(key, "%E6%9A%96%E5%A3%B0.dteff");
    const std::string local = m_user.Path() + "/CloudEff/流行/" + key;
    EXPECT_EQ(worker.LocalPath(), local);
    EXPECT_EQ(fs::file_size(local), 5000u);
    EXPECT_EQ(CIniFile(IndexPath(m_user.Path())).GetString("Download", key, ""), "1");
    EXPECT_EQ(DownloadStateOf(m_user.Path(), u"流行", Url(records[2])), 1);

    // A failed download (cut short, then refused) removes the earlier file and leaves no
    // temporary one.
    for (const char* fault : {"truncate", "status404"}) {
        ASSERT_TRUE(m_fixture.SetFault(fault));
        std::string path, error;
        EXPECT_EQ(CCloudEffectDetailDownloader::Download(m_user.Path(), u"流行", Url(records[2]),
                                                         path, error),
                  0)
            << fault;
        EXPECT_EQ(error, "下载云音效数据失败");
        EXPECT_FALSE(fs::exists(local)) << fault;
        EXPECT_EQ(FilesUnder(m_user.Path()), std::vector<std::string>{IndexPath(m_user.Path())});
        EXPECT_EQ(CIniFile(IndexPath(m_user.Path())).GetString("Download", key, ""), "0");
    }
}

TEST_F(CloudWorkers, HostileCategoriesAndFileNamesStayInsideCloudEff) {
    const auto records = FetchList();
    ASSERT_FALSE(records.empty());
    const std::u16string url = Url(records[0]);
    const std::u16string hostile[] = {
        u"..",   u"../x", u"../../..", u"/tmp",   u"a/b",
        u"a\\b", u"",     u".",        u"bell\a", std::u16string(200, u'长')};
    for (const auto& category : hostile) {
        std::string path, error;
        EXPECT_EQ(CCloudEffectDetailDownloader::Download(m_user.Path(), category, url, path, error),
                  1)
            << error;
        EXPECT_TRUE(fs::exists(path));
    }
    // An address whose file part is ".." or empty fails without writing a file.
    for (const std::u16string& bad : {url + u"/..", url.substr(0, url.rfind(u'/') + 1)}) {
        std::string path, error;
        EXPECT_EQ(CCloudEffectDetailDownloader::Download(m_user.Path(), u"..", bad, path, error),
                  0);
    }
    const std::string cloudEff = m_user.Path() + "/CloudEff/";
    const auto files = FilesUnder(m_user.Path());
    // "a/b" and "a\\b" share a folder, so do "..", "" and "."; and the index.
    EXPECT_EQ(files.size(), 7u + 1u);
    for (const auto& f : files) EXPECT_EQ(f.rfind(cloudEff, 0), 0u) << f;
}
