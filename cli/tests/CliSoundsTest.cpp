// lw52ctl's sound pads, cloud sounds and sound output as a user runs them: the pads the panel
// shows, the cloud's clips from the local stand-in for the service, and clips played into a
// private sound server.
#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ChildProcess.h"
#include "CliJson.h"
#include "CloudFixture.h"
#include "PulseDaemon.h"
#include "SoundService.h"

namespace fs = std::filesystem;

namespace {

class CliSoundsTest : public ::testing::Test {
  protected:
    RunResult Ctl(const std::vector<std::string>& args) {
        return RunProgram(LW52CTL_PATH, args, {"XDG_DATA_HOME=" + data});
    }
    // The downloaded pads' folder, as the panel keeps it.
    std::string CloudSound() const { return data + "/QvLW52/CloudSound"; }

    TempDir dir;
    std::string data = dir.Path() + "/data";
};

TEST_F(CliSoundsTest, PadsAreListedAddedAndFavouritedAsThePanelKeepsThem) {
    const std::string clip = dir.Path() + "/ding.mp3";
    fs::copy_file(SoundService::ShippedClip(), clip);
    Json::Value pads = ParseJson(Ctl({"--json", "sounds", "list"}).out);
    ASSERT_EQ(pads.size(), 36u);  // the seeded favourites and the built-in clips
    EXPECT_EQ(pads[0]["id"].asInt(), 14000);
    EXPECT_EQ(pads[0]["tab"].asString(), "收藏夹");
    EXPECT_EQ(pads[0]["hotkey"].asString(), "Num 1");
    EXPECT_EQ(pads[18]["id"].asInt(), 15000);
    EXPECT_EQ(pads[18]["tab"].asString(), "本地");
    EXPECT_EQ(pads[18]["name"].asString(), "非诚勿扰");
    EXPECT_EQ(pads[18]["kind"].asString(), "built-in");

    const RunResult added = Ctl({"--json", "sounds", "add", clip, "--name", "叮叮当当叮叮当当响"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    const Json::Value pad = ParseJson(added.out);
    EXPECT_EQ(pad["id"].asInt(), 15018);
    EXPECT_EQ(pad["name"].asString(), "叮叮当当叮叮当当");  // cut to 8
    EXPECT_EQ(pad["kind"].asString(), "file");
    EXPECT_EQ(pad["path"].asString(), clip);
    EXPECT_EQ(Ctl({"sounds", "favourite", "15018"}).exitCode, 0);
    pads = ParseJson(Ctl({"--json", "sounds", "list"}).out);
    ASSERT_EQ(pads.size(), 38u);
    EXPECT_EQ(pads[18]["id"].asInt(), 14018);
    EXPECT_EQ(pads[18]["path"].asString(), clip);

    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* says;
    } refusals[] = {
        {{"sounds", "favourite", "15018"}, 1, "收藏夹中已经存在“叮叮当当叮叮当当”"},
        {{"sounds", "favourite", "16000"}, 1, "no pad 16000"},
        {{"sounds", "favourite", "18000"}, 1, "download it first"},
        {{"sounds", "favourite", "15018x"}, 2, "pad id"},
        {{"sounds", "add", dir.Path() + "/none.mp3"}, 1, "no such file"},
        {{"sounds", "add", clip, "--name"}, 2, "--name"},
        {{"sounds", "add"}, 2, "usage"},
        {{"sounds", "list", "x"}, 2, "usage"},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.args[1] + " " + r.args.back());
        const RunResult run = Ctl(r.args);
        EXPECT_EQ(run.exitCode, r.exitCode);
        EXPECT_NE(run.err.find(r.says), std::string::npos) << run.err;
    }
    EXPECT_EQ(ParseJson(Ctl({"--json", "sounds", "list"}).out).size(), 38u) << "nothing changed";
}

TEST_F(CliSoundsTest, CloudSoundsAreListedAndDownloadedIntoTheDownloadedPads) {
    LW52_REQUIRE_CLOUD_FIXTURE();
    SoundService service(dir.Path() + "/cloud");
    service.AddCategory("掌声", 2, "clip1.mp3=叮当\n");
    service.AddCategory("笑声", 1);
    CloudFixture cloud;
    ASSERT_TRUE(cloud.Start(service.Root()));

    const RunResult listed = Ctl({"--json", "cloud", "sounds"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    Json::Value categories = ParseJson(listed.out);
    ASSERT_EQ(categories.size(), 2u);
    EXPECT_EQ(categories[0]["name"].asString(), "掌声");
    ASSERT_EQ(categories[0]["clips"].size(), 2u);
    const Json::Value clip = categories[0]["clips"][1];
    EXPECT_EQ(clip["id"].asInt(), 1002);
    EXPECT_EQ(clip["pad"].asInt(), 18001);
    EXPECT_EQ(clip["name"].asString(), "叮当");
    const std::string url = clip["url"].asString();
    EXPECT_EQ(url.rfind(cloud.BaseUrl() + "/files/sounds/", 0), 0u) << url;
    EXPECT_EQ(fs::path(url).filename(), "clip1.mp3");
    EXPECT_FALSE(clip["downloaded"].asBool());
    EXPECT_EQ(categories[1]["clips"][0]["id"].asInt(), 2001);

    const RunResult fetched = Ctl({"--json", "cloud", "sounds", "--download", "1002"});
    ASSERT_EQ(fetched.exitCode, 0) << fetched.err;
    const Json::Value pad = ParseJson(fetched.out);
    EXPECT_EQ(pad["id"].asInt(), 17000);
    EXPECT_EQ(pad["tab"].asString(), "已下载");
    EXPECT_EQ(pad["cloudId"].asInt(), 1002);
    EXPECT_EQ(pad["path"].asString(), CloudSound() + "/clip1.mp3");
    EXPECT_EQ(fs::file_size(CloudSound() + "/clip1.mp3"),
              fs::file_size(SoundService::ShippedClip()));
    const Json::Value pads = ParseJson(Ctl({"--json", "sounds", "list"}).out);
    ASSERT_EQ(pads.size(), 37u);
    EXPECT_EQ(pads[36]["id"].asInt(), 17000);
    EXPECT_EQ(pads[36]["name"].asString(), "叮当");
    EXPECT_NE(Ctl({"cloud", "sounds"}).out.find("clip1.mp3  (downloaded)"), std::string::npos);

    const struct {
        const char* fault;
        std::vector<std::string> args;
        int exitCode;
        const char* says;
    } failures[] = {
        {"clear", {"cloud", "sounds", "--download", "9999"}, 1, "no cloud clip with id 9999"},
        {"clear", {"cloud", "sounds", "--download"}, 2, "usage"},
        {"clear", {"cloud", "sounds", "--download", "x"}, 2, "clip id"},
        {"status500", {"cloud", "sounds"}, 1, "从服务器获取特效分类失败"},
        {"clipfail", {"cloud", "sounds"}, 1, "从服务器获取分类中的特效失败"},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.fault + (" " + f.args.back()));
        ASSERT_TRUE(cloud.SetFault(f.fault));
        const RunResult run = Ctl(f.args);
        EXPECT_EQ(run.exitCode, f.exitCode);
        EXPECT_NE(run.err.find(f.says), std::string::npos) << run.err;
    }
    // A failed download leaves no file, the earlier copy included.
    ASSERT_TRUE(cloud.SetFault("clear"));
    ASSERT_EQ(Ctl({"cloud", "sounds", "--download", "1001"}).exitCode, 0);
    ASSERT_TRUE(cloud.SetFault("truncate"));
    const RunResult cut = Ctl({"cloud", "sounds", "--download", "1001"});
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_NE(cut.err.find("下载文件失败"), std::string::npos) << cut.err;
    EXPECT_FALSE(fs::exists(CloudSound() + "/clip0.mp3"));
    EXPECT_EQ(std::distance(fs::directory_iterator(CloudSound()), fs::directory_iterator()), 1);
}

// With a private sound server: its "LW52" output is the card's.
class CliSoundOutputTest : public CliSoundsTest {
  protected:
    void SetUp() override {
        if (!PulseDaemon::Available()) GTEST_SKIP() << "pulseaudio is not installed";
        std::string error;
        ASSERT_TRUE(pulse.Start(&error)) << error;  // the programs run find it in PULSE_SERVER
    }

    PulseDaemon pulse;
};

TEST_F(CliSoundOutputTest, PlayUsesTheLw52OutputAndFailsWithAReason) {
    const Json::Value devices = ParseJson(Ctl({"--json", "audio", "devices"}).out);
    ASSERT_TRUE(devices["outputs"].isArray());
    std::string picked;
    for (const Json::Value& d : devices["outputs"])
        if (d["picked"].asBool()) picked = d["name"].asString();
    EXPECT_EQ(picked, "lw52_out");
    for (const Json::Value& d : devices["inputs"])
        EXPECT_EQ(d["name"].asString().find(".monitor"), std::string::npos);

    const std::string clip = dir.Path() + "/ding.mp3";
    fs::copy_file(SoundService::ShippedClip(), clip);
    const RunResult played = Ctl({"--json", "play", clip, "--volume", "40"});
    ASSERT_EQ(played.exitCode, 0) << played.err;
    EXPECT_FALSE(ParseJson(played.out)["stopped"].asBool());
    EXPECT_EQ(Ctl({"play", "15003"}).exitCode, 0);

    const std::string text = dir.Path() + "/text.mp3";
    std::ofstream(text) << "not audio at all";
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* says;
    } cases[] = {
        {{"play", dir.Path() + "/none.mp3"}, 1, "file not found"},
        {{"play", text}, 1, "cannot decode"},
        {{"play", "16000"}, 1, "no pad with id 16000"},
        {{"play", clip, "--volume", "101"}, 2, "--volume"},
        {{"play"}, 2, "FILE or a PAD_ID"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const RunResult r = Ctl(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

}  // namespace
