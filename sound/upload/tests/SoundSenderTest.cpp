#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "DeviceManager.h"
#include "FrameDefs.h"
#include "InProcessCardDevice.h"
#include "NotifyCenter.h"
#include "QvAudioProtocol.h"
#include "SoundSender.h"

using namespace upload;

namespace {

struct Posted {
    uint32_t message;
    uint64_t value;
};

// The window's side of the sender: messages in the order posted; a hook may act on each.
class Inbox : public IMessageSink {
  public:
    std::function<void(const Posted&)> onPost;
    void PostMessage(uint32_t message, uint64_t wParam, int64_t) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_posted.push_back({message, wParam});
        }
        if (onPost) onPost({message, wParam});
        m_cond.notify_all();
    }
    // Everything posted once MSG_SEND_DONE has arrived (empty after timeoutMs).
    std::vector<Posted> WaitDone(int timeoutMs) {
        std::unique_lock<std::mutex> lock(m_mutex);
        const bool done = m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            return !m_posted.empty() && m_posted.back().message == MSG_SEND_DONE;
        });
        return done ? m_posted : std::vector<Posted>{};
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::vector<Posted> m_posted;
};

struct Card {
    explicit Card(int packet) {
        lw52::emu::CardConfig config;
        config.packetSize = packet;
        device = std::make_unique<lw52::emu::CInProcessCardDevice>(packet + 1, packet + 1, config);
        attached = manager.AttachDevice(device.get(), &protocol);
    }
    ~Card() { manager.DetachDevice(); }
    lw52::emu::CCardModel& Model() { return device->Model(); }

    CQvAudioProtocol protocol;
    CDeviceManager manager;
    std::unique_ptr<lw52::emu::CInProcessCardDevice> device;
    bool attached = false;
};

std::vector<uint8_t> Ramp(size_t bytes) {
    std::vector<uint8_t> pcm(bytes);
    for (size_t i = 0; i < bytes; ++i) pcm[i] = static_cast<uint8_t>(i * 31 + 7);
    return pcm;
}

}  // namespace

TEST(SoundFrames, HeaderAndDataLayoutAtBothPacketSizes) {
    const std::vector<uint8_t> pcm = Ramp(100);
    for (int packet : {64, 40}) {
        const int payload = packet - 8;
        const Frame64 header = MakeSoundHeader(2, 100, packet);
        const int frames = (100 + payload - 1) / payload;
        EXPECT_EQ(header[0], lw52::CMD_SOUND_BEGIN);
        EXPECT_EQ(header[4], 2);
        EXPECT_EQ(header[5] | header[6] << 8 | header[7] << 16, frames) << packet;
        EXPECT_EQ(header[8] | header[9] << 8 | header[10] << 16, 100);

        const Frame64 last = MakeSoundData(pcm, 100, frames - 1, packet);
        EXPECT_EQ(last[0], lw52::CMD_SOUND_DATA);
        const int offset = (frames - 1) * payload;
        for (int i = 0; i < payload; ++i) {
            const uint8_t want = offset + i < 100 ? pcm[static_cast<size_t>(offset + i)] : 0;
            ASSERT_EQ(last[4 + static_cast<size_t>(i)], want) << packet << " byte " << i;
        }
        // The 24-bit index right after the payload: bytes 36..38 at 40-byte packets.
        EXPECT_EQ(last[4 + static_cast<size_t>(payload)], frames - 1);
        EXPECT_EQ(last[5 + static_cast<size_t>(payload)], 0);
        EXPECT_EQ(last[6 + static_cast<size_t>(payload)], 0);
    }
    EXPECT_EQ(PayloadSize(40), 32);
    EXPECT_EQ(DataFrameCount(1920000, 64), 34286);
    const Frame64 far = MakeSoundData(Ramp(3460300), 3460300, 0x012345, 40);
    EXPECT_EQ(far[36], 0x45);
    EXPECT_EQ(far[37], 0x23);
    EXPECT_EQ(far[38], 0x01);
}

TEST(SoundSender, CardReceivesEveryByteWithProgressInOrder) {
    for (int packet : {64, 40}) {
        Card card(packet);
        ASSERT_TRUE(card.attached);
        const std::vector<uint8_t> pcm = Ramp(10001 * 2);
        Inbox inbox;
        CSoundSender sender;
        ASSERT_TRUE(sender.Start(card.protocol, 3, pcm, &inbox));
        EXPECT_FALSE(sender.Start(card.protocol, 1, pcm, &inbox)) << "one transfer at a time";
        const std::vector<Posted> posted = inbox.WaitDone(20000);
        sender.Join();
        ASSERT_FALSE(posted.empty());
        const int frames = DataFrameCount(static_cast<int>(pcm.size()), packet);
        ASSERT_EQ(posted.size(), static_cast<size_t>(frames) + 2);
        EXPECT_EQ(posted.front().message, MSG_SEND_STARTED);
        EXPECT_EQ(posted.front().value, pcm.size());
        for (int i = 1; i <= frames; ++i) {
            ASSERT_EQ(posted[static_cast<size_t>(i)].message, MSG_SEND_PROGRESS);
            EXPECT_EQ(posted[static_cast<size_t>(i)].value,
                      std::min(pcm.size(), static_cast<size_t>(i * (packet - 8))));
        }
        EXPECT_EQ(posted.back().value, 0u) << "success";
        const auto slot = card.Model().Sound(3);
        EXPECT_TRUE(slot.complete);
        EXPECT_EQ(slot.error, "");
        EXPECT_EQ(slot.pcm, pcm) << packet;
    }
}

TEST(SoundSender, EmptyClipSendsOnlyTheHeader) {
    Card card(64);
    ASSERT_TRUE(card.attached);
    Inbox inbox;
    EXPECT_EQ(CSoundSender::Send(card.protocol, 1, {}, &inbox), 0);
    EXPECT_EQ(card.Model().Counters().byCommand[lw52::CMD_SOUND_DATA], 0u);
    EXPECT_TRUE(card.Model().Sound(1).announced);
}

TEST(SoundSender, CardFallingSilentMidwayEndsInFailureAfterThreeAttempts) {
    Card card(64);
    ASSERT_TRUE(card.attached);
    const std::vector<uint8_t> pcm = Ramp(56 * 40);
    Inbox inbox;
    // After the tenth acknowledged frame the card answers nothing more.
    inbox.onPost = [&](const Posted& p) {
        if (p.message == MSG_SEND_PROGRESS && p.value == 560) card.Model().DropReplies(1000);
    };
    CSoundSender sender;
    ASSERT_TRUE(sender.Start(card.protocol, 1, pcm, &inbox));
    const std::vector<Posted> posted = inbox.WaitDone(30000);
    sender.Join();
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted.back().value, 1u);
    EXPECT_EQ(posted[posted.size() - 2].value, 560u) << "no progress after the silence";
    // Frame 10 went out three times; the card stored it once.
    EXPECT_EQ(card.Model().Counters().byCommand[lw52::CMD_SOUND_DATA], 13u);
    const auto slot = card.Model().Sound(1);
    EXPECT_EQ(slot.receivedFrames, 11);
    EXPECT_EQ(slot.pcm, std::vector<uint8_t>(pcm.begin(), pcm.begin() + 11 * 56));
    EXPECT_FALSE(slot.complete);
}
