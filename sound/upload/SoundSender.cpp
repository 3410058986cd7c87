#include "SoundSender.h"

#include <algorithm>
#include <cstring>

#include "FrameDefs.h"
#include "ICommDeviceMgmt.h"
#include "NotifyCenter.h"

namespace upload {
namespace {

void Put24(uint8_t* at, int value) {
    at[0] = static_cast<uint8_t>(value & 0xFF);
    at[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
    at[2] = static_cast<uint8_t>((value >> 16) & 0xFF);
}

bool Exchange(CQvAudioProtocol& protocol, Frame64 request, int attempts, uint32_t timeoutMs) {
    ICommDeviceMgmt* manager = protocol.GetDeviceManager();
    if (!manager) return false;
    uint8_t reply[lw52::kFrameBufferSize];
    return manager->SendAndReceive(request.data(), reply, attempts, timeoutMs);
}

void Post(IMessageSink* sink, uint32_t message, uint64_t value) {
    if (sink) sink->PostMessage(message, value, 0);
}

}  // namespace

Frame64 MakeSoundHeader(int slot, int bytes, int packetSize) {
    Frame64 frame{};
    frame[0] = lw52::CMD_SOUND_BEGIN;
    frame[4] = static_cast<uint8_t>(slot);
    Put24(&frame[5], DataFrameCount(bytes, packetSize));
    Put24(&frame[8], bytes);
    return frame;
}

Frame64 MakeSoundData(const std::vector<uint8_t>& pcm, int bytes, int index, int packetSize) {
    Frame64 frame{};
    const int payload = PayloadSize(packetSize);
    frame[0] = lw52::CMD_SOUND_DATA;
    const size_t offset = size_t{static_cast<size_t>(index)} * payload;
    const size_t end = std::min({offset + payload, static_cast<size_t>(bytes), pcm.size()});
    if (offset < end) memcpy(&frame[4], pcm.data() + offset, end - offset);
    Put24(&frame[4 + static_cast<size_t>(payload)], index);
    return frame;
}

int CSoundSender::Send(CQvAudioProtocol& protocol, int slot, const std::vector<uint8_t>& pcm,
                       IMessageSink* sink, const std::atomic<bool>* stop) {
    const int count = static_cast<int>(std::min<size_t>(pcm.size(), kMaxSoundBytes));
    const int packet = protocol.GetPacketSize();
    if ((stop && stop->load()) || !Exchange(protocol, MakeSoundHeader(slot, count, packet),
                                            kHeaderAttempts, kHeaderTimeoutMs))
        return 1;
    Post(sink, MSG_SEND_STARTED, static_cast<uint64_t>(count));
    const int frames = DataFrameCount(count, packet);
    const int payload = PayloadSize(packet);
    for (int index = 0; index < frames; ++index) {
        if (stop && stop->load()) return 1;
        if (!Exchange(protocol, MakeSoundData(pcm, count, index, packet), kDataAttempts,
                      kDataTimeoutMs))
            return 1;
        Post(sink, MSG_SEND_PROGRESS,
             static_cast<uint64_t>(std::min(count, (index + 1) * payload)));
    }
    return 0;
}

bool CSoundSender::Start(CQvAudioProtocol& protocol, int slot, std::vector<uint8_t> pcm,
                         IMessageSink* sink) {
    if (m_running.load()) return false;
    Join();
    m_stop = false;
    m_running = true;
    try {
        m_thread = std::thread([this, &protocol, slot, pcm = std::move(pcm), sink] {
            const int result = Send(protocol, slot, pcm, sink, &m_stop);
            m_running = false;
            Post(sink, MSG_SEND_DONE, static_cast<uint64_t>(result));
        });
    } catch (const std::system_error&) {
        m_running = false;
        return false;
    }
    return true;
}

void CSoundSender::Join() {
    if (m_thread.joinable()) m_thread.join();
}

}  // namespace upload
