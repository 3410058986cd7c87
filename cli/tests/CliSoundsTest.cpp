// lw52ctl's sound pads and sound output as a user runs them, against a private sound server.
#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ChildProcess.h"
#include "PulseDaemon.h"

namespace fs = std::filesystem;

namespace {

Json::Value Parse(const std::string& text) {
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(text);
    Json::parseFromStream(builder, in, &value, &errors);
    return value;
}

class CliSoundsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!PulseDaemon::Available()) GTEST_SKIP() << "pulseaudio is not installed";
        std::string error;
        ASSERT_TRUE(pulse.Start(&error)) << error;
        clip = dir.Path() + "/ding.mp3";
        fs::copy_file(
            fs::path(LW52_SOURCE_DIR) / "tools/cloud-fixture/fixture/sounds/掌声欢呼/ding.mp3",
            clip);
    }
    RunResult Ctl(const std::vector<std::string>& args) {
        return RunProgram(
            LW52CTL_PATH, args,
            {"XDG_DATA_HOME=" + dir.Path() + "/data", "PULSE_SERVER=" + pulse.ServerAddress()});
    }

    TempDir dir;
    PulseDaemon pulse;
    std::string clip;
};

TEST_F(CliSoundsTest, PadsAreListedAddedAndFavouritedAsThePanelKeepsThem) {
    Json::Value pads = Parse(Ctl({"--json", "sounds", "list"}).out);
    ASSERT_EQ(pads.size(), 36u);  // the seeded favourites and the built-in clips
    EXPECT_EQ(pads[0]["id"].asInt(), 14000);
    EXPECT_EQ(pads[0]["hotkey"].asString(), "Num 1");
    EXPECT_EQ(pads[18]["id"].asInt(), 15000);
    EXPECT_EQ(pads[18]["name"].asString(), "非诚勿扰");

    const RunResult missing = Ctl({"sounds", "add", dir.Path() + "/none.mp3"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("no such file"), std::string::npos);
    const RunResult added = Ctl({"--json", "sounds", "add", clip, "--name", "叮"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(Parse(added.out)["id"].asInt(), 15018);
    EXPECT_EQ(Ctl({"sounds", "favourite", "15018"}).exitCode, 0);
    const RunResult twice = Ctl({"sounds", "favourite", "15018"});
    EXPECT_EQ(twice.exitCode, 1);
    EXPECT_NE(twice.err.find("收藏夹中已经存在“叮”"), std::string::npos);
    pads = Parse(Ctl({"--json", "sounds", "list"}).out);
    EXPECT_EQ(pads.size(), 38u);
}

TEST_F(CliSoundsTest, PlayUsesTheLw52OutputAndFailsWithAReason) {
    const Json::Value devices = Parse(Ctl({"--json", "audio", "devices"}).out);
    ASSERT_TRUE(devices["outputs"].isArray());
    std::string picked;
    for (const Json::Value& d : devices["outputs"])
        if (d["picked"].asBool()) picked = d["name"].asString();
    EXPECT_EQ(picked, "lw52_out");
    for (const Json::Value& d : devices["inputs"])
        EXPECT_EQ(d["name"].asString().find(".monitor"), std::string::npos);

    const RunResult played = Ctl({"--json", "play", clip, "--volume", "40"});
    ASSERT_EQ(played.exitCode, 0) << played.err;
    EXPECT_FALSE(Parse(played.out)["stopped"].asBool());
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
