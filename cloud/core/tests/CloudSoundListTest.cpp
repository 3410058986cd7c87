// The cloud sound list: replies and names as the service may send them, and the list worker
// against the local stand-in for the service.
#include <gtest/gtest.h>

#include <chrono>

#include "CloudFixture.h"
#include "CloudSoundList.h"
#include "CloudSoundListDownloader.h"
#include "HotkeyConfig.h"
#include "SoundService.h"
#include "TextUtil.h"

using namespace cloud_sound;
using Clock = std::chrono::steady_clock;

namespace {

int64_t MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(CloudSoundReply, OnlyAnObjectSayingOkIsAccepted) {
    const struct {
        std::string text;
        Reply reply;
        const char* message;
    } cases[] = {
        {R"({"message":"OK","data":[1]})", Reply::kOk, ""},
        {R"({"message":"fail","data":[]})", Reply::kNotOk, "fail"},
        {R"({"message":"","data":[]})", Reply::kMalformed, ""},
        {R"({"data":[]})", Reply::kMalformed, ""},
        {R"(["ok"])", Reply::kMalformed, ""},
        {R"({"message":"ok","data":[{"id":)", Reply::kMalformed, ""},
        // Deep enough to make the parser throw: a failure, not the end of the worker.
        {std::string(100000, '['), Reply::kMalformed, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        Json::Value data;
        std::string message = "stale";
        EXPECT_EQ(ParseReply(c.text, data, message), c.reply);
        EXPECT_EQ(message, c.message);
        if (c.reply == Reply::kOk) {
            EXPECT_TRUE(data.isArray() && data.size() == 1 && data[0] == 1);
        }
    }
}

TEST(CloudSoundNames, AreCutAtACharacterBoundary) {
    // 1-, 2-, 3- and 4-byte characters: every cut is a prefix of whole characters.
    const std::string text = "a\u00e9\u58f0\U0001F3B5b\u58f0";
    const std::u16string wide = text::Utf8ToUtf16(text);
    for (size_t max = 0; max <= text.size() + 1; ++max) {
        SCOPED_TRACE(max);
        const std::string cut = CutUtf8(text, max);
        EXPECT_LE(cut.size(), max);
        EXPECT_EQ(text.compare(0, cut.size(), cut), 0);
        // Whole characters survive the round trip; a split one would come back as U+FFFD.
        const std::u16string back = text::Utf8ToUtf16(cut);
        EXPECT_EQ(wide.compare(0, back.size(), back), 0);
    }
    EXPECT_EQ(CutUtf8(text, 6), "a\u00e9\u58f0");  // not into the 4-byte character
    EXPECT_EQ(CutUtf8(text, 10), "a\u00e9\u58f0\U0001F3B5");
}

class CloudSoundListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        LW52_REQUIRE_CLOUD_FIXTURE();
        ASSERT_TRUE(config.Init(dir.Path() + "/cfg.ini"));
    }

    std::vector<std::u16string> Names() const {
        std::vector<std::u16string> names;
        for (size_t c = 0; c < config.CloudCategoryCount(); ++c)
            names.push_back(config.CloudCategoryName(c));
        return names;
    }

    TempDir dir;
    SoundService service{dir.Path() + "/cloud"};
    HotkeyConfig config;
    CloudFixture cloud;
    CNotifyCenter center;
    std::shared_ptr<CNotifyGate> gate = std::make_shared<CNotifyGate>(center);
};

TEST_F(CloudSoundListTest, TheWorkerFillsEveryCategoryWithItsClips) {
    std::string longName = "z";  // 91 bytes: byte 63 falls inside the 21st "声"
    for (int i = 0; i < 30; ++i) longName += "声";
    service.AddCategory("c1", 2, "clip0.mp3=一二三四五六七八九十\n");
    for (int c = 2; c <= 8; ++c) service.AddCategory("c" + std::to_string(c), 1);
    // Sorts after "c8": the ninth. Its own address, percent-encoded, would not fit an entry.
    service.AddCategory(longName, 1, "", "clip0.mp3=http://127.0.0.1/long.mp3\n");
    ASSERT_TRUE(cloud.Start(service.Root()));

    auto worker = std::make_shared<CCloudSoundListDownloader>(gate, "", this);
    ASSERT_TRUE(worker->Start(worker));
    const auto event = WaitForEvent<EventThreadCloudSoundFinishEvent>(center);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->worker, worker.get());
    EXPECT_EQ(event->Sender(), this);
    ASSERT_EQ(event->success, 1) << event->error;
    worker->Stop(100);
    // The worker only carries the list; the receiver puts it into the configuration.
    EXPECT_EQ(config.CloudCategoryCount(), 0u);
    ASSERT_TRUE(event->list);
    cloud_sound::Install(config, *event->list);

    // All nine are kept: how many get a tab is the page's business.
    ASSERT_EQ(config.CloudCategoryCount(), 9u);
    EXPECT_EQ(config.CloudCategoryName(0), u"c1");
    const std::string cut = text::Utf16ToUtf8(config.CloudCategoryName(8));
    EXPECT_EQ(cut, longName.substr(0, 61));
    for (size_t c = 1; c < 9; ++c) EXPECT_EQ(config.CloudItems(c).size(), 1u) << c;

    ASSERT_EQ(config.CloudItems(0).size(), 2u);
    const SoundEntry first = *config.CloudItem(0, 0);
    EXPECT_EQ(first.kind, SoundEntry::kCloud);
    EXPECT_EQ(first.Name(), u"一二三四五六七八");
    EXPECT_EQ(first.cloudId, 1001);
    EXPECT_EQ(first.PathUtf8(), cloud.BaseUrl() + "/files/sounds/c1/clip0.mp3");
    EXPECT_EQ(first.downloadState, SoundEntry::kIdle);
    EXPECT_EQ(first.hotkey, 0u);
    EXPECT_EQ(config.CloudItem(8, 0).value_or(SoundEntry{}).cloudId, 9001);
}

