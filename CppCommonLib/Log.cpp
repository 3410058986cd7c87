#include "Log.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace diag {
namespace {
std::atomic<ILogSink*> g_sink{nullptr};
std::mutex g_stderrMutex;  // keeps lines from different threads whole
}  // namespace

void SetLogSink(ILogSink* sink) {
    g_sink.store(sink);
}

std::string FunctionName(const char* prettyFunction) {
    std::string text(prettyFunction ? prettyFunction : "");
    // Cut the parameter list at the '(' that closes the name (not one inside a template).
    int depth = 0;
    size_t end = text.size();
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '<') ++depth;
        if (c == '>') --depth;
        if (c == '(' && depth == 0) {
            end = i;
            break;
        }
    }
    text.resize(end);
    // Drop the return type: the name starts after the last space outside template brackets.
    depth = 0;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '<') ++depth;
        if (c == '>') --depth;
        if (c == ' ' && depth == 0) start = i + 1;
    }
    return text.substr(start);
}

void LogFormatted(const char* prettyFunction, const char* file, int line, const char* format, ...) {
    char message[kMessageBufferSize];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);

    const std::string function = FunctionName(prettyFunction);
    if (ILogSink* sink = g_sink.load()) {
        sink->OnLog(kErrorLevel, kTag, message, file, line, function.c_str());
        return;
    }
    std::lock_guard<std::mutex> guard(g_stderrMutex);
    fprintf(stderr, "%s %s %s:%d\n", message, function.c_str(), file, line);
}

}  // namespace diag
