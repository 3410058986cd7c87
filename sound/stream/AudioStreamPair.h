#pragma once

#include <string>
#include <thread>

#include "AudioStream.h"

// The player's notify callback for the pages: context is the page's CNotifyGate, and the end
// of a clip is posted through it as EventPlaybackMsg (it arrives on a thread of the audio
// component, so it only posts).
int PostPlaybackEnded(void* stream, void* context, uint32_t code, uintptr_t a, uintptr_t b);

// A page's player and recorder on the audio component, with the steps every page takes to set
// them up. Owned by value by its page; used on the UI thread (the recording page opens the
// recorder once on its loader thread). Operations return non-zero on success.
struct AudioStreamPair {
    enum PlayResult { kPlayFailed = 0, kPlayOk = 1, kResourceMissing = -1 };

    ~AudioStreamPair() {
        if (loadThread.joinable()) loadThread.join();
        ReleaseStreams();
    }

    std::thread loadThread;  // the recording page's loader, joined when it ends
    std::string deviceFilter = "LW52";
    std::string filePath;
    audio::IAudioStream* recorder = nullptr;
    audio::IAudioStream* player = nullptr;
    // Told when the player's clip has played to its end (any thread).
    audio::NotifyCallback notify = nullptr;
    void* notifyContext = nullptr;

    // Releases both streams (no Stop) and forgets them.
    int ReleaseStreams();
    // Plays a built-in clip by its resource name. kResourceMissing when no clip has that
    // name (the page says so), kPlayFailed when the clip cannot be opened.
    int PlayResourceClip(const std::string& resource, const std::string& filter);
    // Opens a file on the player; on failure error holds the component's text and the player
    // is released.
    int OpenPlayerFile(const std::string& filter, const std::string& path, std::string* error);
    // Sets up the recorder on the line input (if there is none) and records to outputPath.
    int OpenLineRecorder(const std::string& filter, const std::string& outputPath,
                         std::string* error);
    int StopPlayer();
    bool IsPlayerRunning() const;
    int SeekPlayer(double seconds);
    const char* PlayerErrorText() const;

  private:
    bool EnsurePlayer(const std::string& filter);
    void ReleasePlayer();
    void ReleaseRecorder();
};