// A failed fetch says why and leaves the categories of the last good one, which the page's
// tabs still show. A clip request that keeps failing is tried again after pauses, then
// given up: the page is not left busy for ever.
TEST_F(CloudSoundListTest, AFailedFetchSaysWhyAndKeepsTheCategoriesShown) {
    service.AddCategory("掌声", 1);
    service.AddCategory("笑声", 2);
    ASSERT_TRUE(cloud.Start(service.Root()));
    std::string error;
    ASSERT_EQ(FetchInto(config, error), 1) << error;
    const std::vector<std::u16string> shown = {u"掌声", u"笑声"};
    ASSERT_EQ(Names(), shown);

    const struct {
        const char* fault;
        const char* error;
    } cases[] = {
        {"status500", "从服务器获取特效分类失败"},
        {"oversize", "从服务器获取特效分类失败"},  // longer than the 100 KiB buffer
        {"badjson", "解析json数据失败"},
        {"notok", "fail"},  // the service's own words
        {"clipfail", "从服务器获取分类中的特效失败"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        ASSERT_TRUE(cloud.SetFault(c.fault));
        const auto start = Clock::now();
        EXPECT_EQ(FetchInto(config, error), 0);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(Names(), shown);
        EXPECT_EQ(config.CloudItems(1).size(), 2u);
        if (std::string(c.fault) == "clipfail") {
            const int64_t pauses = (kClipRequestAttempts - 1) * int64_t{kClipRetryPauseMs};
            EXPECT_GE(MsSince(start), pauses) << "tried again, after pauses";
            EXPECT_LT(MsSince(start), pauses + 10000) << "then given up";
        }
    }
}

// A worker stopped during a fetch that keeps failing ends without going through its retries;
// one stopped and let go of after its window went (gate closed) posts nothing.
TEST_F(CloudSoundListTest, StoppedWorkersEndPromptlyAndClosedGatesStaySilent) {
    service.AddCategory("c1", 1);
    ASSERT_TRUE(cloud.Start(service.Root(), {"--slow-ms", "300"}));

    ASSERT_TRUE(cloud.SetFault("clipfail"));
    auto retrying = std::make_shared<CCloudSoundListDownloader>(gate, "");
    ASSERT_TRUE(retrying->Start(retrying));
    const auto start = Clock::now();
    retrying->Stop(10000);
    EXPECT_LT(MsSince(start), (kClipRequestAttempts - 1) * int64_t{kClipRetryPauseMs});
    const auto stopped = WaitForEvent<EventThreadCloudSoundFinishEvent>(center);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->success, 0);
    EXPECT_FALSE(stopped->list);

    ASSERT_TRUE(cloud.SetFault("slow"));
    int posted = 0;
    const int token =
        center.Subscribe(EventThreadCloudSoundFinishEvent::kId,
                         EventThreadCloudSoundFinishEvent::kName, [&](EventArgs&) { ++posted; });
    auto late = std::make_shared<CCloudSoundListDownloader>(gate, "");
    std::weak_ptr<CCloudSoundListDownloader> alive = late;
    ASSERT_TRUE(late->Start(late));
    late->Stop(10);  // held by the service for 300 ms: not waited for
    late.reset();
    gate->Close();
    for (int waited = 0; !alive.expired() && waited < 15000; waited += 50) center.PumpFor(50);
    ASSERT_TRUE(alive.expired()) << "its thread let go of it when the request ended";
    center.PumpFor(50);
    EXPECT_EQ(posted, 0);
    center.Unsubscribe(token);
}

}  // namespace
