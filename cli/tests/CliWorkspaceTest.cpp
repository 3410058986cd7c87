// lw52ctl's workspace commands against the emulator process, as a user scripts the card:
// the frames the card receives, stored effects across runs, uploads and hot-plug.
#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <map>
#include <sstream>

#include "ChildProcess.h"
#include "CliJson.h"

namespace {

class CliWorkspaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        vhid = dir.Path() + "/vhid";
        data = dir.Path() + "/data";
        trace = dir.Path() + "/trace.jsonl";
    }
    void StartCard(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--dir", vhid, "--trace", trace};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(emulator.Start(LW52_EMULATOR_PATH, args));
        ASSERT_NE(emulator.WaitForLine("listening on", 10000), "");
    }
    // A private runtime folder: a panel the developer runs is not asked.
    std::vector<std::string> Env() const {
        return {"LW52_VHID_DIR=" + vhid, "XDG_DATA_HOME=" + data, "XDG_RUNTIME_DIR=" + dir.Path()};
    }
    RunResult Ctl(const std::vector<std::string>& args) {
        return RunProgram(LW52CTL_PATH, args, Env());
    }
    // lw52ctl watch (JSON, no levels) attached to the card.
    bool StartWatch(ChildProcess& watch) {
        return watch.Start(LW52CTL_PATH, {"--json", "watch", "--no-levels"}, Env()) &&
               watch.WaitForLine("\"connected\"", 10000) != "";
    }
    std::string CardCommand(const std::string& line) {
        emulator.WriteLine(line);
        std::string reply;
        emulator.ReadLine(reply, 10000);
        return reply;
    }
    // Host frames of one command in the trace, in order, as hex.
    std::vector<std::string> TracedFrames(const std::string& cmd) {
        std::vector<std::string> frames;
        std::ifstream in(trace);
        std::string line;
        while (std::getline(in, line)) {
            const Json::Value j = ParseJson(line);
            if (j["dir"].asString() == "in" && j["cmd"].asString() == cmd)
                frames.push_back(j["frame"].asString());
        }
        return frames;
    }

    TempDir dir;
    std::string vhid, data, trace;
    ChildProcess emulator;
};

