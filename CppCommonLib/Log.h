#pragma once

#include <cstdarg>
#include <string>

// Diagnostics. A message is formatted into a 10240-byte buffer and handed to the installed
// sink (the UI layer's log, error level 4, tag "soui") or, without one, written to stderr as
// "message function path:line". Log lines carry no behaviour.
namespace diag {

constexpr size_t kMessageBufferSize = 10240;
constexpr int kErrorLevel = 4;
constexpr const char* kTag = "soui";

class ILogSink {
  public:
    virtual ~ILogSink() = default;
    virtual void OnLog(int level, const char* tag, const char* message, const char* file, int line,
                       const char* function) = 0;
};

// Installs the sink that receives every line from now on; null restores stderr.
// The sink must stay alive until it is replaced.
void SetLogSink(ILogSink* sink);

// "bool CHidBase::Write(const uint8_t*, int)" -> "CHidBase::Write".
std::string FunctionName(const char* prettyFunction);

void LogFormatted(const char* prettyFunction, const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

}  // namespace diag

#define QV_LOG(...) ::diag::LogFormatted(__PRETTY_FUNCTION__, __FILE__, __LINE__, __VA_ARGS__)
