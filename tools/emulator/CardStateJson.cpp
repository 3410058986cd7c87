#include "CardStateJson.h"

#include <cstdio>

#include "EffectFileAssembler.h"

namespace lw52::emu {
namespace {

// Appends JSON by hand: the state is small and fixed, no library is worth pulling in.
class CJsonWriter {
  public:
    std::string& Text() { return m_text; }

    CJsonWriter& Key(const char* key) {
        Separate();
        m_text += '"';
        m_text += key;
        m_text += "\":";
        m_afterKey = true;
        return *this;
    }
    CJsonWriter& Open(char bracket) {
        Separate();
        m_text += bracket;
        m_first = true;
        return *this;
    }
    CJsonWriter& Close(char bracket) {
        m_text += bracket;
        m_first = false;
        return *this;
    }
    CJsonWriter& Int(long long value) { return Raw(std::to_string(value)); }
    CJsonWriter& Bool(bool value) { return Raw(value ? "true" : "false"); }
    CJsonWriter& Hex(unsigned value, int digits) {
        char text[16];
        snprintf(text, sizeof text, "\"0x%0*X\"", digits, value);
        return Raw(text);
    }
    CJsonWriter& String(const std::string& value) { return Raw(JsonQuote(value)); }
    template <typename Container>
    CJsonWriter& IntArray(const Container& values) {
        Open('[');
        for (auto value : values) Int(value);
        return Close(']');
    }

  private:
    CJsonWriter& Raw(const std::string& text) {
        Separate();
        m_text += text;
        return *this;
    }
    void Separate() {
        if (m_afterKey) {
            m_afterKey = false;
        } else if (!m_first) {
            m_text += ',';
        }
        m_first = false;
    }