TEST_F(CliWorkspaceTest, SetSendsExactlyThePanelsFrames) {
    StartCard();
    // An effect parameter: one 0x96 led by the effect number with 0x40, then 36 = 50.
    RunResult r = Ctl({"set", "36", "50"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto frames96 = TracedFrames("0x96");
    ASSERT_EQ(frames96.size(), 1u);
    EXPECT_EQ(frames96[0].substr(0, 24),
              "960000000002041040241032");  // count 2, (4, 0x40), (36, 50)
    EXPECT_EQ(frames96[0].substr(124, 2), "01") << "byte 62: last frame";

    // A mixer parameter: one 0x94 with the single entry.
    ASSERT_EQ(Ctl({"set", "0", "5"}).exitCode, 0);
    auto frames94 = TracedFrames("0x94");
    ASSERT_EQ(frames94.size(), 1u);
    EXPECT_EQ(frames94[0].substr(0, 16), "9400000001001005");

    // Three at once: the first goes out, the other two follow together after the interval.
    ASSERT_EQ(Ctl({"set", "0", "6", "1", "4", "2", "3"}).exitCode, 0);
    frames94 = TracedFrames("0x94");
    ASSERT_EQ(frames94.size(), 3u);
    EXPECT_EQ(frames94[1].substr(0, 16), "9400000001001006");
    EXPECT_EQ(frames94[2].substr(8, 14), "02011004021003");

    const Json::Value state = ParseJson(CardCommand("state"));
    EXPECT_EQ(state["params"][1].asInt(), 4) << state;
}

TEST_F(CliWorkspaceTest, StateListsEveryParameterFromTheCardOrTheStore) {
    RunResult offline = Ctl({"--json", "state"});
    ASSERT_EQ(offline.exitCode, 0) << offline.err;
    Json::Value j = ParseJson(offline.out);
    EXPECT_EQ(j["source"].asString(), "stored");
    ASSERT_EQ(j["params"].size(), 44u);
    EXPECT_EQ(j["params"][15]["text"].asString(), "2.2") << "built-in effect 0: EQ_1 raw 142";
    EXPECT_EQ(j["params"][41]["text"].asString(), "1600");

    StartCard();
    j = ParseJson(Ctl({"--json", "state"}).out);
    EXPECT_EQ(j["source"].asString(), "card");
    EXPECT_EQ(j["params"][3]["name"].asString(), "降噪等级");
}

TEST_F(CliWorkspaceTest, AReconnectKeepsWhatTheCardPlays) {
    StartCard();
    ASSERT_EQ(Ctl({"effect", "2"}).exitCode, 0);
    ASSERT_EQ(Ctl({"set", "36", "50"}).exitCode, 0);
    const auto stateOf36 = [&] {
        const Json::Value j = ParseJson(Ctl({"--json", "state"}).out);
        EXPECT_EQ(j["source"].asString(), "card");
        return j["params"][36]["raw"].asInt();
    };
    // The card reports the effect the stored state holds: the values sent since stay.
    EXPECT_EQ(stateOf36(), 50);
    EXPECT_EQ(ParseJson(CardCommand("state"))["params"][36].asInt(), 50);

    // The effect was switched on the card meanwhile: its built-in values are what it plays.
    CardCommand("knob 4 3");
    const Json::Value card = ParseJson(CardCommand("state"));
    ASSERT_EQ(card["params"][4].asInt(), 3) << card;
    EXPECT_EQ(stateOf36(), card["params"][36].asInt());
    EXPECT_NE(card["params"][36].asInt(), 50);
}

// A stored effect (number 12 and up) goes out whole: every effect parameter, to target 4,
// led by its number in every frame.
TEST_F(CliWorkspaceTest, AStoredEffectIsSentWithEveryEffectParameter) {
    StartCard();
    ASSERT_EQ(Ctl({"effect", "5"}).exitCode, 0);
    ASSERT_EQ(Ctl({"set", "36", "77"}).exitCode, 0);
    ASSERT_EQ(Ctl({"save-effect", "user", "2", "mine"}).exitCode, 0);
    const size_t before = TracedFrames("0x96").size();
    RunResult r = Ctl({"custom", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> frames = TracedFrames("0x96");
    frames.erase(frames.begin(), frames.begin() + static_cast<long>(before));
    ASSERT_EQ(frames.size(), 2u) << "20 entries after the number: 17 and 3";
    const auto byte = [](const std::string& hex, size_t i) {
        return std::stoi(hex.substr(2 * i, 2), nullptr, 16);
    };
    std::map<int, int> sent;
    for (const std::string& f : frames) {
        EXPECT_EQ(byte(f, 4), 4) << "target";
        EXPECT_EQ(byte(f, 6), 4) << "led by the effect number";
        for (int e = 1; e < byte(f, 5); ++e) {
            const size_t at = 6 + 3 * static_cast<size_t>(e);
            sent[byte(f, at)] = ((byte(f, at + 1) & 0x0F) << 8) | byte(f, at + 2);
        }
    }
    std::vector<int> ids;
    for (const auto& [id, value] : sent) ids.push_back(id);
    EXPECT_EQ(ids, (std::vector<int>{15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
                                     29, 30, 31, 33, 34, 35, 36, 38, 41, 42}));
    EXPECT_EQ(sent[36], 77);
}

TEST_F(CliWorkspaceTest, StoredEffectsSurviveAndApply) {
    StartCard();
    ASSERT_EQ(Ctl({"effect", "5"}).exitCode, 0);
    RunResult saved = Ctl({"save-effect", "user", "3", "电话音改"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    ASSERT_EQ(Ctl({"save-preset", "1", "0", "我的均衡"}).exitCode, 0);

    const Json::Value config = ParseJson(Ctl({"config", "dump"}).out);
    EXPECT_EQ(config["MyCustomEffect"]["3"]["name"].asString(), "电话音改");
    EXPECT_EQ(config["MyCustomEffect"]["3"]["slot"].asInt(), 6);
    EXPECT_EQ(config["CustomPreset"]["1_0"]["name"].asString(), "我的均衡");
    EXPECT_TRUE(config["MyCustomEffect"]["4"].isNull());

    RunResult custom = Ctl({"custom", "3"});
    ASSERT_EQ(custom.exitCode, 0) << custom.err;
    EXPECT_NE(custom.out.find("电话音改"), std::string::npos);
    EXPECT_EQ(Ctl({"custom", "4"}).exitCode, 1) << "an empty slot is refused";
    EXPECT_EQ(Ctl({"preset", "1", "7"}).exitCode, 0) << "the saved user preset applies";
    EXPECT_EQ(Ctl({"preset", "1", "8"}).exitCode, 1) << "a slot never saved";
}

TEST_F(CliWorkspaceTest, UploadEffectFilesAppliedAndIntoSlots) {
    StartCard();
    const std::string file = std::string(LW52_SOURCE_DIR) + "/resources/effects/warm-hall.dteff";
    RunResult r = Ctl({"upload-effect", file});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Json::Value card = ParseJson(CardCommand("state"));
    EXPECT_EQ(card["effectFile"]["status"].asString(), "ok") << card["effectFile"];
    EXPECT_EQ(card["effectFile"]["target"].asInt(), 0);
    for (const auto& block : card["effectFile"]["blocks"]) {
        EXPECT_EQ(block["frames"], block["expectedFrames"]) << block;
        EXPECT_EQ(block["bytes"], block["expectedBytes"]) << block;
    }
    // The file became the current effect, with the reverb volume it carries (50 of 0..100).
    const Json::Value last = ParseJson(Ctl({"config", "dump"}).out)["LastStatus"]["CurrentEffect"];
    EXPECT_EQ(last["effect"].asInt(), 164);
    EXPECT_EQ(last["isFileEffect"].asInt(), 1);
    EXPECT_EQ(last["name"].asString(), "warm-hall");
    EXPECT_EQ(last["path"].asString(), file);
    EXPECT_EQ(last["values"][36].asInt(), 50);

    ASSERT_EQ(Ctl({"upload-effect", file, "--slot", "2"}).exitCode, 0);
    card = ParseJson(CardCommand("state"));
    EXPECT_EQ(card["effectFile"]["target"].asInt(), 2);
    EXPECT_EQ(card["effectFile"]["ok"].asInt(), 2);

    // The frames a file becomes, offline, match what an upload sends.
    RunResult frames = Ctl({"frames", "effect-file", file, "--target", "2"});
    ASSERT_EQ(frames.exitCode, 0);
    EXPECT_EQ(frames.out.substr(0, 12), "020000000002") << "header: 0x02, target 2";

    // A broken file is refused with its reason and nothing is sent.
    const std::string broken = dir.Path() + "/broken.dteff";
    std::ofstream(broken) << "not an effect file";
    RunResult refused = Ctl({"upload-effect", broken});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("effect file refused"), std::string::npos) << refused.err;
    EXPECT_EQ(ParseJson(CardCommand("state"))["effectFile"]["ok"].asInt(), 2);
}

TEST_F(CliWorkspaceTest, FortyByteCardGetsEveryEntryAndBlockByte) {
    StartCard({"--packet", "40"});
    // Every mixer parameter and every effect parameter, in one command.
    std::vector<std::string> args = {"set"};
    std::vector<std::pair<int, int>> expected;
    for (int id = 0; id < 44; ++id) {
        if (id == 4) continue;
        const int value = id == 3 ? 33 : id >= 15 && id <= 24 ? 200 - id : (id % 2);
        if (id == 11) continue;  // its rule rewrites parameter 3 locally
        expected.emplace_back(id, value);
        args.push_back(std::to_string(id));
        args.push_back(std::to_string(value));
    }
    RunResult r = Ctl(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json::Value card = ParseJson(CardCommand("state"));
    for (const auto& [id, value] : expected)
        EXPECT_EQ(card["params"][id].asInt(), value) << "parameter " << id;
    for (const std::string& frame : TracedFrames("0x94"))
        EXPECT_LE(std::stoi(frame.substr(8, 2), nullptr, 16), 11) << frame;

    const std::string file = std::string(LW52_SOURCE_DIR) + "/resources/effects/bright-voice.dteff";
    ASSERT_EQ(Ctl({"upload-effect", file}).exitCode, 0);
    const Json::Value upload = ParseJson(CardCommand("state"))["effectFile"];
    EXPECT_EQ(upload["status"].asString(), "ok") << upload;
    for (const auto& block : upload["blocks"]) EXPECT_EQ(block["bytes"], block["expectedBytes"]);
}

TEST_F(CliWorkspaceTest, UsageErrors) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"set"},
                                               {"set", "0"},
                                               {"set", "44", "1"},
                                               {"set", "0", "10"},
                                               {"effect", "12"},
                                               {"preset", "4", "0"},
                                               {"save-effect", "disk", "0", "x"},
                                               {"save-preset", "0", "0", "x"},
                                               {"config"},
                                               {"frames", "effect-file"},
                                               {"upload-effect", "f", "--slot", "4"}}) {
        EXPECT_EQ(Ctl(args).exitCode, 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    }
}

TEST_F(CliWorkspaceTest, WatchFollowsTheCardOutAndBackIn) {
    StartCard();
    ChildProcess watch;
    ASSERT_TRUE(StartWatch(watch));
    CardCommand("knob 36 77");
    const std::string change = watch.WaitForLine("\"change\"", 10000);
    EXPECT_NE(change.find("\"id\":36"), std::string::npos) << change;
    EXPECT_NE(change.find("\"raw\":77"), std::string::npos) << change;

    const auto connectsBefore = TracedFrames("0x90").size();
    CardCommand("unplug");
    EXPECT_NE(watch.WaitForLine("\"disconnected\"", 10000), "");
    CardCommand("plug");
    EXPECT_NE(watch.WaitForLine("\"connected\"", 10000), "");
    EXPECT_GE(TracedFrames("0x90").size(), connectsBefore + 2) << "the state was read again";
    EXPECT_EQ(watch.Stop(), 0);
}

TEST_F(CliWorkspaceTest, WatchSurvivesQuickReplugs) {
    StartCard();
    ChildProcess watch;
    ASSERT_TRUE(StartWatch(watch));
    // A loose cable: ten pulls and replugs faster than the program lets go of a card.
    for (int i = 0; i < 10; ++i) {
        CardCommand("unplug");
        CardCommand("plug");
    }
    // Whatever it printed meanwhile, it ends attached: a knob turned on the card arrives.
    bool changed = false;
    for (int attempt = 0; attempt < 50 && !changed; ++attempt) {
        CardCommand("knob 36 " + std::to_string(60 + attempt % 2));
        changed = watch.WaitForLine("\"change\"", 200) != "";
    }
    EXPECT_TRUE(changed) << "watch lost the card";
    EXPECT_EQ(watch.Stop(), 0);
}

}  // namespace
