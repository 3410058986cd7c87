#include "MasterVolume.h"

#include <chrono>

#include "PulseConnection.h"

namespace audio {

bool ReadMasterVolume(double& level, std::string* error, int timeoutMs) {
    std::string text;
    PulseConnection connection;
    bool ok = connection.Start();
    if (!ok) {
        text = "no sound server: the sound library cannot start";
    } else {
        // timeoutMs bounds the whole question, connection included.
        const auto start = std::chrono::steady_clock::now();
        PulseConnection::Lock lock(connection);
        ok = connection.Connect(timeoutMs, text);
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        const int left = timeoutMs - static_cast<int>(spent.count());
        ok = ok && left > 0 && connection.DefaultOutputLevel(level, left, text);
        if (!ok && text.empty()) text = "the sound server did not answer in time";
    }
    if (!ok && error) *error = text;
    return ok;
}

}  // namespace audio
