// Requests as clients send them: every operation with its arguments, and what is refused.
#include <gtest/gtest.h>

#include <string>

#include "ControlRequest.h"

namespace {

using control::Op;

TEST(ControlRequest, ReadsEveryOperationWithItsArguments) {
    control::Request r;
    std::string error;
    ASSERT_TRUE(control::ParseRequest(R"({"id":7,"op":"set","changes":[[36,50],[0,6]]})", r, error))
        << error;
    EXPECT_EQ(r.op, Op::kSet);
    EXPECT_EQ(r.id.asInt(), 7);
    EXPECT_EQ(r.changes, (std::vector<std::pair<int, int>>{{36, 50}, {0, 6}}));

    ASSERT_TRUE(control::ParseRequest(R"({"op":"effect","index":2})", r, error)) << error;
    EXPECT_EQ(r.op, Op::kEffect);
    EXPECT_EQ(r.index, 2);
    EXPECT_TRUE(r.id.isNull());

    ASSERT_TRUE(control::ParseRequest(R"({"id":"a","op":"preset","group":1,"index":3})", r, error));
    EXPECT_EQ(r.group, 1);
    EXPECT_EQ(r.index, 3);

    ASSERT_TRUE(control::ParseRequest(
        R"({"op":"save-effect","target":"card","slot":2,"name":"我的音效"})", r, error));
    EXPECT_TRUE(r.cardSlot);
    EXPECT_EQ(r.slot, 2);
    EXPECT_EQ(r.name, "我的音效");

    ASSERT_TRUE(
        control::ParseRequest(R"({"op":"upload-sound","file":"/a.mp3","slot":3})", r, error));
    EXPECT_EQ(r.volume, 100);
    EXPECT_EQ(r.master, -1) << "the system's level unless one is named";
    ASSERT_TRUE(control::ParseRequest(
        R"({"op":"upload-sound","file":"builtin:DJ_ZS","slot":1,"volume":40,"master":0.5})", r,
        error));
    EXPECT_EQ(r.volume, 40);
    EXPECT_EQ(r.master, 0.5);
    ASSERT_TRUE(control::ParseRequest(R"({"op":"subscribe","levels":false})", r, error));
    EXPECT_FALSE(r.levels);
    ASSERT_TRUE(control::ParseRequest(R"({"op":"upload-effect","file":"/x.dteff"})", r, error));
    EXPECT_EQ(r.slot, 0) << "live unless a slot is named";

    for (const char* op : {"info", "state", "stop-pad", "subscribe"}) {
        const std::string line = std::string(R"({"op":")") + op + "\"}";
        EXPECT_TRUE(control::ParseRequest(line, r, error)) << op << ": " << error;
        EXPECT_STREQ(control::OpName(r.op), op);
    }
}

TEST(ControlRequest, RefusesWhatIsNotARequestWithATextForTheClient) {
    const struct {
        std::string line;
        const char* error;
    } cases[] = {
        {"", "not JSON: one object per line is expected"},
        {"{\"op\":\"info\"} {}", "not JSON: one object per line is expected"},
        {"[\"info\"]", "a request is a JSON object"},
        {R"({"id":1})", "\"op\" is missing"},
        {R"({"op":"format-disk"})", "unknown operation \"format-disk\""},
        {R"({"op":"set","changes":[[44,1]]})", "each change is [id, raw] with id 0..43"},
        {R"({"op":"set","changes":[[36,101]]})", "parameter 36 takes 0..100"},
        {R"({"op":"set","changes":[]})", "\"changes\" must be a list of 1..44 [id, raw] pairs"},
        {R"({"op":"effect","index":12})", "\"index\" must be a whole number 0..11"},
        {R"({"op":"effect","index":"2"})", "\"index\" must be a whole number 0..11"},
        {R"({"op":"save-effect","target":"card","slot":3,"name":"n"})",
         "\"slot\" must be a whole number 0..2"},
        {R"({"op":"save-effect","target":"disk","slot":0,"name":"n"})",
         "\"target\" must be \"card\" or \"user\""},
        {R"({"op":"save-preset","group":1,"slot":0,"name":""})",
         "\"name\" must be a text of 1..1024 bytes"},
        {R"({"op":"upload-effect","file":"x.dteff"})", "\"file\" must be an absolute path"},
        {R"({"op":"upload-sound","file":"a.mp3","slot":1})",
         "\"file\" must be an absolute path or builtin:NAME"},
        {R"({"op":"upload-sound","file":"/a.mp3","slot":0})",
         "\"slot\" must be a whole number 1..3"},
        {R"({"op":"upload-sound","file":"/a.mp3","slot":1,"master":2})",
         "\"master\" must be a level 0.0..1.0"},
        {R"({"op":"subscribe","levels":"no"})", "\"levels\" must be true or false"},
        {std::string(100000, '[') + std::string(100000, ']'), "not JSON: nested too deeply"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 60));
        control::Request r;
        std::string error;
        EXPECT_FALSE(control::ParseRequest(c.line, r, error));
        EXPECT_EQ(error, c.error);
    }
    // The refusal still names the request it answers.
    control::Request r;
    std::string error;
    EXPECT_FALSE(control::ParseRequest(R"({"id":42,"op":"nope"})", r, error));
    EXPECT_EQ(control::RefusalLine(r.id, error),
              R"({"error":"unknown operation \"nope\"","id":42,"ok":false})");
}

TEST(ControlRequest, AnswersAndEventsAreOneLineEach) {
    Json::Value result;
    result["effectName"] = "KTV";
    EXPECT_EQ(control::AnswerLine(3, result),
              R"({"id":3,"ok":true,"result":{"effectName":"KTV"}})");
    Json::Value change;
    change["id"] = 36;
    change["raw"] = 50;
    const std::string event = control::EventLine("change", change);
    EXPECT_EQ(event, R"({"data":{"id":36,"raw":50},"event":"change"})");
    EXPECT_EQ(event.find('\n'), std::string::npos);
}

}  // namespace
