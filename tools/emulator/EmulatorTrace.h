#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

// The emulator's JSON-lines trace: every frame in both directions and the connection events,
// one flushed line each, timed in milliseconds since the trace was created. Thread-safe.
namespace lw52::emu {

class CEmulatorTrace {
  public:
    CEmulatorTrace();
    ~CEmulatorTrace();
    CEmulatorTrace(const CEmulatorTrace&) = delete;
    CEmulatorTrace& operator=(const CEmulatorTrace&) = delete;

    bool Open(const std::string& path);  // truncates; false when it cannot be created
    void Close();

    // direction "in" (host to card) or "out"; note explains a frame the card did not answer.
    void Frame(const char* direction, const uint8_t* data, size_t size, const char* note = nullptr);
    void Event(const char* name, const std::string& detail = std::string());

  private:
    void WriteLine(const std::string& body);

    const uint64_t m_startMs;
    std::mutex m_mutex;  // guards m_file
    FILE* m_file = nullptr;
};

}  // namespace lw52::emu
