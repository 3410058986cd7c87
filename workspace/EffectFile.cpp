#include "EffectFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

namespace lw52 {
namespace {

// The bytes of the whole entries in a block of the given size.
size_t WholeEntryBytes(int32_t bytes, int32_t entrySize) {
    return static_cast<size_t>(bytes / entrySize) * static_cast<size_t>(entrySize);
}

int32_t Le32(const uint8_t* p) {
    const uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                       static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    return static_cast<int32_t>(v);
}

float LeFloat(const uint8_t* p) {
    const uint32_t bits = static_cast<uint32_t>(Le32(p));
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

struct SizeField {
    const char* name;
    int32_t value;
};

// The header's size fields in file order, named as the reasons mention them.
std::vector<SizeField> SizeFields(const EffectFileHeader& h) {
    return {{"parameter entry size", h.paramEntrySize},
            {"parameter section size", h.paramBytes},
            {"block 0x06 entry size", h.entrySize06},
            {"block 0x04 entry size", h.entrySize04},
            {"block 0x16 entry size", h.entrySize16},
            {"block 0x06 size", h.bytes06},
            {"block 0x04 size", h.bytes04},
            {"block 0x16 size", h.bytes16}};
}

int64_t AnnouncedBytes(const EffectFileHeader& h) {
    return static_cast<int64_t>(kEffectFileHeaderBytes) + h.bytes06 + h.bytes04 + h.bytes16 +
           h.paramBytes;
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

bool Refuse(std::string& reason, std::string text) {
    reason = std::move(text);
    return false;
}

// Everything that can be judged from the header alone.
bool CheckHeader(const EffectFileHeader& h, std::string& reason) {
    if (h.version != kEffectFileVersion)
        return Refuse(reason, "version " + std::to_string(h.version) + ", only version " +
                                  std::to_string(kEffectFileVersion) + " is supported");
    for (const SizeField& field : SizeFields(h))
        if (field.value < 0)
            return Refuse(reason, std::string(field.name) + " is negative (" +
                                      std::to_string(field.value) + ")");

    // The frames carry 8-byte entries of blocks 0x04/0x06 and 24-byte entries of 0x16.
    const struct {
        const char* block;
        int32_t entrySize;
        int32_t expected;
        int32_t bytes;
    } blocks[] = {{"0x06", h.entrySize06, kBlockEntryBytes, h.bytes06},
                  {"0x04", h.entrySize04, kBlockEntryBytes, h.bytes04},
                  {"0x16", h.entrySize16, kBlock16EntryBytes, h.bytes16}};
    for (const auto& b : blocks)
        if (b.entrySize != b.expected)
            return Refuse(reason, std::string("block ") + b.block + " entry size " +
                                      std::to_string(b.entrySize) + ", must be " +
                                      std::to_string(b.expected));
    if (h.paramEntrySize < kMinParamEntryBytes || h.paramEntrySize > kMaxParamEntryBytes)
        return Refuse(reason, "parameter entry size " + std::to_string(h.paramEntrySize) +
                                  ", must be " + std::to_string(kMinParamEntryBytes) + ".." +
                                  std::to_string(kMaxParamEntryBytes));
    // A block or parameter section may end in a partial entry: only whole entries are
    // counted and sent, the bytes left over are skipped.

    const int64_t announced = AnnouncedBytes(h);
    if (announced > static_cast<int64_t>(kMaxEffectFileBytes))
        return Refuse(reason, "header announces " + std::to_string(announced) +
                                  " bytes, more than the 16 MiB an effect file may have");
    return true;
}

bool CheckParams(const std::vector<EffectFileParam>& params, std::string& reason) {
    for (size_t i = 0; i < params.size(); ++i)
        if (params[i].high == params[i].low)
            return Refuse(reason, "parameter entry " + std::to_string(i) + " (number " +
                                      std::to_string(params[i].number) +
                                      ") has high equal to low (" + std::to_string(params[i].low) +
                                      ")");
    return true;
}

}  // namespace

bool CheckEffectFile(const EffectFile& file, std::string& reason) {
    const EffectFileHeader& h = file.header;
    if (!CheckHeader(h, reason)) return false;
    const struct {
        const char* block;
        int32_t announced;
        int32_t entrySize;
        size_t held;
    } blocks[] = {{"0x06", h.bytes06, h.entrySize06, file.block06.size()},
                  {"0x04", h.bytes04, h.entrySize04, file.block04.size()},
                  {"0x16", h.bytes16, h.entrySize16, file.block16.size()}};
    for (const auto& b : blocks)
        if (WholeEntryBytes(b.announced, b.entrySize) != b.held)
            return Refuse(reason, std::string("block ") + b.block + " holds " +
                                      std::to_string(b.held) + " bytes, header says " +
                                      std::to_string(b.announced));
    const size_t paramCount = static_cast<size_t>(h.paramBytes / h.paramEntrySize);
    if (file.params.size() != paramCount)
        return Refuse(reason, std::to_string(file.params.size()) +
                                  " parameter entries, header says " + std::to_string(paramCount));
    return CheckParams(file.params, reason);
}

bool ParseEffectFile(const uint8_t* data, size_t size, EffectFile& out, std::string& reason) {
    if (size < kEffectFileHeaderBytes)
        return Refuse(reason, "file of " + std::to_string(size) + " bytes is shorter than the " +
                                  std::to_string(kEffectFileHeaderBytes) + "-byte header");
    int32_t fields[10];
    for (size_t i = 0; i < 10; ++i) fields[i] = Le32(data + 4 * i);
    EffectFileHeader& h = out.header;
    h = EffectFileHeader{fields[0], fields[1], fields[2], fields[3], fields[4],
                         fields[5], fields[6], fields[7], fields[8], fields[9]};
    if (!CheckHeader(h, reason)) return false;
    for (const SizeField& field : SizeFields(h))
        if (static_cast<size_t>(field.value) > size)
            return Refuse(reason, std::string(field.name) + " " + std::to_string(field.value) +
                                      " exceeds the file size " + std::to_string(size));
    const int64_t announced = AnnouncedBytes(h);
    if (announced > static_cast<int64_t>(size))
        return Refuse(reason, "file of " + std::to_string(size) + " bytes is shorter than the " +
                                  std::to_string(announced) + " its header announces");

    const uint8_t* at = data + kEffectFileHeaderBytes;
    const struct {
        std::vector<uint8_t>* block;
        int32_t bytes;
        int32_t entrySize;
    } blocks[] = {{&out.block06, h.bytes06, h.entrySize06},
                  {&out.block04, h.bytes04, h.entrySize04},
                  {&out.block16, h.bytes16, h.entrySize16}};
    for (const auto& b : blocks) {
        b.block->assign(at, at + WholeEntryBytes(b.bytes, b.entrySize));
        at += b.bytes;
    }
    const int32_t paramCount = h.paramBytes / h.paramEntrySize;
    out.params.resize(static_cast<size_t>(paramCount));
    for (EffectFileParam& param : out.params) {
        param = EffectFileParam{Le32(at), Le32(at + 4), Le32(at + 8), LeFloat(at + 12)};
        at += h.paramEntrySize;
    }
    return CheckParams(out.params, reason);
}

bool ReadEffectFile(const std::string& path, EffectFile& out, std::string& reason) {
    const std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return Refuse(reason, "cannot open " + path + ": " + std::strerror(errno));
    struct stat info {};
    if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode))
        return Refuse(reason, path + " is not a regular file");
    const size_t size = static_cast<size_t>(info.st_size);
    if (size > kMaxEffectFileBytes)
        return Refuse(reason, path + " has " + std::to_string(size) +
                                  " bytes, more than the 16 MiB an effect file may have");
    std::vector<uint8_t> bytes(size);
    if (std::fread(bytes.data(), 1, size, file.get()) != size)
        return Refuse(reason, "cannot read " + path);
    if (!ParseEffectFile(bytes.data(), bytes.size(), out, reason)) {
        reason = path + ": " + reason;
        return false;
    }
    return true;
}

}  // namespace lw52
