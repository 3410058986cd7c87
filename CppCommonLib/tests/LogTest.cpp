#include <gtest/gtest.h>

#include <string>

#include "Log.h"

namespace {
struct CaptureSink : diag::ILogSink {
    int level = 0;
    std::string tag, message, function, file;
    int line = 0;
    void OnLog(int lvl, const char* t, const char* msg, const char* f, int ln,
               const char* fn) override {
        level = lvl, tag = t, message = msg, file = f, line = ln, function = fn;
    }
};

struct Widget {
    static void Poke(int value) { QV_LOG("poked %d", value); }
};
}  // namespace

TEST(LogTest, FunctionNameDropsReturnTypeAndParameters) {
    struct Case {
        const char* pretty;
        const char* expected;
    } cases[] = {
        {"bool CHidBase::Write(const uint8_t*, int)", "CHidBase::Write"},
        {"virtual void CDeviceManager::RecvThreadProc()", "CDeviceManager::RecvThreadProc"},
        {"static int ns::Foo<std::pair<int, int> >::Bar(int)",
         "ns::Foo<std::pair<int, int> >::Bar"},
        {"main", "main"},
    };
    for (const auto& c : cases) EXPECT_EQ(diag::FunctionName(c.pretty), c.expected) << c.pretty;
}

TEST(LogTest, SinkReceivesLevelTagFunctionAndSource) {
    CaptureSink sink;
    diag::SetLogSink(&sink);
    Widget::Poke(7);
    diag::SetLogSink(nullptr);
    EXPECT_EQ(sink.level, 4);
    EXPECT_EQ(sink.tag, "soui");
    EXPECT_EQ(sink.message, "poked 7");
    EXPECT_EQ(sink.function, "{anonymous}::Widget::Poke");
    EXPECT_NE(sink.file.find("LogTest.cpp"), std::string::npos);
    EXPECT_GT(sink.line, 0);
}

TEST(LogTest, LongMessageIsCutToTheBuffer) {
    CaptureSink sink;
    diag::SetLogSink(&sink);
    const std::string big(20000, 'x');
    QV_LOG("%s", big.c_str());
    diag::SetLogSink(nullptr);
    EXPECT_EQ(sink.message.size(), diag::kMessageBufferSize - 1);
}
