// The HTTP client against the local stand-in for the cloud service, with its faults.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "CloudApi.h"
#include "LibCurlHelper.h"

namespace {

namespace fs = std::filesystem;

std::string Pattern(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + seed) & 0xFF);
    return bytes;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Starts the fixture server on a free port; its base URL, or empty.
std::string StartFixture(ChildProcess& server, const std::vector<std::string>& args) {
    if (!server.Start(LW52_CLOUD_FIXTURE_PATH, args)) return "";
    const std::string line = server.WaitForLine("listening on ", 10000);
    const size_t at = line.find("http://");
    return at == std::string::npos ? "" : line.substr(at);
}

// Posts into a zeroed buffer of the clients' size; the text, or "<-1>" on failure.
std::string Post(const std::string& url, const char* body,
                 size_t capacity = cloud::kResponseBufferSize) {
    std::vector<char> buffer(capacity + 1, '\0');
    const int n = CLibCurlHelper::HttpPost(url, body, buffer.data(), capacity);
    return n < 0 ? "<-1>" : std::string(buffer.data(), static_cast<size_t>(n));
}

// Downloads with a limit well above every fixture file.
bool GetFile(const std::string& local, const std::string& url, uint64_t maxBytes = 1 << 20) {
    return CLibCurlHelper::HttpGetFile(local, url, maxBytes);
}

Json::Value Data(const std::string& url, const char* body) {
    Json::Value data;
    std::string error;
    EXPECT_TRUE(cloud::ParseEnvelope(Post(url, body), data, &error)) << url << ": " << error;
    return data;
}

// One fixture server per test on a free port, serving a small folder made here.
class LibCurlHelperTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const fs::path root = fs::path(dir_.Path()) / "root";
        effect_ = Pattern(20000, 1);
        WriteFile(root / "effects/人声美化/clear.dteff", effect_);
        WriteFile(root / "effects/人声美化/names.txt", "clear.dteff=清澈 & 明亮\n");
        WriteFile(root / "effects/K歌混响/hall.dteff", Pattern(300, 2));
        WriteFile(root / "sounds/掌声/clap.mp3", Pattern(900, 3));
        WriteFile(root / "sounds/掌声/cheer.mp3", Pattern(700, 4));
        WriteFile(root / "sounds/笑声/laugh.mp3", Pattern(500, 5));
        WriteFile(root / "firmware/upgrade.json", R"({"currentVer":1002000,"url":"fw.zip"})");
        WriteFile(root / "firmware/fw.zip", Pattern(4000, 6));

        base_ = StartFixture(server_, {"--root", root.string()});
        ASSERT_FALSE(base_.empty()) << "the fixture server did not start";
        ASSERT_EQ(base_.substr(base_.size() - 7), "/tuning");
    }

    std::string Api(const char* path) const { return base_ + path; }
    std::string Local(const char* name) const { return dir_.Path() + "/" + name; }

    void SetFault(const char* name) {
        const std::string control = base_.substr(0, base_.size() - 7) + "/fault?name=" + name;
        ASSERT_NE(Post(control, nullptr), "<-1>") << name;
    }

    Json::Value Data(const char* path, const char* body) { return ::Data(Api(path), body); }

    TempDir dir_;
    ChildProcess server_;
    std::string base_;
    std::string effect_;
};

TEST_F(LibCurlHelperTest, ApiCallsReturnTheRecordsAndTheFilesTheyName) {
    const Json::Value effects = Data(cloud::kPathEffectList, cloud::kBodyEffectList);
    ASSERT_EQ(effects.size(), 2u);
    EXPECT_EQ(effects[0]["categoryName"].asString(), "K歌混响");
    EXPECT_EQ(effects[0]["soundName"].asString(), "hall");
    EXPECT_EQ(effects[1]["categoryName"].asString(), "人声美化");
    EXPECT_EQ(effects[1]["soundName"].asString(), "清澈 & 明亮");
    const std::string url = effects[1]["url"].asString();
    EXPECT_EQ(url.rfind(base_ + "/files/effects/", 0), 0u) << url;
    EXPECT_EQ(url.substr(url.rfind('/')), "/clear.dteff");
    ASSERT_TRUE(GetFile(Local("clear.dteff"), url));
    EXPECT_EQ(ReadFile(Local("clear.dteff")), effect_);

    // No body at all for the categories; the category id picks the clips.
    const Json::Value categories = Data(cloud::kPathSoundCategories, nullptr);
    ASSERT_EQ(categories.size(), 2u);
    EXPECT_EQ(categories[0]["categoryName"].asString(), "掌声");
    const std::string body = "categoryId=" + categories[0]["id"].asString();
    const Json::Value clips = Data(cloud::kPathSoundsOfCategory, body.c_str());
    ASSERT_EQ(clips.size(), 2u);
    EXPECT_EQ(clips[0]["name"].asString(), "cheer");
    EXPECT_TRUE(clips[0]["id"].isInt());
    EXPECT_NE(clips[0]["id"], clips[1]["id"]);
    ASSERT_TRUE(GetFile(Local("cheer.mp3"), clips[0]["url"].asString()));
    EXPECT_EQ(ReadFile(Local("cheer.mp3")), Pattern(700, 4));

    const Json::Value upgrade = Data(cloud::kPathCheckUpgrade, cloud::kBodyCheckUpgrade);
    EXPECT_EQ(upgrade["currentVer"].asInt(), 1002000);
    ASSERT_TRUE(GetFile(Local("fw.zip"), upgrade["url"].asString()));
    EXPECT_EQ(ReadFile(Local("fw.zip")), Pattern(4000, 6));
}

