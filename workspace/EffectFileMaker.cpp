#include "EffectFileMaker.h"

#include <algorithm>
#include <cstring>

namespace lw52 {
namespace {

void PutLe32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

class Xorshift32 {
  public:
    explicit Xorshift32(uint32_t seed) : m_state(seed != 0 ? seed : 0x9E3779B9u) {}
    uint32_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }

  private:
    uint32_t m_state;
};

size_t Bytes(int entries, int32_t entrySize) {
    return static_cast<size_t>(std::max(entries, 0)) * static_cast<size_t>(std::max(entrySize, 0));
}

}  // namespace

std::vector<uint8_t> MakeEffectFileBytes(const EffectFileRecipe& r) {
    const size_t bytes06 = Bytes(r.entries06, r.entrySize06);
    const size_t bytes04 = Bytes(r.entries04, r.entrySize04);
    const size_t bytes16 = Bytes(r.entries16, r.entrySize16);
    const size_t paramBytes = Bytes(static_cast<int>(r.params.size()), r.paramEntrySize);
    std::vector<uint8_t> file(kEffectFileHeaderBytes + bytes06 + bytes04 + bytes16 + paramBytes);

    const uint32_t header[10] = {static_cast<uint32_t>(kEffectFileVersion),
                                 0,
                                 static_cast<uint32_t>(r.paramEntrySize),
                                 static_cast<uint32_t>(paramBytes),
                                 static_cast<uint32_t>(r.entrySize06),
                                 static_cast<uint32_t>(r.entrySize04),
                                 static_cast<uint32_t>(r.entrySize16),
                                 static_cast<uint32_t>(bytes06),
                                 static_cast<uint32_t>(bytes04),
                                 static_cast<uint32_t>(bytes16)};
    for (size_t i = 0; i < 10; ++i) PutLe32(&file[4 * i], header[i]);

    Xorshift32 random(r.seed);
    size_t at = kEffectFileHeaderBytes;
    for (size_t end = at + bytes06 + bytes04; at < end; ++at)
        file[at] = static_cast<uint8_t>(random.Next());
    const size_t start16 = at;
    for (size_t end = at + bytes16; at < end; ++at) {
        const size_t inEntry = (at - start16) % static_cast<size_t>(r.entrySize16);
        const size_t word = inEntry / 4;
        // A non-zero byte in each of words 1..5 keeps the entry in the upload.
        const bool keepNonZero = word >= 1 && word <= 5 && inEntry % 4 == 0;
        file[at] = static_cast<uint8_t>(random.Next() | (keepNonZero ? 1u : 0u));
    }
    for (const EffectFileParam& param : r.params) {
        uint8_t entry[16];
        uint32_t valueBits;
        std::memcpy(&valueBits, &param.value, sizeof valueBits);
        PutLe32(entry, static_cast<uint32_t>(param.number));
        PutLe32(entry + 4, static_cast<uint32_t>(param.low));
        PutLe32(entry + 8, static_cast<uint32_t>(param.high));
        PutLe32(entry + 12, valueBits);
        const size_t size = static_cast<size_t>(std::max(r.paramEntrySize, 0));
        std::memcpy(file.data() + at, entry, std::min(size, sizeof entry));
        at += size;
    }
    return file;
}

}  // namespace lw52
