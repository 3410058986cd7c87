#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "AudioStream.h"
#include "AudioTestKit.h"
#include "ChildProcess.h"
#include "PulseDaemon.h"

// Tests against one private sound server per test program (ctest runs each test in a program
// of its own). They skip only when pulseaudio is not installed.
class PulseTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!PulseDaemon::Available()) return;
        s_daemon = new PulseDaemon;
        if (!s_daemon->Start(&s_startError)) {
            delete s_daemon;
            s_daemon = nullptr;
        }
    }
    static void TearDownTestSuite() {
        delete s_daemon;
        s_daemon = nullptr;
    }
    void SetUp() override {
        if (!PulseDaemon::Available()) GTEST_SKIP() << "pulseaudio is not installed";
        ASSERT_NE(s_daemon, nullptr) << s_startError;
        s_daemon->UseInThisProcess();
    }

    static inline PulseDaemon* s_daemon = nullptr;
    static inline std::string s_startError;
    TempDir m_dir;
};

struct ReleaseStream {
    void operator()(audio::IAudioStream* s) const {
        if (s) s->Release();
    }
};
using StreamPtr = std::unique_ptr<audio::IAudioStream, ReleaseStream>;

// Counts end-of-playback notifications.
struct EndCounter {
    std::atomic<int> ends{0};
    std::atomic<int> otherCodes{0};
    static int Callback(void*, void* context, uint32_t code, uintptr_t, uintptr_t) {
        auto* self = static_cast<EndCounter*>(context);
        (code == audio::kNotifyPlaybackEnded ? self->ends : self->otherCodes)++;
        return 0;
    }
    void Attach(audio::IAudioStream& s) {
        s.SetNotify(&EndCounter::Callback, audio::kNotifyPlaybackEnded, this);
    }
};

inline std::string ErrorOf(audio::IAudioStream& s) {
    const char* text = s.GetLastErrorText();
    return text ? text : "";
}

inline uint32_t PositionMs(audio::IAudioStream& s) {
    audio::Status status;
    s.GetStatus(status);
    return status.positionUnits;
}

inline bool IsRunning(audio::IAudioStream& s) {
    audio::State state;
    return s.GetState(state) && state.running != 0;
}
