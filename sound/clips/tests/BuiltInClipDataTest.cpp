#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "BuiltInClipData.h"
#include "BuiltInClips.h"

namespace {

// An embedded clip as a read-only libsndfile stream.
struct MemoryFile {
    const unsigned char* data;
    sf_count_t size;
    sf_count_t pos = 0;
};

sf_count_t Length(void* user) {
    return static_cast<MemoryFile*>(user)->size;
}

sf_count_t Seek(sf_count_t offset, int whence, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f->pos : f->size;
    f->pos = std::clamp<sf_count_t>(base + offset, 0, f->size);
    return f->pos;
}

sf_count_t Read(void* out, sf_count_t count, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    const sf_count_t n = std::min(count, f->size - f->pos);
    memcpy(out, f->data + f->pos, static_cast<size_t>(n));
    f->pos += n;
    return n;
}

sf_count_t Write(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t Tell(void* user) {
    return static_cast<MemoryFile*>(user)->pos;
}

struct Decoded {
    bool opened = false;
    int sampleRate = 0;
    sf_count_t frames = 0;  // counted while decoding, not the header's estimate
    float peak = 0;
};

Decoded Decode(const clips::ClipBytes& clip) {
    MemoryFile file{clip.data, static_cast<sf_count_t>(clip.size)};
    SF_VIRTUAL_IO io{Length, Seek, Read, Write, Tell};
    SF_INFO info{};
    Decoded result;
    SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &info, &file);
    if (!sf) return result;
    result.opened = true;
    result.sampleRate = info.samplerate;
    std::vector<float> buffer(4096 * static_cast<size_t>(info.channels));
    for (sf_count_t got; (got = sf_readf_float(sf, buffer.data(), 4096)) > 0;) {
        result.frames += got;
        for (sf_count_t i = 0; i < got * info.channels; ++i)
            result.peak = std::max(result.peak, std::fabs(buffer[static_cast<size_t>(i)]));
    }
    sf_close(sf);
    return result;
}

bool StartsLikeMp3(const clips::ClipBytes& clip) {
    if (clip.size < 3) return false;
    const bool id3 = memcmp(clip.data, "ID3", 3) == 0;
    const bool frameSync = clip.data[0] == 0xFF && (clip.data[1] & 0xE0) == 0xE0;
    return id3 || frameSync;
}

}  // namespace

TEST(BuiltInClipData, EveryBuiltInClipIsEmbeddedAndDecodesToAShortAudibleSound) {
    for (const BuiltInClip& clip : kBuiltInClips) {
        SCOPED_TRACE(std::string(clip.resource));
        const clips::ClipBytes bytes = clips::FindClip(clip.resource);
        ASSERT_NE(bytes.data, nullptr);
        ASSERT_GT(bytes.size, 0u);
        EXPECT_TRUE(StartsLikeMp3(bytes));

        const Decoded decoded = Decode(bytes);
        ASSERT_TRUE(decoded.opened) << sf_strerror(nullptr);
        ASSERT_GT(decoded.sampleRate, 0);
        const double seconds = static_cast<double>(decoded.frames) / decoded.sampleRate;
        EXPECT_GE(seconds, 0.3);
        EXPECT_LE(seconds, 5.0);
        EXPECT_GT(decoded.peak, 0.1f) << "silent";
    }
}

TEST(BuiltInClipData, EachResourceHasItsOwnSound) {
    for (size_t i = 0; i < kBuiltInClips.size(); ++i) {
        const clips::ClipBytes a = clips::FindClip(kBuiltInClips[i].resource);
        for (size_t j = i + 1; j < kBuiltInClips.size(); ++j) {
            const clips::ClipBytes b = clips::FindClip(kBuiltInClips[j].resource);
            EXPECT_FALSE(a.size == b.size && memcmp(a.data, b.data, a.size) == 0)
                << kBuiltInClips[i].resource << " and " << kBuiltInClips[j].resource;
        }
    }
}

TEST(BuiltInClipData, NamesOtherThanAResourceFindNothing) {
    for (const char* name : {"", "DJ_", "DJ_FCW", "DJ_FCWRX", "DJ_FCWR.mp3", "dj_fcwr", "掌声"}) {
        SCOPED_TRACE(name);
        const clips::ClipBytes bytes = clips::FindClip(name);
        EXPECT_EQ(bytes.data, nullptr);
        EXPECT_EQ(bytes.size, 0u);
    }
}
