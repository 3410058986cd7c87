#include "CardModel.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "CardStateJson.h"
#include "Checksum.h"

namespace lw52::emu {
namespace {

int Le24(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16);
}

__attribute__((format(printf, 2, 3))) void SetFirstError(std::string& error, const char* format,
                                                         ...) {
    if (!error.empty()) return;
    char text[120];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    error = text;
}

}  // namespace

CCardModel::CCardModel(const CardConfig& config)
    : m_config(config), m_effectFile(config.packetSize) {
    m_state.config = config;
    m_state.live = BuiltinEffect(0);
    for (int i = 0; i < kCustomSlotCount; ++i)
        m_state.custom[static_cast<size_t>(i)] = BuiltinEffect(kFirstCustomEffect + i);
}

int CCardModel::EntriesThatFit(int firstByte, int lastByte) const {
    return (lastByte - firstByte + 1) / 3;
}

HostFrameResult CCardModel::HandleHostReport(const uint8_t* data, int len,
                                             std::vector<Frame>& out) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const int n = m_config.packetSize;
    CardCounters& counters = m_state.counters;
    ++counters.hostFrames;
    const bool pullCable =
        m_state.faults.unplugAfterFrames > 0 && --m_state.faults.unplugAfterFrames == 0;
    const size_t first = out.size();

    HostFrameResult result = HostFrameResult::kBadLength;
    if (data == nullptr || len != n) {
        ++counters.badLength;
    } else {
        ++counters.byCommand[data[0]];
        if (data[0] == ACK_DEVICE_CHANGE) {
            HandleAck(data);  // checks its own checksum: the card records bad acks
            result = HostFrameResult::kAckTaken;
        } else if (!ChecksumMatches(data, n)) {
            ++counters.badChecksum;
            result = HostFrameResult::kBadChecksum;
        } else {
            result = Answer(data, out);
        }
    }

    if (pullCable) {
        out.resize(first);  // the cable goes as the frame arrives: no answer leaves
        m_unplugRequested = true;
    } else {
        ApplyReplyFaults(out, first);
    }
    return result;
}

HostFrameResult CCardModel::Answer(const uint8_t* data, std::vector<Frame>& out) {
    const int n = m_config.packetSize;
    // Replies echo the request (frame index and payload) unless they carry data.
    Frame reply(data, data + n);
    reply[0] = ReplyCode(data[0]);
    reply[3] = kFlagReplyOk;
    switch (data[0]) {
        case CMD_CONNECT:
            HandleConnect(data, reply);
            break;
        case CMD_GET_DEVICE_INFO:
            HandleDeviceInfo(reply);
            break;
        case CMD_SET_PARAMS:
            HandleSetParams(data);
            break;
        case CMD_SET_EFFECT_PARAMS:
            HandleSetEffectParams(data);
            break;
        case CMD_EFFECT_FILE_HEADER:
            m_effectFile.OnHeader(data);
            break;
        case CMD_EFFECT_BLOCK_04:
        case CMD_EFFECT_BLOCK_06:
        case CMD_EFFECT_BLOCK_16:
            m_effectFile.OnBlockFrame(data);
            break;
        case CMD_SOUND_BEGIN:
            HandleSoundBegin(data);
            break;
        case CMD_SOUND_DATA:
            HandleSoundData(data);
            break;
        default:
            ++m_state.counters.unknown;
            m_state.counters.lastUnknownCommand = data[0];
            return HostFrameResult::kUnknownCommand;
    }
    StampChecksum(reply.data(), n);
    out.push_back(std::move(reply));
    return HostFrameResult::kReplied;
}

void CCardModel::HandleConnect(const uint8_t* in, Frame& reply) {
    const int n = m_config.packetSize;
    m_state.hostConnected = in[4] != 0;
    std::fill(reply.begin() + 4, reply.end(), 0);
    reply[4] = 1;
    const std::vector<uint8_t>& ids = ConnectReportIds();
    const int count = std::min(static_cast<int>(ids.size()), EntriesThatFit(6, n - 2));
    reply[5] = static_cast<uint8_t>(count);
    for (int i = 0; i < count; ++i) {
        const uint8_t id = ids[static_cast<size_t>(i)];
        EncodeEntry({id, m_state.live[id]}, &reply[static_cast<size_t>(6 + 3 * i)]);
    }
    if (m_state.faults.overstatedConnects > 0) {
        --m_state.faults.overstatedConnects;
        reply[5] = 255;  // a card that lies: the host must not read past the frame
    }
}

