#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The program's audio component: one stream object serves as a clip player or as a line-input
// recorder. Output and input go through the sound server (libpulse), files are decoded as
// they play (never a whole file in memory). Results are ints: non-zero is success. Texts and
// paths are UTF-8.
//
// Calls come from one thread at a time (the UI thread, or a worker that opens); the object
// does its sound-server work on its own threads. The notify callback may run on any of them.

namespace audio {

// Device record: the server's name and the display name (its description).
struct DeviceInfo {
    std::string name;         // e.g. "alsa_output.usb-LW52-00.analog-stereo"
    std::string displayName;  // e.g. "LW52 Analog Stereo"
    bool isDefault = false;
};

// Position unit: milliseconds (for length and position alike).
struct MediaInfo {
    uint32_t bytesPerSecond = 0;  // of the decoded (player) or encoded (recorder) stream
    uint32_t lengthSeconds = 0;   // whole seconds
    uint32_t lengthUnits = 0;     // length in position units
    uint32_t hours = 0, minutes = 0, seconds = 0;
};

struct Status {
    uint32_t positionUnits = 0;  // 0 once playback has ended
    uint64_t bytes = 0;          // bytes played or recorded
    uint32_t hours = 0, minutes = 0, seconds = 0;
};

struct State {
    int running = 0;  // non-zero while playing or recording
};

// Codes handed to the notify callback.
constexpr uint32_t kNotifyPlaybackEnded = 0x10000;

// callback(ignored, context, code, ignored, ignored); its result is ignored.
using NotifyCallback = int (*)(void* stream, void* context, uint32_t code, uintptr_t a,
                               uintptr_t b);

// OpenMemory formats.
constexpr int kFormatMp3 = 1;
constexpr int kFormatWave = 3;
constexpr int kFormatOther = 1000;

// The recorder's URL: the line input.
constexpr const char* kLineInputUrl = "wavein://src=line;volume=100;";

class IAudioStream {
  public:
    // Player: (2, 1) then (3, 1); recorder: (1, 100). Unknown ids are accepted and ignored.
    virtual int SetOption(int id, int value) = 0;
    // The text of the last failure, or null when nothing failed. Open, OpenMemory and Start
    // clear it; a playback that ends on an error (the server went away) sets it. The pointer
    // stays valid until the next call on this object.
    virtual const char* GetLastErrorText() = 0;

    virtual int GetOutputDeviceCount() = 0;
    virtual int GetOutputDeviceInfo(int index, DeviceInfo& info) = 0;
    virtual int SelectOutputDevice(int index) = 0;
    // Inputs are the server's real sources; monitors of outputs are not listed.
    virtual int GetInputDeviceCount() = 0;
    virtual int GetInputDeviceInfo(int index, DeviceInfo& info) = 0;
    virtual int SelectInputDevice(int index) = 0;

    // A file path to play, or kLineInputUrl to record. timeoutMs bounds the wait for the sound
    // server. Whatever plays or records is stopped first, also when this Open fails.
    virtual int Open(const std::string& url, int timeoutMs) = 0;
    // Plays bytes (copied) of the given format; the first two arguments are 1 and 0.
    virtual int OpenMemory(int a, int b, const void* bytes, size_t size, int format) = 0;
    virtual int GetMediaInfo(MediaInfo& info) = 0;
    // bytes: the position's offset in the decoded PCM (bytesPerSecond per second).
    virtual int GetStatus(Status& status) = 0;
    // Plays the open clip from its position: the start, or where Seek put it. After the end or
    // Stop the clip stays open and Start plays it again from the start.
    virtual int Start() = 0;
    // Seek(2, &seconds, 1): to that many seconds from the start (playing or not).
    virtual int Seek(int mode, const double* seconds, int flags) = 0;
    // Stops and drops what the server still holds; tells no end. A recording's file is
    // completed (0 with the reason when its last bytes cannot be written).
    virtual int Stop() = 0;
    // Per channel, 0..100 (linear gain = value / 100). Kept for later clips; while playing it
    // is heard within the server's buffer (~100 ms).
    virtual int SetVolume(int left, int right) = 0;
    virtual int GetState(State& state) = 0;
    // 0..100 from the peaks of the last ~50 ms of each channel.
    virtual int GetLevels(int& left, int& right) = 0;
    // kNotifyPlaybackEnded comes once per clip that played to its end or ended on an error
    // (the text says which), on a thread of the object's own with no lock held: the callback
    // may call this object, Release included. Not after Stop or a later Open.
    virtual int SetNotify(NotifyCallback callback, uint32_t codes, void* context) = 0;
    // After Open(kLineInputUrl), with a = 1 and b = 0: creates path (0 with the reason when it
    // cannot) and writes the capture there as MP3 (192 kbps, so bytesPerSecond is 24000) from
    // Start on; Stop, Release and a later Open complete the file. While recording, GetState's
    // running is 1 and GetStatus's bytes are the MP3 bytes written. A failed write ("disk full:
    // ...") or a lost input ends the recording by itself: running goes to 0, the file keeps
    // what was written and GetLastErrorText says why.
    virtual int RecordToFile(const std::string& path, int a, int b) = 0;
    // Destroys the object (stops first).
    virtual void Release() = 0;

  protected:
    virtual ~IAudioStream() = default;
};

// A new stream object, or null.
IAudioStream* CreateAudioStream();

}  // namespace audio
