#pragma once

#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "CardState.h"
#include "EffectFileAssembler.h"

// The virtual card's logic: answers host reports, keeps the parameters, custom slots, sound
// slots and upload results, and injects faults into its replies. No I/O; a backend (socket
// server or in-process device) moves the frames. Every method is thread-safe.
namespace lw52::emu {

enum class HostFrameResult {
    kReplied,         // replies were produced (faults may still have swallowed them)
    kAckTaken,        // a 0x9F: recorded, never answered
    kBadChecksum,     // not answered
    kBadLength,       // not answered
    kUnknownCommand,  // not answered
};

class CCardModel {
  public:
    explicit CCardModel(const CardConfig& config = {});
    CCardModel(const CCardModel&) = delete;
    CCardModel& operator=(const CCardModel&) = delete;

    // As constructed; the versions in Snapshot() follow SetVersions.
    const CardConfig& Config() const { return m_config; }
    // Another card's versions from now on, as if it had been swapped in.
    void SetVersions(uint8_t hardware, uint8_t firmware);
    int PacketSize() const { return m_config.packetSize; }

    // data: the N data bytes of one host report (no report id). Appends the replies, each N
    // bytes with its checksum, after the reply faults are applied.
    HostFrameResult HandleHostReport(const uint8_t* data, int len, std::vector<Frame>& out);

    // A knob turned on the card: updates the live parameters and builds the 0x9E to send.
    // False when entries is empty, does not fit one frame, or names an unknown id.
    bool MakeDeviceChange(const std::vector<ParamEntry>& entries, Frame& out);
    // A level meter frame (0x1F); levels are clamped to 0..9.
    Frame MakeLevels(int mic, int acc) const;

    ParamSet LiveParams() const;
    ParamSet CustomSlot(int slot) const;  // slot 1..3
    SoundSlot Sound(int slot) const;      // slot 1..3
    EffectFileUpload LastEffectFile() const;
    DeviceChangeLog DeviceChanges() const;
    CardCounters Counters() const;
    bool HostConnected() const;
    CardState Snapshot() const;
    std::string StateJson() const;

    void SetReplyDelay(int ms);
    void DropReplies(int count);
    void OverstateConnectCounts(int count);
    void CorruptChecksums(int count);
    void BadFlags(int count);
    void BadCommands(int count);
    void UnplugAfter(int hostFrames);  // 0 disarms
    // Random reply faults by rate (percent, 0 off); the seed restarts the generator.
    void SetFaultRates(int dropPercent, int corruptPercent);
    void SeedFaults(uint32_t seed);
    void ClearFaults();
    CardFaults Faults() const;
    int ReplyDelayMs() const;
    // True once after the unplug-after fault fired; the backend then pulls the cable.
    bool TakeUnplugRequest();

  private:
    HostFrameResult Answer(const uint8_t* data, std::vector<Frame>& out);
    void HandleConnect(const uint8_t* in, Frame& reply);
    void HandleDeviceInfo(Frame& reply);
    void HandleSetParams(const uint8_t* in);
    void HandleSetEffectParams(const uint8_t* in);
    void HandleSoundBegin(const uint8_t* in);
    void HandleSoundData(const uint8_t* in);
    void HandleAck(const uint8_t* in);
    void ApplyReplyFaults(std::vector<Frame>& replies, size_t first);
    bool Roll(int percent);
    void Corrupt(Frame& reply);
    void LoadEffect(int effect, uint16_t effectValue);
    int EntriesThatFit(int firstByte, int lastByte) const;

    const CardConfig m_config;
    mutable std::mutex m_mutex;
    // m_mutex guards every member below.
    CardState m_state;
    CEffectFileAssembler m_effectFile;
    int m_soundSlot = 0;  // slot the last 0xB0 opened, 0 none
    uint8_t m_nextChangeIndex = 0;
    bool m_unplugRequested = false;
    std::mt19937 m_faultRng{1};
};

}  // namespace lw52::emu
