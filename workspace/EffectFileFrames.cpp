#include "EffectFileFrames.h"

#include <algorithm>
#include <string>

#include "FrameDefs.h"

namespace lw52 {
namespace {

constexpr int kFirstDataByte = 4;
constexpr int kMinPacketSize = kFirstDataByte + kBlock16EntryBytes + 1;  // one 0x16 entry fits

void PutBe16(uint8_t* at, int value) {
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value);
}

int CeilDiv(int a, int b) {
    return (a + b - 1) / b;
}

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The card takes 8-byte entries in its own byte order.
void Convert04(const uint8_t* r, uint8_t* out) {
    const uint8_t sent[kBlockEntryBytes] = {r[0], r[1], r[2], r[7], r[5], r[6], r[3], r[4]};
    std::copy_n(sent, kBlockEntryBytes, out);
}
void Convert06(const uint8_t* r, uint8_t* out) {
    const uint8_t sent[kBlockEntryBytes] = {r[0], r[1], 0, 0, r[4], r[5], r[6], r[7]};
    std::copy_n(sent, kBlockEntryBytes, out);
}

Frame64 DataFrame(uint8_t code, int index) {
    Frame64 frame{};
    frame[0] = code;
    PutBe16(&frame[1], index);
    return frame;
}

// count entries of entryStep source bytes, perFrame converted entries per frame.
int AppendBlock8(std::vector<Frame64>& frames, uint8_t code, const std::vector<uint8_t>& block,
                 int entryStep, int count, int perFrame,
                 void (*convert)(const uint8_t*, uint8_t*)) {
    int index = 0;
    for (int first = 0; first < count; first += perFrame, ++index) {
        Frame64 frame = DataFrame(code, index);
        const int inFrame = std::min(perFrame, count - first);
        for (int i = 0; i < inFrame; ++i)
            convert(&block[static_cast<size_t>((first + i) * entryStep)],
                    &frame[static_cast<size_t>(kFirstDataByte + i * kBlockEntryBytes)]);
        frames.push_back(frame);
    }
    return index;
}

bool SentToCard(const uint8_t* entry) {
    for (int word = 1; word <= 5; ++word)
        if (Le32(entry + 4 * word) == 0) return false;
    return true;
}

// Entries go unchanged; those the card could not use are left out and not counted.
void AppendBlock16(std::vector<Frame64>& frames, const std::vector<uint8_t>& block, int entrySize,
                   int perFrame, EffectFileFrameInfo& info) {
    int placed = 0;  // in the current frame
    const size_t entries = block.size() / static_cast<size_t>(entrySize);
    for (size_t e = 0; e < entries; ++e) {
        const uint8_t* entry = &block[e * static_cast<size_t>(entrySize)];
        if (!SentToCard(entry)) {
            ++info.skipped16;
            continue;
        }
        if (placed == 0) frames.push_back(DataFrame(CMD_EFFECT_BLOCK_16, info.frames16++));
        std::copy_n(entry, kBlock16EntryBytes,
                    &frames.back()[static_cast<size_t>(kFirstDataByte + placed * entrySize)]);
        ++info.entries16;
        if (++placed == perFrame) placed = 0;
    }
}

Frame64 HeaderFrame(const EffectFileHeader& h, uint16_t target, EffectFileFrameInfo& info) {
    Frame64 frame{};
    frame[0] = CMD_EFFECT_FILE_HEADER;
    PutBe16(&frame[4], target);
    PutBe16(&frame[6], info.frames04);
    // 24-bit size: the upper bits from the file's block, the low byte from what is sent.
    frame[8] = static_cast<uint8_t>(h.bytes04 >> 16);
    frame[9] = static_cast<uint8_t>(h.bytes04 >> 8);
    frame[10] = static_cast<uint8_t>(info.entries04 * h.entrySize04);
    // Counted with the 0x04 entry size; both blocks carry 8-byte entries.
    PutBe16(&frame[11], CeilDiv(info.entries06, info.perFrame04));
    PutBe16(&frame[13], info.entries06 * h.entrySize06);
    // Blocks hold whole entries, so an empty 0x16 block gives zero counts here too.
    const int bytes16 = info.entries16 * h.entrySize16;
    PutBe16(&frame[17], info.frames16);
    PutBe16(&frame[19], bytes16);

    const int size04 = (h.bytes04 & 0xFFFF00) | ((info.entries04 * h.entrySize04) & 0xFF);
    info.headerMatchesData = size04 == info.entries04 * kBlockEntryBytes &&
                             info.frames16 <= 0xFFFF && bytes16 <= 0xFFFF &&
                             info.frames04 <= 0xFFFF && info.frames06 <= 0xFFFF;
    return frame;
}

}  // namespace

std::vector<Frame64> BuildEffectFileFrames(const EffectFile& file, uint16_t target, int packetSize,
                                           EffectFileFrameInfo* infoOut) {
    std::string reason;
    if (packetSize < kMinPacketSize || packetSize > kFrameBufferSize ||
        !CheckEffectFile(file, reason))
        return {};
    const EffectFileHeader& h = file.header;
    const int payload = packetSize - 5;  // bytes 4..N-2

    EffectFileFrameInfo info;
    info.packetSize = packetSize;
    info.perFrame04 = payload / h.entrySize04;
    info.perFrame06 = payload / kBlockEntryBytes;
    info.perFrame16 = payload / h.entrySize16;
    const int all04 = h.bytes04 / h.entrySize04;
    const int all06 = h.bytes06 / h.entrySize06;
    info.entries04 = std::min(all04, kMaxBlock04Entries);
    info.entries06 = std::min(all06, kMaxBlock06Entries);
    info.dropped04 = all04 - info.entries04;
    info.dropped06 = all06 - info.entries06;

    std::vector<Frame64> frames(1);  // the header, filled in last
    info.frames04 = AppendBlock8(frames, CMD_EFFECT_BLOCK_04, file.block04, h.entrySize04,
                                 info.entries04, info.perFrame04, Convert04);
    info.frames06 = AppendBlock8(frames, CMD_EFFECT_BLOCK_06, file.block06, h.entrySize06,
                                 info.entries06, info.perFrame06, Convert06);
    AppendBlock16(frames, file.block16, h.entrySize16, info.perFrame16, info);
    frames[0] = HeaderFrame(h, target, info);
    if (infoOut) *infoOut = info;
    return frames;
}

}  // namespace lw52