TEST_F(LibCurlHelperTest, RequestsTheServerRefusesFail) {
    EXPECT_EQ(Post(Api(cloud::kPathEffectList), "genreId=14"), "<-1>");
    EXPECT_EQ(Post(Api(cloud::kPathEffectList), nullptr), "<-1>");
    EXPECT_EQ(Post(Api(cloud::kPathSoundsOfCategory), "categoryId=x"), "<-1>");
    EXPECT_EQ(Post(Api("/api/unknown.json"), ""), "<-1>");
    EXPECT_FALSE(GetFile(Local("none"), base_ + "/files/effects/none.dteff"));
    EXPECT_FALSE(GetFile(dir_.Path() + "/no/such/dir/f", base_ + "/files/x"));
    // Nothing listens on port 1.
    EXPECT_EQ(Post("http://127.0.0.1:1/tuning" + std::string(cloud::kPathEffectList), ""), "<-1>");
}

TEST_F(LibCurlHelperTest, AResponseMustFitTheBuffer) {
    const std::string whole = Post(Api(cloud::kPathEffectList), cloud::kBodyEffectList);
    ASSERT_NE(whole, "<-1>");
    EXPECT_EQ(Post(Api(cloud::kPathEffectList), cloud::kBodyEffectList, whole.size()), whole);
    EXPECT_EQ(Post(Api(cloud::kPathEffectList), cloud::kBodyEffectList, whole.size() - 1), "<-1>");

    SetFault("oversize");
    EXPECT_EQ(Post(Api(cloud::kPathEffectList), cloud::kBodyEffectList), "<-1>");
}

TEST_F(LibCurlHelperTest, ErrorStatusesFailBothOperations) {
    const std::string file = base_ + "/files/effects/人声美化/clear.dteff";
    for (const char* fault : {"status404", "status500"}) {
        SCOPED_TRACE(fault);
        SetFault(fault);
        EXPECT_EQ(Post(Api(cloud::kPathEffectList), cloud::kBodyEffectList), "<-1>");
        EXPECT_FALSE(GetFile(Local("f.dteff"), file));
        // The file was opened before the transfer; callers remove what is left.
        EXPECT_TRUE(fs::exists(Local("f.dteff")));
    }
    SetFault("clear");
    EXPECT_TRUE(GetFile(Local("f.dteff"), file));
}

