#include "Mp3Writer.h"

#include <fcntl.h>
#include <lame/lame.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>

namespace audio {

namespace {

void Quiet(const char*, va_list) {}  // the library's own messages would go to stderr

std::string WriteErrorText(const std::string& path, int code) {
    if (code == ENOSPC || code == EDQUOT) return "disk full: cannot write " + path;
    return "cannot write " + path + ": " + std::strerror(code);
}

}  // namespace

// LAME needs 1.25 bytes per sample plus 7200 in the worst case (a flush included).
Mp3Writer::Mp3Writer() : m_stereo(kChunkFrames * 2), m_output(kChunkFrames * 5 / 4 + 7200) {}

Mp3Writer::~Mp3Writer() {
    std::string ignored;
    Close(ignored);
}

bool Mp3Writer::Open(const std::string& path, int rate, int channels, std::string& error) {
    std::string ignored;
    Close(ignored);
    m_bytes = 0;
    m_error.clear();
    if (rate != 44100 && rate != 48000) {
        error = "cannot write MP3 at " + std::to_string(rate) + " Hz (44100 or 48000 only)";
        return false;
    }
    if (channels != 1 && channels != 2) {
        error = "cannot write MP3 of " + std::to_string(channels) + " channels";
        return false;
    }
    m_lame = lame_init();
    if (!m_lame) {
        error = "cannot start the MP3 encoder";
        return false;
    }
    lame_set_errorf(m_lame, &Quiet);
    lame_set_debugf(m_lame, &Quiet);
    lame_set_msgf(m_lame, &Quiet);
    lame_set_in_samplerate(m_lame, rate);
    lame_set_out_samplerate(m_lame, rate);
    lame_set_num_channels(m_lame, 2);  // mono comes in spread to both channels
    lame_set_mode(m_lame, JOINT_STEREO);
    lame_set_VBR(m_lame, vbr_off);
    lame_set_brate(m_lame, kBitrateKbps);
    lame_set_quality(m_lame, kQuality);
    lame_set_bWriteVbrTag(m_lame, 0);  // nothing to patch at the start when the file ends
    lame_set_write_id3tag_automatic(m_lame, 0);
    if (lame_init_params(m_lame) < 0) {
        Release();
        error = "cannot start the MP3 encoder at " + std::to_string(rate) + " Hz";
        return false;
    }
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        Release();
        return false;
    }
    m_path = path;
    m_channels = channels;
    return true;
}

bool Mp3Writer::Write(const float* interleaved, size_t frames, std::string& error) {
    if (!IsOpen()) {
        error = "no MP3 file is open";
        return false;
    }
    if (Failed()) {
        error = m_error;
        return false;
    }
    while (frames > 0) {
        const size_t n = std::min(frames, kChunkFrames);
        const float* stereo = interleaved;
        if (m_channels == 1) {
            for (size_t f = 0; f < n; ++f) m_stereo[f * 2] = m_stereo[f * 2 + 1] = interleaved[f];
            stereo = m_stereo.data();
        }
        if (!Encode(stereo, n, error)) return false;
        interleaved += n * static_cast<size_t>(m_channels);
        frames -= n;
    }
    return true;
}

bool Mp3Writer::Encode(const float* stereo, size_t frames, std::string& error) {
    const int got = lame_encode_buffer_interleaved_ieee_float(
        m_lame, stereo, static_cast<int>(frames), m_output.data(),
        static_cast<int>(m_output.size()));
    if (got < 0) {
        m_error = "the MP3 encoder failed (" + std::to_string(got) + ") writing " + m_path;
        error = m_error;
        return false;
    }
    return Put(m_output.data(), static_cast<size_t>(got), error);
}

bool Mp3Writer::Put(const unsigned char* bytes, size_t size, std::string& error) {
    while (size > 0) {
        const ssize_t done = ::write(m_fd, bytes, size);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            m_error = WriteErrorText(m_path, done < 0 ? errno : EIO);
            error = m_error;
            return false;
        }
        m_bytes += static_cast<uint64_t>(done);
        bytes += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

bool Mp3Writer::Close(std::string& error) {
    if (!IsOpen()) return true;
    bool ok = !Failed();
    if (ok) {
        const int got =
            lame_encode_flush(m_lame, m_output.data(), static_cast<int>(m_output.size()));
        if (got >= 0) {
            ok = Put(m_output.data(), static_cast<size_t>(got), error);
        } else {
            m_error = "the MP3 encoder failed (" + std::to_string(got) + ") writing " + m_path;
            error = m_error;
            ok = false;
        }
    } else {
        error = m_error;
    }
    if (::close(m_fd) != 0 && ok) {
        m_error = WriteErrorText(m_path, errno);
        error = m_error;
        ok = false;
    }
    m_fd = -1;
    Release();
    return ok;
}

void Mp3Writer::Release() {
    if (m_lame) lame_close(m_lame);
    m_lame = nullptr;
}

}  // namespace audio