    std::string m_text;
    bool m_first = true;
    bool m_afterKey = false;
};

const char* StatusName(EffectFileUpload::Status status) {
    switch (status) {
        case EffectFileUpload::kReceiving:
            return "receiving";
        case EffectFileUpload::kOk:
            return "ok";
        case EffectFileUpload::kFailed:
            return "failed";
        case EffectFileUpload::kNone:
            break;
    }
    return "none";
}

void WriteConfig(CJsonWriter& json, const CardState& state) {
    json.Key("config").Open('{');
    json.Key("packet").Int(state.config.packetSize);
    json.Key("vendor").Hex(kVendorId, 4);
    json.Key("product").Hex(state.config.productId, 4);
    json.Key("hw").Int(state.config.hwVersion);
    json.Key("fw").Int(state.config.fwVersion);
    json.Key("type").Int(state.config.deviceType);
    json.Close('}');
    json.Key("faults").Open('{');
    json.Key("delayMs").Int(state.faults.delayMs);
    json.Key("drop").Int(state.faults.dropReplies);
    json.Key("badChecksum").Int(state.faults.badChecksumReplies);
    json.Key("badFlag").Int(state.faults.badFlagReplies);
    json.Key("unplugAfter").Int(state.faults.unplugAfterFrames);
    json.Key("dropRate").Int(state.faults.dropRate);
    json.Key("corruptRate").Int(state.faults.corruptRate);
    json.Close('}');
}

void WriteEffectFile(CJsonWriter& json, const CardState& state) {
    const EffectFileUpload& upload = state.effectFile;
    json.Key("effectFile").Open('{');
    json.Key("status").String(StatusName(upload.status));
    json.Key("target").Int(upload.target);
    json.Key("error").String(upload.error);
    json.Key("ok").Int(state.effectFilesOk);
    json.Key("failed").Int(state.effectFilesFailed);
    json.Key("blocks").Open('[');
    for (const EffectBlock& block : upload.blocks) {
        json.Open('{');
        json.Key("code").Hex(block.code, 2);
        json.Key("frames").Int(block.receivedFrames);
        json.Key("expectedFrames").Int(block.expectedFrames);
        json.Key("bytes").Int(static_cast<long long>(block.bytes.size()));
        json.Key("expectedBytes").Int(block.expectedBytes);
        json.Key("hash").Hex(BlockHash(block.bytes), 8);
        json.Close('}');
    }
    json.Close(']').Close('}');
}

void WriteSound(CJsonWriter& json, const CardState& state) {
    json.Key("sound").Open('[');
    for (size_t i = 0; i < state.sound.size(); ++i) {
        const SoundSlot& slot = state.sound[i];
        json.Open('{');
        json.Key("slot").Int(static_cast<long long>(i + 1));
        json.Key("announced").Bool(slot.announced);
        json.Key("frames").Int(slot.receivedFrames);
        json.Key("repeatedFrames").Int(slot.repeatedFrames);
        json.Key("expectedFrames").Int(slot.expectedFrames);
        json.Key("bytes").Int(static_cast<long long>(slot.pcm.size()));
        json.Key("totalBytes").Int(slot.totalBytes);
        json.Key("complete").Bool(slot.complete);
        json.Key("error").String(slot.error);
        json.Close('}');
    }
    json.Close(']');
}

void WriteDeviceChanges(CJsonWriter& json, const CardState& state) {
    const DeviceChangeLog& log = state.deviceChanges;
    int unacked = 0;
    for (const SentDeviceChange& sent : log.recent) unacked += sent.acked ? 0 : 1;
    json.Key("deviceChanges").Open('{');
    json.Key("sent").Int(log.sent);
    json.Key("acks").Int(log.acks);
    json.Key("strayAcks").Int(log.strayAcks);
    json.Key("unackedRecent").Int(unacked);
    json.Key("lastAckStatus").Int(log.lastAckStatus);
    json.Key("lastAckChecksumOk").Bool(log.lastAckChecksumOk);
    json.Key("recent").Open('[');
    for (const SentDeviceChange& sent : log.recent) {
        json.Open('{');
        json.Key("index").Int(sent.index);
        json.Key("acked").Bool(sent.acked);
        json.Key("status").Int(sent.ackStatus);
        json.Key("checksumOk").Bool(sent.ackChecksumOk);
        json.Key("copiesFrame").Bool(sent.ackCopiesFrame);
        json.Close('}');
    }
    json.Close(']').Close('}');
}

void WriteCounters(CJsonWriter& json, const CardState& state) {
    const CardCounters& counters = state.counters;
    json.Key("counters").Open('{');
    json.Key("hostFrames").Int(static_cast<long long>(counters.hostFrames));
    json.Key("badChecksum").Int(static_cast<long long>(counters.badChecksum));
    json.Key("badLength").Int(static_cast<long long>(counters.badLength));
    json.Key("unknown").Int(static_cast<long long>(counters.unknown));
    json.Key("lastUnknown").Int(counters.lastUnknownCommand);
    json.Key("soundDataIgnored").Int(static_cast<long long>(counters.soundDataIgnored));
    json.Key("replies").Int(static_cast<long long>(counters.replies));
    json.Key("repliesDropped").Int(static_cast<long long>(counters.repliesDropped));
    json.Key("repliesCorrupted").Int(static_cast<long long>(counters.repliesCorrupted));
    json.Key("byCommand").Open('{');
    for (const auto& [command, count] : counters.byCommand) {
        char key[8];
        snprintf(key, sizeof key, "0x%02X", command);
        json.Key(key).Int(static_cast<long long>(count));
    }
    json.Close('}').Close('}');
}

}  // namespace

std::string JsonQuote(const std::string& value) {
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

std::string HexBytes(const uint8_t* data, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0x0F];
    }
    return text;
}

std::string CardStateToJson(const CardState& state) {
    CJsonWriter json;
    json.Open('{');
    WriteConfig(json, state);
    json.Key("hostConnected").Bool(state.hostConnected);
    json.Key("params").IntArray(state.live);
    json.Key("customSlots").Open('[');
    for (const ParamSet& slot : state.custom) json.IntArray(slot);
    json.Close(']');
    WriteSound(json, state);
    WriteEffectFile(json, state);
    WriteDeviceChanges(json, state);
    WriteCounters(json, state);
    json.Close('}');
    return std::move(json.Text());
}

}  // namespace lw52::emu
