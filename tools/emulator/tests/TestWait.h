#pragma once

#include <cstdint>

#include "TickCount.h"

// Polls done every few milliseconds for at most timeoutMs; whether it came true.
template <typename Predicate>
bool WaitFor(Predicate done, int timeoutMs = 5000) {
    for (const uint64_t end = GetTickCountMs() + static_cast<uint64_t>(timeoutMs); !done();) {
        if (GetTickCountMs() > end) return false;
        SleepMs(2);
    }
    return true;
}
