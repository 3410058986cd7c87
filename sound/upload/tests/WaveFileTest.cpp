#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TempDir.h"
#include "WaveFile.h"

using upload::CWaveFile;
using upload::PcmFormat;

namespace {

// Byte by byte: GCC 12 warns falsely about vector inserts of small ranges.
void Put(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}
void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) {
    for (uint8_t b : more) out.push_back(b);
}
void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
void Chunk(std::vector<uint8_t>& out, const char* tag, const std::vector<uint8_t>& body,
           uint32_t statedSize) {
    Put(out, tag);
    PutLe(out, statedSize, 4);
    Append(out, body);
    if (body.size() & 1) out.push_back(0);
}
std::vector<uint8_t> FormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    std::vector<uint8_t> b;
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    PutLe(b, tag, 2);
    PutLe(b, channels, 2);
    PutLe(b, rate, 4);
    PutLe(b, rate * align, 4);
    PutLe(b, align, 2);
    PutLe(b, bits, 2);
    return b;
}
// RIFF/WAVE around the chunks; riffExtra is added to the stated RIFF size.
std::vector<uint8_t> Riff(const std::vector<uint8_t>& chunks, int riffExtra = 0) {
    std::vector<uint8_t> out;
    Put(out, "RIFF");
    PutLe(out, static_cast<uint32_t>(4 + chunks.size() + riffExtra), 4);
    Put(out, "WAVE");
    Append(out, chunks);
    return out;
}

}  // namespace

TEST(WaveFile, WrittenFileHasTheExactHeaderAndLengthBeyondTheFirstMapping) {
    TempDir dir;
    const std::string path = dir.path + "/out.wav";
    const PcmFormat format = upload::Pcm16(2, 44100);
    // More than the 10 MiB first mapping, in pieces that do not divide it.
    std::vector<uint8_t> piece(1000003);
    for (size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<uint8_t>(i * 7);
    {
        CWaveFile wav;
        ASSERT_TRUE(wav.Open(path, &format));
        for (int i = 0; i < 11; ++i) ASSERT_TRUE(wav.Write(piece.data(), piece.size()));
        ASSERT_TRUE(wav.Close());
    }
    const std::vector<uint8_t> bytes = ReadBytes(path);
    const uint32_t length = 11 * 1000003;
    ASSERT_EQ(bytes.size(), 44u + length);
    std::vector<uint8_t> header;
    Put(header, "RIFF");
    PutLe(header, length + 36, 4);
    Put(header, "WAVE");
    Put(header, "fmt ");
    PutLe(header, 16, 4);
    const std::vector<uint8_t> f = FormatBody(1, 2, 44100, 16);
    Append(header, f);
    Put(header, "data");
    PutLe(header, length, 4);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 44), header);
    EXPECT_EQ(0, memcmp(bytes.data() + 44 + 10 * 1000003, piece.data(), piece.size()));

    CWaveFile back;
    ASSERT_TRUE(back.Open(path));
    EXPECT_EQ(back.DataLength(), length);
    EXPECT_EQ(back.Format().sampleRate, 44100u);
    EXPECT_EQ(back.Format().channels, 2);
    EXPECT_EQ(0, memcmp(back.Data(), piece.data(), piece.size()));
}

TEST(WaveFile, ReaderWalksChunksAndRefusesWhatItCannotRead) {
    const std::vector<uint8_t> data = {1, 2, 3, 4, 5, 6};
    std::vector<uint8_t> plain, oddChunkFirst, noData, overrun;
    Chunk(plain, "fmt ", FormatBody(1, 1, 22050, 16), 16);
    Chunk(plain, "data", data, 6);
    // An odd-sized chunk is followed by one pad byte; a larger "fmt " body is allowed.
    Chunk(oddChunkFirst, "LIST", {'a', 'b', 'c'}, 3);
    std::vector<uint8_t> longFormat = FormatBody(1, 2, 8000, 8);
    Append(longFormat, {0, 0});
    Chunk(oddChunkFirst, "fmt ", longFormat, 18);
    Chunk(oddChunkFirst, "data", data, 6);
    Chunk(noData, "fmt ", FormatBody(1, 1, 22050, 16), 16);
    Chunk(overrun, "fmt ", FormatBody(1, 1, 22050, 16), 16);
    Chunk(overrun, "data", data, 600);

    auto withFormat = [&](std::vector<uint8_t> format) {
        std::vector<uint8_t> chunks;
        Chunk(chunks, "fmt ", format, static_cast<uint32_t>(format.size()));
        Chunk(chunks, "data", data, 6);
        return Riff(chunks);
    };
    std::vector<uint8_t> badAlign = FormatBody(1, 2, 8000, 16);
    badAlign[12] = 3;

    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        bool accepted;
        uint16_t channels;
    };
    const std::vector<Case> cases = {
        {"plain", Riff(plain), true, 1},
        {"odd chunk padded", Riff(oddChunkFirst), true, 2},
        {"RIFF size beyond the file", Riff(plain, 2), false, 0},
        {"no data chunk", Riff(noData), false, 0},
        {"data beyond the RIFF body", Riff(overrun), false, 0},
        {"float samples", withFormat(FormatBody(3, 1, 8000, 32)), false, 0},
        {"three channels", withFormat(FormatBody(1, 3, 8000, 16)), false, 0},
        {"24-bit samples", withFormat(FormatBody(1, 1, 8000, 24)), false, 0},
        {"block align disagrees", withFormat(badAlign), false, 0},
        {"short header", {'R', 'I', 'F', 'F', 4, 0}, false, 0},
        {"not RIFF", std::vector<uint8_t>(64, 'x'), false, 0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.path + "/case.wav";
        WriteBytes(path, c.file);
        CWaveFile wav;
        EXPECT_EQ(wav.Open(path), c.accepted) << c.name;
        if (c.accepted) {
            EXPECT_EQ(wav.Format().channels, c.channels) << c.name;
            ASSERT_EQ(wav.DataLength(), data.size()) << c.name;
            EXPECT_EQ(0, memcmp(wav.Data(), data.data(), data.size())) << c.name;
        }
    }
    CWaveFile missing;
    EXPECT_FALSE(missing.Open(dir.path + "/missing.wav"));
    EXPECT_EQ(dir.Names().size(), 1u) << "reading a missing file creates nothing";
}