void CCardModel::HandleDeviceInfo(Frame& reply) {
    std::fill(reply.begin() + 4, reply.end(), 0);
    reply[4] = m_state.config.hwVersion;  // SetVersions may have changed them
    reply[6] = m_state.config.fwVersion;
    reply[14] = m_config.deviceType;
}

void CCardModel::HandleSetParams(const uint8_t* in) {
    const int n = m_config.packetSize;
    // A 64-byte card keeps byte 62 for the last-frame marker.
    const int lastEntryByte = n == kPacketSize64 ? 61 : n - 2;
    const int count = std::min<int>(in[4], EntriesThatFit(5, lastEntryByte));
    for (int i = 0; i < count; ++i) {
        const ParamEntry entry = DecodeEntry(in + 5 + 3 * i);
        if (entry.id < kParamCount) m_state.live[entry.id] = entry.value;
    }
}

void CCardModel::HandleSetEffectParams(const uint8_t* in) {
    const int target = in[4];
    const int count = std::min<int>(in[5], EntriesThatFit(6, m_config.packetSize - 2));
    if (target > kCustomSlotCount || count == 0) return;
    ParamSet& params = target == 0 ? m_state.live : m_state.custom[static_cast<size_t>(target - 1)];
    const ParamEntry lead = DecodeEntry(in + 6);
    // An effect number alone on the live set selects an effect: 0..8 built in, 9..11 the
    // custom slots. 0x40 marks a modified effect; 0x80 and up are file effects.
    if (target == 0 && count == 1 && lead.id == kEffectParamId && lead.value < 0x80) {
        LoadEffect(lead.value & 0x3F, lead.value);
        return;
    }
    for (int i = 0; i < count; ++i) {
        const ParamEntry entry = DecodeEntry(in + 6 + 3 * i);
        if (entry.id < kParamCount) params[entry.id] = entry.value;
    }
}

void CCardModel::LoadEffect(int effect, uint16_t effectValue) {
    if (effect < kBuiltinEffectCount) {
        const ParamSet& source =
            effect < kFirstCustomEffect
                ? BuiltinEffect(effect)
                : m_state.custom[static_cast<size_t>(effect - kFirstCustomEffect)];
        for (uint8_t id : EffectParamIds()) m_state.live[id] = source[id];
    }
    m_state.live[kEffectParamId] = effectValue;
}

void CCardModel::HandleSoundBegin(const uint8_t* in) {
    const int slot = in[4];
    if (slot < 1 || slot > kCustomSlotCount) {
        m_soundSlot = 0;
        return;
    }
    m_soundSlot = slot;
    SoundSlot& sound = m_state.sound[static_cast<size_t>(slot - 1)];
    sound = SoundSlot{};
    sound.announced = true;
    sound.expectedFrames = Le24(in + 5);
    sound.totalBytes = Le24(in + 8);
    const int perFrame = m_config.packetSize - 8;
    const int needed = (sound.totalBytes + perFrame - 1) / perFrame;
    if (needed != sound.expectedFrames)
        SetFirstError(sound.error, "%d frames announced, %d needed", sound.expectedFrames, needed);
    sound.complete = sound.expectedFrames == 0;
}

