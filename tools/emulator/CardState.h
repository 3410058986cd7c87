#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "CardParams.h"
#include "FrameDefs.h"

// Plain data of the virtual card: its configuration, faults and everything a test or the
// state dump inspects. CCardModel hands out copies of these.
namespace lw52::emu {

using Frame = std::vector<uint8_t>;

struct CardConfig {
    int packetSize = kPacketSize64;  // 64 or 40
    uint16_t productId = kProductId61;
    uint8_t hwVersion = 10;  // decimal, 12 shows as V1.2
    uint8_t fwVersion = 12;
    uint8_t deviceType = kTypeSoundCard;
};

// Faults on demand. Counts apply to the next K replies the card produces.
struct CardFaults {
    int delayMs = 0;             // replies leave this much later (the backend waits)
    int dropReplies = 0;         // swallowed
    int badChecksumReplies = 0;  // checksum byte inverted
    int badFlagReplies = 0;      // byte 3 not 0xFF, checksum still valid
    int badCommandReplies = 0;   // byte 0 not request + 1, checksum still valid
    int unplugAfterFrames = 0;   // 0 off; the Nth host frame from now is taken but not answered
    int overstatedConnects = 0;  // connect replies that announce 255 entries, more than fit
    // A flaky card: each reply the counts above leave alone is dropped with dropRate percent,
    // else corrupted (a few random bytes changed) with corruptRate percent, drawn from a
    // generator seeded with faultSeed, so a run can be repeated.
    int dropRate = 0;
    int corruptRate = 0;
    uint32_t faultSeed = 1;
};

// One block (0x04, 0x06 or 0x16) of an effect file upload.
struct EffectBlock {
    uint8_t code = 0;
    int expectedFrames = 0;
    int expectedBytes = 0;
    int receivedFrames = 0;
    std::vector<uint8_t> bytes;  // reassembled, trimmed to expectedBytes
};

struct EffectFileUpload {
    enum Status { kNone, kReceiving, kOk, kFailed };
    Status status = kNone;
    int target = 0;  // 0 live, 1..3 custom slot
    std::string error;
    std::array<EffectBlock, 3> blocks{};  // 0x04, 0x06, 0x16
};

struct SoundSlot {
    bool announced = false;
    int expectedFrames = 0;
    int totalBytes = 0;
    int receivedFrames = 0;
    int repeatedFrames = 0;  // frames sent again after a lost reply, not stored again
    bool complete = false;
    std::string error;         // first problem seen, empty when none
    std::vector<uint8_t> pcm;  // 16-bit LE mono 48 kHz, trimmed to totalBytes
};

// One 0x9E the card sent and the host's answer to it.
struct SentDeviceChange {
    uint8_t index = 0;  // byte 2 of the frame
    Frame frame;
    bool acked = false;
    uint8_t ackStatus = 0;
    bool ackChecksumOk = false;
    bool ackCopiesFrame = false;  // the ack repeats bytes 1..N-2 of the 0x9E except byte 3
};

struct DeviceChangeLog {
    int sent = 0;
    int acks = 0;            // 0x9F frames received
    int strayAcks = 0;       // acks matching no unanswered 0x9E
    int lastAckStatus = -1;  // -1: none yet
    bool lastAckChecksumOk = false;
    std::vector<SentDeviceChange> recent;  // the last kRecentDeviceChanges sent
};
constexpr size_t kRecentDeviceChanges = 32;

struct CardCounters {
    uint64_t hostFrames = 0;
    std::map<uint8_t, uint64_t> byCommand;  // host frames by byte 0, checksum good or not
    uint64_t badChecksum = 0;
    uint64_t badLength = 0;
    uint64_t unknown = 0;
    int lastUnknownCommand = -1;
    uint64_t soundDataIgnored = 0;  // 0xB2 with no open slot
    uint64_t replies = 0;           // replies handed to the backend
    uint64_t repliesDropped = 0;
    uint64_t repliesCorrupted = 0;  // by the corrupt rate
};

struct CardState {
    CardConfig config;
    CardFaults faults;
    bool hostConnected = false;
    ParamSet live{};
    std::array<ParamSet, kCustomSlotCount> custom{};
    std::array<SoundSlot, kCustomSlotCount> sound{};
    EffectFileUpload effectFile;  // the upload in progress or the last one
    int effectFilesOk = 0;
    int effectFilesFailed = 0;
    DeviceChangeLog deviceChanges;
    CardCounters counters;
};

}  // namespace lw52::emu
