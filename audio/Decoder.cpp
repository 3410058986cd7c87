#include "Decoder.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace audio {

namespace {

// libsndfile's virtual I/O over the decoder's copy of the bytes.
template <typename Source>
SF_VIRTUAL_IO MemoryIo() {
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* user) -> sf_count_t {
        return static_cast<sf_count_t>(static_cast<Source*>(user)->bytes.size());
    };
    io.seek = [](sf_count_t offset, int whence, void* user) -> sf_count_t {
        auto* m = static_cast<Source*>(user);
        const auto size = static_cast<sf_count_t>(m->bytes.size());
        sf_count_t base = whence == SEEK_CUR ? m->position : whence == SEEK_END ? size : 0;
        m->position = std::clamp<sf_count_t>(base + offset, 0, size);
        return m->position;
    };
    io.read = [](void* ptr, sf_count_t count, void* user) -> sf_count_t {
        auto* m = static_cast<Source*>(user);
        const auto size = static_cast<sf_count_t>(m->bytes.size());
        const sf_count_t n = std::clamp<sf_count_t>(size - m->position, 0, count);
        if (n > 0) std::memcpy(ptr, m->bytes.data() + m->position, static_cast<size_t>(n));
        m->position += n;
        return n;
    };
    io.write = [](const void*, sf_count_t, void*) -> sf_count_t { return 0; };
    io.tell = [](void* user) -> sf_count_t { return static_cast<Source*>(user)->position; };
    return io;
}

}  // namespace

Decoder::~Decoder() {
    Close();
}

void Decoder::Close() {
    if (m_file) sf_close(m_file);
    m_file = nullptr;
    m_memory.reset();
    m_rate = m_channels = 0;
    m_frames = 0;
}

bool Decoder::Adopt(SNDFILE* file, const void* infoPtr) {
    const auto* info = static_cast<const SF_INFO*>(infoPtr);
    if (info->channels < 1 || info->samplerate < 1) {
        sf_close(file);
        return false;
    }
    m_file = file;
    m_rate = info->samplerate;
    m_channels = info->channels;
    // A stream that does not know its length reports a huge or negative count.
    m_frames =
        info->frames > 0 && info->frames < SF_COUNT_MAX ? static_cast<uint64_t>(info->frames) : 0;
    return true;
}

bool Decoder::OpenFile(const std::string& path, std::string& error) {
    Close();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        error = "file not found: " + path;
        return false;
    }
    if (access(path.c_str(), R_OK) != 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        // libsndfile's own text for a file it cannot read is often misleading ("not a regular
        // file" for a text file named .mp3).
        error = "cannot decode " + path + ": not a supported audio file (MP3, WAV, FLAC, Ogg)";
        return false;
    }
    if (!Adopt(file, &info)) {
        error = "cannot decode " + path + ": no audio in it";
        return false;
    }
    return true;
}

bool Decoder::OpenMemory(const void* bytes, size_t size, const std::string& formatName,
                         std::string& error) {
    Close();
    const std::string what = formatName + " data (" + std::to_string(size) + " bytes)";
    if (!bytes || size == 0) {
        error = "cannot decode " + what + ": no data";
        return false;
    }
    auto memory = std::make_unique<MemorySource>();
    const auto* first = static_cast<const unsigned char*>(bytes);
    memory->bytes.assign(first, first + size);
    SF_VIRTUAL_IO io = MemoryIo<MemorySource>();
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, memory.get());
    if (!file) {
        error = "cannot decode " + what + ": not a supported audio format";
        return false;
    }
    if (!Adopt(file, &info)) {
        error = "cannot decode " + what + ": no audio in it";
        return false;
    }
    m_memory = std::move(memory);
    return true;
}

size_t Decoder::Read(float* out, size_t frames) {
    if (!m_file || frames == 0) return 0;
    const sf_count_t n = sf_readf_float(m_file, out, static_cast<sf_count_t>(frames));
    return n > 0 ? static_cast<size_t>(n) : 0;
}

bool Decoder::Seek(uint64_t frame) {
    if (!m_file) return false;
    if (m_frames > 0) frame = std::min(frame, m_frames);
    return sf_seek(m_file, static_cast<sf_count_t>(frame), SEEK_SET) >= 0;
}

}  // namespace audio