void CCardModel::HandleSoundData(const uint8_t* in) {
    if (m_soundSlot == 0) {
        ++m_state.counters.soundDataIgnored;
        return;
    }
    SoundSlot& sound = m_state.sound[static_cast<size_t>(m_soundSlot - 1)];
    const int perFrame = m_config.packetSize - 8;
    const int counter = Le24(in + 4 + perFrame);
    // The last frame stored, sent again after its reply was lost, is acknowledged and not
    // stored twice. Any other frame out of order is an error and is not stored either, so the
    // slot never holds misplaced bytes.
    if (sound.receivedFrames > 0 && counter == sound.receivedFrames - 1) {
        ++sound.repeatedFrames;
        return;
    }
    if (sound.receivedFrames >= sound.expectedFrames) {
        SetFirstError(sound.error, "frame %d beyond the %d announced", counter,
                      sound.expectedFrames);
        return;
    }
    if (counter != sound.receivedFrames) {
        SetFirstError(sound.error, "frame counter %d, expected %d", counter, sound.receivedFrames);
        return;
    }
    sound.pcm.insert(sound.pcm.end(), in + 4, in + 4 + perFrame);
    if (static_cast<int>(sound.pcm.size()) > sound.totalBytes)
        sound.pcm.resize(static_cast<size_t>(sound.totalBytes));
    ++sound.receivedFrames;
    sound.complete = sound.receivedFrames == sound.expectedFrames;
}

void CCardModel::HandleAck(const uint8_t* in) {
    const int n = m_config.packetSize;
    DeviceChangeLog& log = m_state.deviceChanges;
    ++log.acks;
    log.lastAckStatus = in[3];
    log.lastAckChecksumOk = ChecksumMatches(in, n);
    for (SentDeviceChange& sent : log.recent) {
        if (sent.acked || sent.index != in[2]) continue;
        sent.acked = true;
        sent.ackStatus = in[3];
        sent.ackChecksumOk = log.lastAckChecksumOk;
        sent.ackCopiesFrame = std::equal(in + 1, in + 3, sent.frame.begin() + 1) &&
                              std::equal(in + 4, in + n - 1, sent.frame.begin() + 4);
        return;
    }
    ++log.strayAcks;
}

bool CCardModel::MakeDeviceChange(const std::vector<ParamEntry>& entries, Frame& out) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const int n = m_config.packetSize;
    if (entries.empty() || static_cast<int>(entries.size()) > EntriesThatFit(5, n - 2))
        return false;
    for (const ParamEntry& entry : entries)
        if (entry.id >= kParamCount || entry.value > kValueMask) return false;

    Frame frame(static_cast<size_t>(n), 0);
    frame[0] = MSG_DEVICE_CHANGE;
    frame[2] = m_nextChangeIndex++;
    frame[4] = static_cast<uint8_t>(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        EncodeEntry(entries[i], &frame[5 + 3 * i]);
        // Turning the effect knob loads that effect, as choosing it from the host does.
        if (entries[i].id == kEffectParamId && entries[i].value < 0x80)
            LoadEffect(entries[i].value & 0x3F, entries[i].value);
        else
            m_state.live[entries[i].id] = entries[i].value;
    }
    StampChecksum(frame.data(), n);

    DeviceChangeLog& log = m_state.deviceChanges;
    ++log.sent;
    if (log.recent.size() == kRecentDeviceChanges) log.recent.erase(log.recent.begin());
    SentDeviceChange sent;
    sent.index = frame[2];
    sent.frame = frame;
    log.recent.push_back(std::move(sent));
    out = std::move(frame);
    return true;
}

Frame CCardModel::MakeLevels(int mic, int acc) const {
    Frame frame(static_cast<size_t>(m_config.packetSize), 0);
    frame[0] = MSG_LEVELS;
    frame[4] = static_cast<uint8_t>(std::clamp(mic, 0, 9));
    frame[5] = static_cast<uint8_t>(std::clamp(acc, 0, 9));
    StampChecksum(frame.data(), m_config.packetSize);
    return frame;
}

void CCardModel::ApplyReplyFaults(std::vector<Frame>& replies, size_t first) {
    const int n = m_config.packetSize;
    CardFaults& faults = m_state.faults;
    size_t kept = first;
    for (size_t i = first; i < replies.size(); ++i) {
        const bool counted =
            faults.dropReplies > 0 || faults.badFlagReplies > 0 || faults.badChecksumReplies > 0;
        if (faults.dropReplies > 0 || (!counted && Roll(faults.dropRate))) {
            faults.dropReplies = std::max(faults.dropReplies - 1, 0);
            ++m_state.counters.repliesDropped;
            continue;
        }
        Frame& reply = replies[i];
        if (!counted && Roll(faults.corruptRate)) {
            Corrupt(reply);
            ++m_state.counters.repliesCorrupted;
        }
        if (faults.badFlagReplies > 0) {
            --faults.badFlagReplies;
            reply[3] = 0x00;
            StampChecksum(reply.data(), n);
        }
        if (faults.badCommandReplies > 0) {
            --faults.badCommandReplies;
            reply[0] ^= 0x80;  // a reply no request waits for
            StampChecksum(reply.data(), n);
        }
        if (faults.badChecksumReplies > 0) {
            --faults.badChecksumReplies;
            reply[static_cast<size_t>(n - 1)] ^= 0xFF;
        }
        ++m_state.counters.replies;
        if (kept != i) replies[kept] = std::move(reply);
        ++kept;
    }
    replies.resize(kept);
}

