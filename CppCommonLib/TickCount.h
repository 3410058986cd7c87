#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

// Milliseconds of a monotonic clock, the stand-in for the system tick count.
inline uint64_t GetTickCountMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

inline void SleepMs(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
