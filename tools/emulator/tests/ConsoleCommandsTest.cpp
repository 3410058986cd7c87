#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "ConsoleCommands.h"
#include "EmulatorOptions.h"
#include "TestFrames.h"
#include "WavWriter.h"

using namespace lw52;
using namespace lw52::emu;
using namespace lw52::emu::test;

TEST(ConsoleCommandsTest, EachLineGetsOneAnswerAndActsOnTheCard) {
    const std::string noHost = "ok (no host connected, nothing sent)";
    struct Case {
        const char* line;
        std::string answer;
        std::function<bool(const CCardModel&)> check;
    } cases[] = {
        {"", "", nullptr},
        {"knob 0 5 36 0x37", noHost,
         [](const CCardModel& m) { return m.LiveParams()[0] == 5 && m.LiveParams()[36] == 0x37; }},
        {"knob 0", "error: knob ID VALUE [ID VALUE...]", nullptr},
        {"knob 44 1", "error: ids are 0..43, values 0..4095", nullptr},
        {"knob 0 4096", "error: ids are 0..43, values 0..4095", nullptr},
        {"levels 3 9", noHost, nullptr},
        {"levels 3 10", "error: levels MIC ACC (0..9 each)", nullptr},
        {"rate 20", "ok", nullptr},
        {"rate -1", "error: rate HZ (0..1000)", nullptr},
        {"fault drop 2", "ok", [](const CCardModel& m) { return m.Faults().dropReplies == 2; }},
        {"fault delay 150", "ok", [](const CCardModel& m) { return m.ReplyDelayMs() == 150; }},
        {"fault checksum 1", "ok",
         [](const CCardModel& m) { return m.Faults().badChecksumReplies == 1; }},
        {"fault flag 3", "ok", [](const CCardModel& m) { return m.Faults().badFlagReplies == 3; }},
        {"fault unplug-after 4", "ok",
         [](const CCardModel& m) { return m.Faults().unplugAfterFrames == 4; }},
        {"fault clear", "ok",
         [](const CCardModel& m) { return m.ReplyDelayMs() == 0 && m.Faults().dropReplies == 0; }},
        {"fault bogus 1", "error: unknown fault 'bogus'", nullptr},
        {"faults drop=30 corrupt=10 seed=5", "ok",
         [](const CCardModel& m) {
             return m.Faults().dropRate == 30 && m.Faults().corruptRate == 10 &&
                    m.Faults().faultSeed == 5;
         }},
        {"faults corrupt=120",
         "error: faults [drop=P] [corrupt=P] [seed=N] | faults off (P 0..100)", nullptr},
        {"faults off", "ok",
         [](const CCardModel& m) {
             return m.Faults().dropRate == 0 && m.Faults().corruptRate == 0;
         }},
        {"dump 4 /tmp/x.wav", "error: dump SLOT FILE (slot 1..3)", nullptr},
        {"dump 1 /tmp/x.wav", "error: slot 1 holds no sound", nullptr},
        {"unplug", "error: not plugged in", nullptr},
        {"hangup", "error: no host connected", nullptr},
        {"frobnicate", "error: unknown command 'frobnicate' (try help)", nullptr},
    };
    CEmulatorServer server;  // never started: nothing connected, nothing plugged
    CConsoleCommands commands(server);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        bool quit = false;
        EXPECT_EQ(commands.Execute(c.line, quit), c.answer);
        EXPECT_FALSE(quit);
        if (c.check) {
            EXPECT_TRUE(c.check(server.Model()));
        }
    }
    bool quit = false;
    EXPECT_EQ(commands.Execute("state", quit).rfind("{\"config\":", 0), 0u);
    EXPECT_EQ(commands.Execute("  quit  ", quit), "ok");
    EXPECT_TRUE(quit);
}

