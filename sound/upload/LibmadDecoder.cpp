#include "LibmadDecoder.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <system_error>

#include "Mp3Decode.h"
#include "NotifyCenter.h"
#include "TempFiles.h"
#include "UiEvents.h"
#include "WaveFile.h"

namespace upload {
namespace {

constexpr int kBelowNormalNice = 5;

// Copies the raw PCM into a new WAV file; false when it could not be written whole.
bool WriteWav(const std::string& rawPath, const PcmFormat& format, const std::string& wavPath) {
    FILE* raw = fopen(rawPath.c_str(), "rb");
    if (!raw) return false;
    CWaveFile wav;
    bool ok = wav.Open(wavPath, &format);
    uint8_t buffer[65536];
    size_t n;
    while (ok && (n = fread(buffer, 1, sizeof buffer, raw)) > 0) ok = wav.Write(buffer, n);
    ok = !ferror(raw) && ok;
    fclose(raw);
    return wav.Close() && ok;
}

}  // namespace

bool CLibmadDecoder::Prepare(int volume) {
    Cleanup();
    m_stop = false;
    m_gain = volume / 100.0;
    m_rawPath = MakeTempFile(kTempPrefix);
    return !m_rawPath.empty();
}

int CLibmadDecoder::Start(const std::string& source, int volume, int resourceFlag,
                          std::shared_ptr<CNotifyGate> gate) {
    if (!Prepare(volume)) return 0;
    try {
        m_worker = std::thread([this, source, resourceFlag, gate = std::move(gate)] {
            // Linux priorities are per thread: only this worker yields to the UI and the sender.
            setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kBelowNormalNice);
            DecodeResult result = Work(source, resourceFlag);
            if (m_stop.load() || !gate) return;
            auto event = std::make_shared<EventDecoderFinsh>(this);
            event->status = result.status;
            event->wavPath = result.wavPath;
            gate->FireEventAsync(std::move(event));
        });
    } catch (const std::system_error&) {
        RemoveTempFile(m_rawPath);
        return 0;
    }
    return 1;
}

DecodeResult CLibmadDecoder::Run(const std::string& source, int volume, int resourceFlag) {
    if (!Prepare(volume)) return {};
    return Work(source, resourceFlag);
}

DecodeResult CLibmadDecoder::Work(const std::string& source, int resourceFlag) {
    const std::vector<uint8_t> mp3 = LoadMp3(source, resourceFlag);
    FILE* raw = fopen(m_rawPath.c_str(), "ab+");
    if (!raw) return {};
    const Mp3Pcm pcm = DecodeMp3(mp3, m_gain, kMaxSeconds, raw, &m_stop);
    const bool decoded = fclose(raw) == 0 && !m_stop.load() && pcm.totalSamples > 0;
    std::string wavPath;
    if (decoded) {
        wavPath = MakeTempFile(kTempPrefix);
        m_wavPath = wavPath;
        // A WAV that could not be written whole (a full disk) is not passed on shortened: the
        // empty path then fails to load, which is what the user is told.
        if (!wavPath.empty() && !WriteWav(m_rawPath, pcm.format, wavPath)) {
            RemoveTempFile(m_wavPath);
            wavPath.clear();
        }
    }
    RemoveTempFile(m_rawPath);  // only needed while decoding
    if (!decoded) return {};
    return {1, wavPath};
}

void CLibmadDecoder::Cleanup() {
    m_stop = true;
    if (m_worker.joinable()) m_worker.join();
    RemoveTempFile(m_rawPath);
    RemoveTempFile(m_wavPath);
}

}  // namespace upload
