#include "LibmadDecoder.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

// The WAV file: its header, then the raw PCM copied in by the kernel. False when it could not
// be written whole.
bool WriteWav(const std::string& rawPath, const PcmFormat& format, const std::string& wavPath) {
    const int raw = open(rawPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (raw < 0) return false;
    struct stat st {};
    const int wav = open(wavPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    bool ok = wav >= 0 && fstat(raw, &st) == 0 && st.st_size <= UINT32_MAX - 36;
    if (ok) {
        uint8_t header[CWaveFile::kHeaderSize];
        MakeWavHeader(format, static_cast<uint32_t>(st.st_size), header);
        ok = write(wav, header, sizeof header) == static_cast<ssize_t>(sizeof header);
    }
    for (off_t left = st.st_size; ok && left > 0;) {
        ssize_t n = copy_file_range(raw, nullptr, wav, nullptr, static_cast<size_t>(left), 0);
        if (n <= 0) {  // a file system without it: an ordinary copy
            uint8_t buffer[65536];
            n = read(raw, buffer, sizeof buffer);
            ok = n > 0 && write(wav, buffer, static_cast<size_t>(n)) == n;
        }
        left -= n;
    }
    close(raw);
    if (wav >= 0) ok = close(wav) == 0 && ok;
    return ok;
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
