#include "MasterVolume.h"

#include "PulseConnection.h"

namespace audio {

bool ReadMasterVolume(double& level, std::string* error, int timeoutMs) {
    std::string text;
    PulseConnection connection;
    bool ok = connection.Start();
    if (!ok) {
        text = "no sound server: the sound library cannot start";
    } else {
        PulseConnection::Lock lock(connection);
        ok = connection.Connect(timeoutMs, text) &&
             connection.DefaultOutputLevel(level, timeoutMs, text);
    }
    if (!ok && error) *error = text;
    return ok;
}

}  // namespace audio
