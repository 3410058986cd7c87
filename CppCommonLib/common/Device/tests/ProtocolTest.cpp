#include <gtest/gtest.h>

#include "CardLinkFixture.h"

namespace {
std::array<uint8_t, 64> Reply(uint8_t cmd, uint8_t flag, int packet) {
    std::array<uint8_t, 64> frame{};
    frame[0] = cmd;
    frame[3] = flag;
    lw52::StampChecksum(frame.data(), packet);
    return frame;
}
}  // namespace

TEST(ProtocolTest, CheckReplyRejectsInOrderWithItsLogTexts) {
    for (int packet : {64, 40}) {
        CQvAudioProtocol protocol;
        protocol.SetPacketSize(packet);
        LogCapture log;
        auto good = Reply(0x93, 0xFF, packet);
        EXPECT_TRUE(protocol.CheckReply(good.data(), 0x93));

        auto badCrc = good;
        badCrc[packet - 1] ^= 0x01;
        badCrc[3] = 0;  // the checksum is checked first
        EXPECT_FALSE(protocol.CheckReply(badCrc.data(), 0x93));
        EXPECT_TRUE(log.Contains("CheckReply error: reply crc"));

        auto wrongCmd = Reply(0x95, 0xFF, packet);
        EXPECT_FALSE(protocol.CheckReply(wrongCmd.data(), 0x93));
        EXPECT_TRUE(log.Contains("CheckReply error: reply cmd 0x95 != 0x93"));

        auto badFlag = Reply(0x93, 0xFE, packet);
        EXPECT_FALSE(protocol.CheckReply(badFlag.data(), 0x93));
        EXPECT_TRUE(log.Contains("CheckReply error: reply falg 0xfe != 0xff  cmd=0x93"));
    }
}

TEST(ProtocolTest, ChecksumIsStampedAtTheLastByteOfThePacketOnly) {
    CQvAudioProtocol protocol;
    protocol.SetPacketSize(40);
    std::array<uint8_t, 64> frame{};
    frame[0] = 0x94;
    frame[62] = 1;  // composed at byte 62, not sent by a 40-byte card
    protocol.SetChecksum(frame.data());
    EXPECT_EQ(frame[39], lw52::Checksum(frame.data(), 39));
    EXPECT_EQ(frame[63], 0);
}

class CardInitiatedTest : public CardLink {};

TEST_F(CardInitiatedTest, DeviceChangeIsAcknowledgedWithItsStatusAndPostedOnlyWhenValid) {
    struct Case {
        const char* what;
        uint8_t flag;
        bool corruptChecksum;
        uint8_t status;
        bool posted;
    } cases[] = {
        {"valid", 0, false, 0xFF, true},
        {"bad checksum", 0, true, 0x03, false},
        {"bad flag", 5, false, 0xA0, false},
        {"bad flag wins over bad checksum", 5, true, 0xA0, false},
    };
    Attach();
    int posted = 0, barriers = 0;
    center.Subscribe(EventRecvData::kId, EventRecvData::kName, [&](EventArgs& e) {
        auto& event = static_cast<EventRecvData&>(e);
        EXPECT_EQ(e.Sender(), this);
        (event.frame[0] == 0x9E ? posted : barriers)++;
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        lw52::emu::Frame frame(64, 0);
        frame[0] = 0x9E;
        frame[3] = c.flag;
        frame[4] = 1;
        frame[5] = 0;  // microphone volume = 3
        frame[6] = 0x10;
        frame[7] = 3;
        lw52::StampChecksum(frame.data(), 64);
        if (c.corruptChecksum) frame[63] ^= 0x5A;
        const int postedBefore = posted, barriersBefore = barriers;
        ASSERT_TRUE(device->Inject(frame));
        // The receive thread handles frames in order: once the level frame behind it is
        // posted, the 0x9E has been acknowledged and, if valid, posted.
        ASSERT_TRUE(device->Inject(device->Model().MakeLevels(1, 1)));
        for (int i = 0; i < 500 && barriers == barriersBefore; ++i) center.PumpFor(20);
        ASSERT_NE(barriers, barriersBefore) << "the level frame never arrived";
        const auto changes = device->Model().DeviceChanges();
        EXPECT_EQ(changes.lastAckStatus, c.status);
        EXPECT_TRUE(changes.lastAckChecksumOk);  // the ack carries its own fresh checksum
        EXPECT_EQ(posted - postedBefore, c.posted ? 1 : 0);
    }
}

TEST_F(CardInitiatedTest, LevelFramesArePostedWithoutAcknowledgementAndOthersIgnored) {
    Attach();
    std::vector<EventRecvData> events;
    center.Subscribe(EventRecvData::kId, EventRecvData::kName,
                     [&](EventArgs& e) { events.push_back(static_cast<EventRecvData&>(e)); });
    lw52::emu::Frame unknown(64, 0);
    unknown[0] = 0x42;
    ASSERT_TRUE(device->Inject(unknown));
    ASSERT_TRUE(device->Inject(device->Model().MakeLevels(3, 9)));
    for (int i = 0; i < 500 && events.empty(); ++i) center.PumpFor(20);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].frame[0], 0x1F);
    EXPECT_EQ(events[0].frame[4], 3);
    EXPECT_EQ(events[0].frame[5], 9);
    EXPECT_EQ(device->Model().DeviceChanges().acks, 0);
    EXPECT_EQ(protocol.Received().size(), 2u);  // both reached OnRecvData
}
