#include <gtest/gtest.h>

#include <string>

#include "ServerAnswer.h"

using firmware::UpgradeContext;

TEST(ServerAnswer, ReadsTheVersionAndTheUrl) {
    const struct {
        const char* reply;
        const char* version;
        const char* url;
    } cases[] = {
        {R"({"message":"ok","data":{"currentVer":1002000,"url":"http://h/LW52-1.2.zip"}})", "1.2",
         "http://h/LW52-1.2.zip"},
        {R"({"message":"OK","data":{"currentVer":2001000,"url":"u","extra":[1]},"code":0})", "2.1",
         "u"},
        {R"({"message":"Ok","data":{"url":"u","currentVer":3000000.0}})", "3.0", "u"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        UpgradeContext context;
        ASSERT_TRUE(firmware::ReadServerAnswer(context, c.reply)) << context.errorText;
        EXPECT_EQ(context.latestVersion, c.version);
        EXPECT_EQ(context.packageUrl, c.url);
    }
}

TEST(ServerAnswer, AnythingElseIsRefusedAndChangesNothing) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const struct {
        std::string reply;
        const char* error;
    } cases[] = {
        {"", "解析Json失败"},
        {"<html>502 Bad Gateway</html>", "解析Json失败"},
        {R"({"message":"ok","data":{"currentVer":1002000,"url":"u"})", "解析Json失败"},
        {R"({"message":"ok"} trailing)", "解析Json失败"},
        {R"(["message","ok"])", "从服务器上获取固件信息失败"},  // JSON, but no answer
        {deep, "解析Json失败"},  // the parser would throw on this depth
        {R"({"message":"error","data":{"currentVer":1002000,"url":"u"}})",
         "从服务器上获取固件信息失败"},
        {R"({"message":"","data":{"currentVer":1002000,"url":"u"}})", "从服务器上获取固件信息失败"},
        {R"({"data":{"currentVer":1002000,"url":"u"}})", "从服务器上获取固件信息失败"},
        {R"({"message":"okay","data":{"currentVer":1002000,"url":"u"}})",
         "从服务器上获取固件信息失败"},
        // "ok" without a usable version or address is no firmware information either.
        {R"({"message":"ok"})", "从服务器上获取固件信息失败"},
        {R"({"message":"ok","data":[1002000,"u"]})", "从服务器上获取固件信息失败"},
        {R"({"message":"ok","data":{"url":"u"}})", "从服务器上获取固件信息失败"},
        {R"({"message":"ok","data":{"currentVer":"1002000","url":"u"}})",
         "从服务器上获取固件信息失败"},
        {R"({"message":"ok","data":{"currentVer":-1,"url":"u"}})", "从服务器上获取固件信息失败"},
        {R"({"message":"ok","data":{"currentVer":1.5,"url":"u"}})", "从服务器上获取固件信息失败"},
        {R"({"message":"ok","data":{"currentVer":1e30,"url":"u"}})", "从服务器上获取固件信息失败"},
        {R"({"message":"ok","data":{"currentVer":1002000}})", "从服务器上获取固件信息失败"},
        {R"({"message":"ok","data":{"currentVer":1002000,"url":""}})",
         "从服务器上获取固件信息失败"},
        {R"({"message":"ok","data":{"currentVer":1002000,"url":7}})", "从服务器上获取固件信息失败"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.substr(0, 80));
        UpgradeContext context;
        context.latestVersion = "1.0";
        context.packageUrl = "earlier";
        EXPECT_FALSE(firmware::ReadServerAnswer(context, c.reply));
        EXPECT_EQ(context.errorText, c.error);
        EXPECT_EQ(context.latestVersion, "1.0");
        EXPECT_EQ(context.packageUrl, "earlier");
    }
}