TEST(ConsoleCommandsTest, DumpWritesTheSlotAsWav) {
    CEmulatorServer server;
    const std::vector<uint8_t> pcm = Pattern(100, 1);
    Send(server.Model(), Request(64, {{0, CMD_SOUND_BEGIN}, {4, 3}, {5, 2}, {8, 100}}));
    for (int i = 0; i < 2; ++i) {
        Frame data(64, 0);
        data[0] = CMD_SOUND_DATA;
        std::copy_n(pcm.begin() + i * 56, std::min(56, 100 - i * 56), data.begin() + 4);
        data[60] = static_cast<uint8_t>(i);
        Restamp(data);
        Send(server.Model(), data);
    }
    char path[] = "/tmp/lw52-dump-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    CConsoleCommands commands(server);
    bool quit = false;
    EXPECT_EQ(commands.Execute(std::string("dump 3 ") + path, quit), "ok 100 bytes");
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> written((std::istreambuf_iterator<char>(file)),
                                       std::istreambuf_iterator<char>());
    EXPECT_EQ(written, MakeWav(pcm));
    unlink(path);
}

TEST(EmulatorOptionsTest, ParsesOptionsAndNamesTheProblem) {
    struct Case {
        std::vector<std::string> args;
        std::string error;  // empty: valid
    } cases[] = {
        {{}, ""},
        {{"--packet",       "40",      "--product",      "0x7B",  "--hw",           "12",
          "--fw",           "105",     "--type",         "5",     "--levels",       "20",
          "--trace",        "t.jsonl", "--instance",     "bench", "--dir",          "/d",
          "--delay",        "50",      "--drop",         "1",     "--bad-checksum", "2",
          "--bad-flag",     "3",       "--unplug-after", "4",     "--drop-rate",    "30",
          "--corrupt-rate", "10",      "--fault-seed",   "7"},
         ""},
        {{"--drop-rate", "101"}, "--drop-rate: '101' is not a number in 0..100"},
        {{"--packet", "48"}, "--packet: 64 or 40"},
        {{"--product", "0x62"}, "--product: 0x61 or 0x7B"},
        {{"--hw", "256"}, "--hw: '256' is not a number in 0..255"},
        {{"--levels", "fast"}, "--levels: 'fast' is not a number in 0..1000"},
        {{"--instance", "a/b"}, "--instance: the name must not be empty or contain '#' or '/'"},
        {{"--delay"}, "--delay needs a value"},
        {{"--bogus", "1"}, "unknown option '--bogus'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "" : c.args[0]);
        EmulatorOptions options;
        std::string error;
        EXPECT_EQ(ParseEmulatorOptions(c.args, options, error), c.error.empty());
        EXPECT_EQ(error, c.error);
    }
    EmulatorOptions options;
    std::string error;
    ASSERT_TRUE(ParseEmulatorOptions(cases[1].args, options, error));
    EXPECT_EQ(options.card.packetSize, 40);
    EXPECT_EQ(options.card.productId, 0x7B);
    EXPECT_EQ(options.card.hwVersion, 12);
    EXPECT_EQ(options.card.fwVersion, 105);
    EXPECT_EQ(options.card.deviceType, 5);
    EXPECT_EQ(options.levelsHz, 20);
    EXPECT_EQ(options.tracePath, "t.jsonl");
    EXPECT_EQ(options.instance, "bench");
    EXPECT_EQ(options.dir, "/d");
    EXPECT_EQ(options.faults.delayMs, 50);
    EXPECT_EQ(options.faults.dropReplies, 1);
    EXPECT_EQ(options.faults.badChecksumReplies, 2);
    EXPECT_EQ(options.faults.badFlagReplies, 3);
    EXPECT_EQ(options.faults.unplugAfterFrames, 4);
    EXPECT_EQ(options.faults.dropRate, 30);
    EXPECT_EQ(options.faults.corruptRate, 10);
    EXPECT_EQ(options.faults.faultSeed, 7u);
    ASSERT_TRUE(ParseEmulatorOptions({"--help"}, options, error));
    EXPECT_TRUE(options.help);
    ASSERT_TRUE(ParseEmulatorOptions({}, options, error));
    EXPECT_EQ(options.instance, "emu0");
    EXPECT_EQ(options.card.packetSize, 64);
}
