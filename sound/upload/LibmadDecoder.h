#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

class CNotifyGate;

namespace upload {

// The outcome of one decode: status 1 with the WAV file made (an empty path when it could
// not be written), 0 when nothing was decoded.
struct DecodeResult {
    int status = 0;
    std::string wavPath;
};

// Decodes a clip (a file, or a built-in clip by resource name) into a temporary WAV file
// ("QvWavForm..." in the temporary folder), scaled by volume / 100 and cut after 20 seconds.
// Start runs the work on a worker below normal priority and reports EventDecoderFinsh
// (status, WAV path; the sender is this decoder) through the gate; Run does it on the caller's
// thread. The WAV file is the caller's to delete; Cleanup removes what is left otherwise.
class CLibmadDecoder {
  public:
    static constexpr int kMaxSeconds = 20;
    static constexpr const char* kTempPrefix = "QvWavForm";

    CLibmadDecoder() = default;
    ~CLibmadDecoder() { Cleanup(); }
    CLibmadDecoder(const CLibmadDecoder&) = delete;
    CLibmadDecoder& operator=(const CLibmadDecoder&) = delete;

    // 0 when no temporary file name can be made; otherwise the result comes later as the event.
    int Start(const std::string& source, int volume, int resourceFlag,
              std::shared_ptr<CNotifyGate> gate);
    DecodeResult Run(const std::string& source, int volume, int resourceFlag);
    // Ends a decode in progress (its result is dropped) and deletes the temporary files.
    void Cleanup();

  private:
    bool Prepare(int volume);
    DecodeResult Work(const std::string& source, int resourceFlag);

    double m_gain = 1.0;
    std::atomic<bool> m_stop{false};
    std::thread m_worker;
    std::string m_rawPath;
    std::string m_wavPath;  // written by the worker, read after it has been joined
};

}  // namespace upload