bool CCardModel::Roll(int percent) {
    if (percent <= 0) return false;
    return static_cast<int>(m_faultRng() % 100) < percent;
}

// One to three bytes anywhere in the reply take another value: the checksum, the flag or the
// command byte may be what breaks, as on a noisy line.
void CCardModel::Corrupt(Frame& reply) {
    const int changes = 1 + static_cast<int>(m_faultRng() % 3);
    for (int i = 0; i < changes; ++i) {
        const size_t at = m_faultRng() % reply.size();
        reply[at] ^= static_cast<uint8_t>(1 + m_faultRng() % 255);
    }
}

ParamSet CCardModel::LiveParams() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.live;
}

ParamSet CCardModel::CustomSlot(int slot) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.custom[static_cast<size_t>(std::clamp(slot, 1, kCustomSlotCount) - 1)];
}

SoundSlot CCardModel::Sound(int slot) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.sound[static_cast<size_t>(std::clamp(slot, 1, kCustomSlotCount) - 1)];
}

EffectFileUpload CCardModel::LastEffectFile() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_effectFile.Upload();
}

DeviceChangeLog CCardModel::DeviceChanges() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.deviceChanges;
}

CardCounters CCardModel::Counters() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.counters;
}

bool CCardModel::HostConnected() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.hostConnected;
}

void CCardModel::SetVersions(uint8_t hardware, uint8_t firmware) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.config.hwVersion = hardware;
    m_state.config.fwVersion = firmware;
}

CardState CCardModel::Snapshot() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    CardState state = m_state;
    state.effectFile = m_effectFile.Upload();
    state.effectFilesOk = m_effectFile.Completed();
    state.effectFilesFailed = m_effectFile.Failed();
    return state;
}

std::string CCardModel::StateJson() const {
    return CardStateToJson(Snapshot());
}

void CCardModel::SetReplyDelay(int ms) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.faults.delayMs = std::max(ms, 0);
}

void CCardModel::OverstateConnectCounts(int count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.faults.overstatedConnects = std::max(count, 0);
}

void CCardModel::DropReplies(int count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.faults.dropReplies = std::max(count, 0);
}

void CCardModel::CorruptChecksums(int count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.faults.badChecksumReplies = std::max(count, 0);
}

void CCardModel::BadFlags(int count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.faults.badFlagReplies = std::max(count, 0);
}

void CCardModel::BadCommands(int count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.faults.badCommandReplies = std::max(count, 0);
}

void CCardModel::UnplugAfter(int hostFrames) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.faults.unplugAfterFrames = std::max(hostFrames, 0);
}

void CCardModel::SetFaultRates(int dropPercent, int corruptPercent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.faults.dropRate = std::clamp(dropPercent, 0, 100);
    m_state.faults.corruptRate = std::clamp(corruptPercent, 0, 100);
}

void CCardModel::SeedFaults(uint32_t seed) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.faults.faultSeed = seed;
    m_faultRng.seed(seed);
}

void CCardModel::ClearFaults() {
    std::lock_guard<std::mutex> lock(m_mutex);
    const uint32_t seed = m_state.faults.faultSeed;  // the generator runs on
    m_state.faults = CardFaults{};
    m_state.faults.faultSeed = seed;
}

CardFaults CCardModel::Faults() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.faults;
}

int CCardModel::ReplyDelayMs() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.faults.delayMs;
}

bool CCardModel::TakeUnplugRequest() {
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool requested = m_unplugRequested;
    m_unplugRequested = false;
    return requested;
}

}  // namespace lw52::emu
