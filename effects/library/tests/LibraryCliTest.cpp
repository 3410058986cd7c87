// lw52ctl library as a user runs it: the shipped library beside the program, changes kept
// in the user's copy.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ChildProcess.h"

namespace {

TEST(LibraryCliTest, ChangesGoToTheUsersCopyOfTheShippedLibrary) {
    TempDir home;
    const std::string env = "XDG_DATA_HOME=" + home.Path();
    const auto ctl = [&](const std::vector<std::string>& args) {
        return RunProgram(LW52CTL_PATH, args, {env});
    };
    const std::string userFile = home.Path() + "/QvLW52/EffectList.xml";

    RunResult r = ctl({"--json", "library", "list"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("bin/EffectList.xml\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"name\":\"默认列表\""), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("\"exists\":false"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("/Effect/warm-hall.dteff\""), std::string::npos) << r.out;

    const std::string fx = home.Path() + "/fx";
    std::filesystem::create_directories(fx);
    for (const char* f : {"x.dteff", "y.dteff", "z.wav"}) std::ofstream(fx + "/" + f) << "x";

    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* out;  // a part of stdout
    } steps[] = {
        {{"library", "add-list", " 直播 "}, 0, ""},
        {{"library", "add-list", "直播"}, 1, ""},
        {{"library", "add-list", "a|b"}, 1, ""},
        {{"library", "add-list", "1234567890"}, 1, ""},
        {{"--json", "library", "import", fx, "--list", "直播"}, 0, "\"duplicates\":[]"},
        {{"--json", "library", "add", fx + "/x.dteff"}, 0, "\"added\":[],\"duplicates\":[\"x\"]"},
        {{"library", "import", fx, "--list", "nope"}, 1, ""},
        {{"library", "remove-list", "默认列表"}, 1, ""},
        {{"library", "rename-list", "默认列表", "Main"}, 1, ""},
        {{"library", "rename-list", "直播", "舞台"}, 0, ""},
        {{"library", "frobnicate"}, 2, ""},
    };
    for (const auto& s : steps) {
        r = ctl(s.args);
        EXPECT_EQ(r.exitCode, s.exitCode) << s.args[1] << " " << s.args.back() << r.err;
        EXPECT_NE(r.out.find(s.out), std::string::npos) << r.out;
        if (s.exitCode == 1) {
            EXPECT_NE(r.err.find("lw52ctl: "), std::string::npos);
        }
    }

    r = ctl({"--json", "library", "list"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"file\":\"" + userFile + "\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("{\"collapsed\":0,\"items\":[{\"exists\":true,\"name\":\"x\",\"path\":\"" +
                         fx + "/x.dteff\"},{\"exists\":true,\"name\":\"y\""),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"name\":\"舞台\""), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("z.wav"), std::string::npos) << r.out;
}

}  // namespace
