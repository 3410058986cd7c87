// A card whose replies go missing: changes it did not acknowledge are sent again until it
// does, so the card ends in step with the program. Replies are corrupted rather than dropped
// here, so a failed attempt costs no timeout.
#include <gtest/gtest.h>

#include <algorithm>

#include "ParamTable.h"
#include "WorkSpaceFixture.h"

namespace {

class WorkSpaceResyncTest : public WorkSpaceTest {
  protected:
    void SetUp() override {
        WorkSpaceTest::SetUp();
        Connect();
        workspace->ConfigureThrottle(&timers, 200, 1000);
    }
    // The next frame the card gets is answered with bad checksums on all its attempts.
    void FailNextFrame() { device->Model().CorruptChecksums(3); }
    // Every parameter the program sends (those it only keeps locally aside) is on the card;
    // the card marks a changed effect with 0x40.
    ::testing::AssertionResult InStep() {
        const auto live = device->Model().LiveParams();
        for (int id = 0; id < lw52::kParamCount; ++id) {
            const int card = id == lw52::kParamEffect ? live[id] & ~0x40 : live[id];
            if (id != 3 && id != 5 && id != 6 && id != 7 && card != workspace->Value(id))
                return ::testing::AssertionFailure() << "parameter " << id << ": card " << card
                                                     << ", program " << workspace->Value(id);
        }
        return ::testing::AssertionSuccess();
    }
    // The throttle's timer fires.
    void Retry() {
        ASSERT_TRUE(timers.Running(1000));
        timers.now += timers.timers[1000];
        workspace->OnTimer(1000);
    }

    FakeTimerHost timers;
};

TEST_F(WorkSpaceResyncTest, AFailedBatchIsSentAgainByTheRetryOrTheNextChange) {
    // Twenty effect parameters held by the throttle need two frames: the first fails, the
    // second is never sent.
    workspace->ApplyEffect(2);
    workspace->SetParam(0, 2);  // sent at once; what follows waits for the interval
    for (int id = 0; id < lw52::kParamCount; ++id)
        if (lw52::IsEffectParam(id) && id != lw52::kParamEffect)
            workspace->SetParam(id, workspace->Value(id) == 1 ? 0 : 1);
    FailNextFrame();
    Retry();  // the trailing send
    EXPECT_FALSE(workspace->Pending().empty());
    EXPECT_FALSE(InStep());
    Retry();  // the retry after the back-off
    EXPECT_TRUE(workspace->Pending().empty());
    EXPECT_TRUE(InStep());

    // A mixer frame that fails is not lost behind an effect switch: the switch carries it.
    timers.now += 1000;
    FailNextFrame();
    workspace->SetParam(1, 8);
    EXPECT_EQ(workspace->Pending(), (std::map<int, int>{{1, 8}}));
    EXPECT_EQ(workspace->ApplyEffect(4), 1);
    EXPECT_TRUE(workspace->Pending().empty());
    EXPECT_TRUE(InStep());
}

TEST_F(WorkSpaceResyncTest, RetriesBackOffAndNewerValuesWin) {
    // A card that keeps failing is asked again after 1, 2, 4, 8, 8 s, not every interval.
    std::vector<uint32_t> delays;
    device->Model().CorruptChecksums(1000);
    workspace->SetParam(2, 7);
    for (int i = 0; i < 5; ++i) {
        delays.push_back(timers.timers[1000]);
        Retry();
    }
    EXPECT_EQ(delays, (std::vector<uint32_t>{1000, 2000, 4000, 8000, 8000}));

    // A knob turned on the card meanwhile is newer than the program's unsent value.
    lw52::emu::Frame knob;
    ASSERT_TRUE(device->Model().MakeDeviceChange({{2, 4}}, knob));
    FrameBytes change{};
    std::copy(knob.begin(), knob.end(), change.begin());
    workspace->HandleCardData(change);
    EXPECT_TRUE(workspace->Pending().empty());
    EXPECT_EQ(workspace->Value(2), 4);

    // A card slot that was not written is reported, not retried, and never reaches the live
    // set; the card answers again and the back-off starts over.
    device->Model().ClearFaults();
    FailNextFrame();
    lw52::EffectRecord record = workspace->BuiltinEffects()[6];
    record.values[4] = 0x46;
    EXPECT_EQ(workspace->SendRecord(record, 2), 0);
    EXPECT_TRUE(workspace->Pending().empty());
    timers.now += 1000;
    workspace->SetParam(36, 12);
    EXPECT_TRUE(workspace->Pending().empty());
    EXPECT_TRUE(InStep());
    device->Model().CorruptChecksums(3);
    timers.now += 1000;
    workspace->SetParam(36, 13);
    EXPECT_EQ(timers.timers[1000], 1000u);
}

}  // namespace