TEST_F(LibCurlHelperTest, RepliesThatAreNotOkEnvelopesFailToParse) {
    const struct {
        const char* fault;
        const char* error;
    } cases[] = {{"badjson", "malformed"}, {"notok", "fail"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        SetFault(c.fault);
        const std::string text = Post(Api(cloud::kPathCheckUpgrade), cloud::kBodyCheckUpgrade);
        ASSERT_NE(text, "<-1>");
        Json::Value data;
        std::string error;
        EXPECT_FALSE(cloud::ParseEnvelope(text, data, &error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST_F(LibCurlHelperTest, ATruncatedDownloadFails) {
    SetFault("truncate");
    const std::string file = base_ + "/files/effects/人声美化/clear.dteff";
    EXPECT_FALSE(GetFile(Local("cut.dteff"), file));
    EXPECT_LT(fs::file_size(Local("cut.dteff")), effect_.size());
}

TEST_F(LibCurlHelperTest, ADownloadIsCutOffAtItsLimit) {
    const std::string file = base_ + "/files/effects/人声美化/clear.dteff";
    EXPECT_TRUE(GetFile(Local("exact"), file, effect_.size()));
    EXPECT_FALSE(GetFile(Local("short"), file, effect_.size() - 1));

    const uint64_t limit = 256 * 1024;
    for (const char* fault : {"flood", "hugelength"}) {
        SCOPED_TRACE(fault);
        SetFault(fault);
        EXPECT_FALSE(GetFile(Local(fault), file, limit));
        // Cut off at the limit, not after seconds of streaming into the disk.
        EXPECT_LE(fs::file_size(Local(fault)), limit);
    }
}

TEST_F(LibCurlHelperTest, OnlyHttpAndHttpsAreSpoken) {
    const std::string secret = Local("secret.txt");
    WriteFile(secret, "not for the network\n");
    EXPECT_FALSE(GetFile(Local("copy"), "file://" + secret));
    EXPECT_EQ(fs::file_size(Local("copy")), 0u);
    EXPECT_EQ(Post("file://" + secret, nullptr), "<-1>");
    for (const std::string url : {"ftp://127.0.0.1:1/x", "dict://127.0.0.1:1/x", "gopher://x/"}) {
        SCOPED_TRACE(url);
        EXPECT_FALSE(GetFile(Local("other"), url));
    }
}

TEST_F(LibCurlHelperTest, ASlowDownloadFailsWithinItsTimeout) {
    SetFault("slow");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(GetFile(Local("slow.dteff"), base_ + "/files/effects/K歌混响/hall.dteff"));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(2500));
    EXPECT_LT(elapsed, std::chrono::milliseconds(6000));
}

TEST_F(LibCurlHelperTest, AStopRequestEndsAStalledTransferAndNoLinkIsFollowed) {
    SetFault("slow");
    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    const auto start = std::chrono::steady_clock::now();
    char reply[256];
    EXPECT_EQ(CLibCurlHelper::HttpPost(Api(cloud::kPathCheckUpgrade), cloud::kBodyCheckUpgrade,
                                       reply, sizeof reply, &stop),
              -1);
    EXPECT_FALSE(CLibCurlHelper::HttpGetFile(Local("stopped"), base_ + "/files/firmware/fw.zip",
                                             1 << 20, &stop));
    stopper.join();
    // Both end at the next progress call (at least once a second), far before the timeouts.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));

    // A link planted where a download goes is not written through.
    SetFault("clear");
    const std::string victim = Local("victim.txt");
    WriteFile(victim, "keep me\n");
    fs::create_symlink(victim, Local("planted.zip"));
    EXPECT_FALSE(GetFile(Local("planted.zip"), base_ + "/files/firmware/fw.zip"));
    EXPECT_EQ(ReadFile(victim), "keep me\n");
    // Nor is a FIFO waited on (nothing reads it: a blocking open would never return).
    ASSERT_EQ(mkfifo(Local("fifo.zip").c_str(), 0600), 0);
    EXPECT_FALSE(GetFile(Local("fifo.zip"), base_ + "/files/firmware/fw.zip"));
}

TEST_F(LibCurlHelperTest, WorkersMayCallAtTheSameTime) {
    const std::string expected = Post(Api(cloud::kPathEffectList), cloud::kBodyEffectList);
    ASSERT_NE(expected, "<-1>");
    const std::string file = base_ + "/files/effects/人声美化/clear.dteff";
    std::vector<std::string> texts(4);
    std::vector<char> fetched(4, 0);
    std::vector<std::thread> workers;
    for (size_t i = 0; i < texts.size(); ++i)
        workers.emplace_back([&, i] {
            texts[i] = Post(Api(cloud::kPathEffectList), cloud::kBodyEffectList);
            const std::string local = Local("w") + std::to_string(i);
            fetched[i] = GetFile(local, file) && ReadFile(local) == effect_;
        });
    for (auto& w : workers) w.join();
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i], expected) << i;
        EXPECT_TRUE(fetched[i]) << i;
    }
}

// The folder shipped with the server, as the panel's demo sees it.
TEST(CloudFixtureTest, TheShippedFolderServesEveryApi) {
    ChildProcess server;
    const std::string base = StartFixture(server, {});
    ASSERT_FALSE(base.empty());
    TempDir dir;
    const auto fetches = [&](const Json::Value& record) {
        const std::string local = dir.Path() + "/f";
        return GetFile(local, record["url"].asString()) && std::filesystem::file_size(local) > 0;
    };

    const Json::Value effects = Data(base + cloud::kPathEffectList, cloud::kBodyEffectList);
    std::set<std::string> effectCategories;
    for (const Json::Value& e : effects) {
        effectCategories.insert(e["categoryName"].asString());
        EXPECT_FALSE(e["soundName"].asString().empty());
        EXPECT_TRUE(fetches(e)) << e["url"];
    }
    EXPECT_EQ(effectCategories.size(), 3u);

    const Json::Value categories = Data(base + cloud::kPathSoundCategories, nullptr);
    EXPECT_EQ(categories.size(), 4u);
    for (const Json::Value& c : categories) {
        const std::string body = "categoryId=" + c["id"].asString();
        const Json::Value clips = Data(base + cloud::kPathSoundsOfCategory, body.c_str());
        EXPECT_GE(clips.size(), 2u) << c["categoryName"];
        for (const Json::Value& clip : clips) EXPECT_TRUE(fetches(clip)) << clip["url"];
    }

    const Json::Value upgrade = Data(base + cloud::kPathCheckUpgrade, cloud::kBodyCheckUpgrade);
    EXPECT_GT(upgrade["currentVer"].asInt(), 0);
    EXPECT_EQ(upgrade["url"].asString().rfind(base + "/files/", 0), 0u);
}

}  // namespace
