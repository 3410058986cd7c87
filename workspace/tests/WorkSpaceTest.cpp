#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "FrameDefs.h"
#include "IniFile.h"
#include "ParamTable.h"
#include "TextUtil.h"
#include "WorkSpaceFixture.h"

namespace {
bool Has(const std::vector<int>& ids, int id) {
    return std::count(ids.begin(), ids.end(), id) > 0;
}
}  // namespace

TEST_F(WorkSpaceTest, StateReadAppliesTheCardsEntries) {
    // The card is on effect 10 with mic +10 dB on: 10 loads built-in effect 8, and the
    // +10 dB switches are 0 locally whatever the card says.
    lw52::emu::CardConfig config;
    device = std::make_unique<lw52::emu::CInProcessCardDevice>(65, 65, config);
    ASSERT_TRUE(manager.AttachDevice(device.get(), &protocol));
    ASSERT_TRUE(protocol.SendFrames(lw52::BuildSetParamsFrames({{4, 10}, {6, 1}, {0, 5}}, 64)));
    Build();
    RecordingBinder binder;
    workspace->SetBinder(&binder);
    workspace->ReadStateFromCard();
    ASSERT_TRUE(workspace->IsReady());
    const auto effect8 = lw52::BuiltinEffect(8);
    for (int id = 0; id < lw52::kParamCount; ++id)
        if (lw52::IsEffectParam(id)) {
            EXPECT_EQ(workspace->Value(id), effect8.values[id]) << id;
        }
    EXPECT_EQ(workspace->Value(0), 5);
    EXPECT_EQ(workspace->Value(6), 0);
    EXPECT_EQ(workspace->Value(7), 0);
    EXPECT_EQ(binder.controls[6], 0);
    EXPECT_EQ(binder.controls[0], 5);
    EXPECT_EQ(workspace->Pending().size(), 0u) << "nothing read is sent back";
}

// A card that announces more entries than a frame holds: only the entries inside the frame
// are taken, nothing past its last byte is read (the sanitizer builds would see it).
TEST_F(WorkSpaceTest, CountsThatOverstateTheFrameAreCut) {
    lw52::emu::CardConfig config;
    device = std::make_unique<lw52::emu::CInProcessCardDevice>(65, 65, config);
    ASSERT_TRUE(manager.AttachDevice(device.get(), &protocol));
    ASSERT_TRUE(protocol.SendFrames(lw52::BuildSetParamsFrames({{1, 7}}, 64)));
    device->Model().OverstateConnectCounts(1);
    Build();
    workspace->ReadStateFromCard();
    ASSERT_TRUE(workspace->IsReady());
    // The 13 real entries are applied; the zero bytes after them up to byte 62 read as
    // entries of parameter 0, and nothing beyond the frame is read.
    EXPECT_EQ(workspace->Value(1), 7);
    EXPECT_EQ(workspace->Value(0), 0);

    // A card-side change of 255 entries: the 19 that fit (bytes 5..61) are applied.
    FrameBytes frame{};
    frame[0] = 0x9E;
    frame[4] = 255;
    for (int i = 0; i < 19; ++i)
        lw52::EncodeEntry(&frame[static_cast<size_t>(5 + 3 * i)], 36, 10 + i);
    workspace->HandleCardData(frame);
    EXPECT_EQ(workspace->Value(36), 28) << "the last entry inside the frame";
}

TEST_F(WorkSpaceTest, LocalChangesWhileOfflineAreStoredButNotQueued) {
    Build();
    workspace->SetParam(11, 1);
    EXPECT_EQ(workspace->Value(11), 1);
    EXPECT_EQ(workspace->Value(3), 70) << "untouched: the noise rule runs only when connected";
    EXPECT_TRUE(workspace->Pending().empty());
    EXPECT_TRUE(PumpEvents().empty());
}

TEST_F(WorkSpaceTest, SetParamRulesWhileConnected) {
    Connect();
    FakeTimerHost timers;
    workspace->ConfigureThrottle(&timers, 200, 1000);
    PumpEvents();

    const uint64_t before94 = CardFrames(0x94);
    workspace->SetParam(0, workspace->Value(0));  // same value: nothing at all
    EXPECT_EQ(CardFrames(0x94), before94);

    // One-key noise reduction sets the level locally and sends only itself. The level
    // starts elsewhere, so that only the rule can make it 70.
    workspace->SetParam(3, 40);
    workspace->Flush(0);
    ASSERT_EQ(device->Model().LiveParams()[3], 40);
    PumpEvents();
    workspace->SetParam(11, 1);
    workspace->Flush(0);
    EXPECT_EQ(workspace->Value(3), 70);
    EXPECT_EQ(device->Model().LiveParams()[11], 1);
    EXPECT_EQ(device->Model().LiveParams()[3], 40) << "the level itself is not sent";
    auto ids = PumpEvents();
    EXPECT_TRUE(Has(ids, EventForbidNoiseReductionLevelParam::kId));
    EXPECT_TRUE(Has(ids, EventForbidOpreateWindow::kId));

    // The scale drags the key along (the throttle holds them: less than 200 ms passed).
    const int scale = 1 - workspace->Value(33);
    workspace->SetParam(33, scale);
    EXPECT_EQ(workspace->Pending(), (std::map<int, int>{{33, scale}, {34, workspace->Value(34)}}));
    EXPECT_TRUE(timers.Running(1000));
}

TEST_F(WorkSpaceTest, ThrottleSendsOneBatchPerIntervalAndATrailingOne) {
    Connect();
    FakeTimerHost timers;
    workspace->ConfigureThrottle(&timers, 200, 1000);
    const uint64_t start = CardFrames(0x94);
    workspace->SetParam(0, 5);  // first change: out at once
    EXPECT_EQ(CardFrames(0x94), start + 1);
    timers.now += 50;
    workspace->SetParam(1, 4);
    timers.now += 50;
    workspace->SetParam(2, 3);
    EXPECT_EQ(CardFrames(0x94), start + 1) << "held within the interval";
    ASSERT_TRUE(timers.Running(1000));
    EXPECT_EQ(timers.timers[1000], 200u);
    timers.now += 200;
    EXPECT_TRUE(workspace->OnTimer(1000));  // the trailing send carries both
    EXPECT_FALSE(timers.Running(1000));
    EXPECT_EQ(CardFrames(0x94), start + 2);
    EXPECT_EQ(device->Model().LiveParams()[1], 4);
    EXPECT_EQ(device->Model().LiveParams()[2], 3);
    EXPECT_FALSE(workspace->OnTimer(1001)) << "not our timer";
}

TEST_F(WorkSpaceTest, FlushLeadsWithTheEffectNumber) {
    Connect(40);
    workspace->ApplyEffect(5);
    EXPECT_EQ(device->Model().LiveParams()[4], 5) << "plain effect number";
    // 18 effect parameters changed: every 0x96 leads with 5 | 0x40; all of them arrive.
    const uint64_t before = CardFrames(0x96);
    int changed = 0;
    for (int id = 0; id < lw52::kParamCount && changed < 18; ++id) {
        if (!lw52::IsEffectParam(id) || id == 4) continue;
        workspace->SetParam(id, workspace->Value(id) == 1 ? 0 : 1);
        ++changed;
    }
    EXPECT_EQ(workspace->Flush(0), 1);
    EXPECT_GE(CardFrames(0x96), before + 2);
    const auto live = device->Model().LiveParams();
    for (int id = 0; id < lw52::kParamCount; ++id)
        if (lw52::IsEffectParam(id) && id != 4) {
            EXPECT_EQ(live[id], workspace->Value(id)) << id;
        }
    EXPECT_EQ(live[4], 5 | 0x40);
}

TEST_F(WorkSpaceTest, CardSideChanges) {
    Connect();
    RecordingBinder binder;
    workspace->SetBinder(&binder);
    PumpEvents();
    struct Entry {
        int id, value;
    };
    auto frame = [](std::initializer_list<Entry> entries) {
        FrameBytes f{};
        f[0] = 0x9E;
        f[4] = static_cast<uint8_t>(entries.size());
        int i = 0;
        for (const auto& e : entries)
            lw52::EncodeEntry(&f[static_cast<size_t>(5 + 3 * i++)], e.id, e.value);
        return f;
    };

    // Effect 3 switches the effect, a mic volume clears the mute.
    workspace->SetParam(5, 1);
    workspace->HandleCardData(frame({{0, 4}, {4, 3}}));
    EXPECT_EQ(workspace->Value(31), lw52::BuiltinEffect(3).values[31]);
    EXPECT_EQ(workspace->Value(5), 0);
    auto ids = PumpEvents();
    EXPECT_TRUE(Has(ids, EventParamChanged::kId));
    EXPECT_TRUE(Has(ids, EventClearPresetBtnStatu::kId));

    // Effect 10 loads nothing but is stored.
    workspace->HandleCardData(frame({{4, 10}}));
    EXPECT_EQ(workspace->Value(4), 10);
    EXPECT_FALSE(Has(PumpEvents(), EventClearPresetBtnStatu::kId));

    // An id of 44 or more stops the frame there, without refresh or events.
    binder.controls.clear();
    workspace->HandleCardData(frame({{1, 2}, {44, 1}, {2, 9}}));
    EXPECT_EQ(workspace->Value(1), 2);
    EXPECT_NE(workspace->Value(2), 9);
    EXPECT_EQ(binder.controls.size(), 1u) << "only the applied entry moved its control";
    EXPECT_TRUE(PumpEvents().empty());
    EXPECT_TRUE(workspace->Pending().empty()) << "card changes are not sent back";
}

TEST_F(WorkSpaceTest, LevelsAreForwardedOnceTheStateWasRead) {
    Build();
    FrameBytes levels{};
    levels[0] = 0x1F;
    workspace->HandleCardData(levels);
    EXPECT_TRUE(PumpEvents().empty());
    Connect();
    PumpEvents();
    workspace->HandleCardData(levels);
    EXPECT_EQ(PumpEvents(), std::vector<int>{EventVolumeRecvData::kId});
}

TEST_F(WorkSpaceTest, PresetsAndSlots) {
    Connect();
    // A user slot never saved refuses; a saved one applies.
    EXPECT_EQ(workspace->ApplyPreset(2, lw52::BuiltinPresetCount(2)), 0);
    workspace->SetParam(35, 0);
    EXPECT_EQ(workspace->SaveCustomPreset("我的混响", 2, 0), 1);
    const auto& saved = workspace->PresetList(2)[static_cast<size_t>(lw52::BuiltinPresetCount(2))];
    EXPECT_EQ(saved.values[0], 1) << "a reverb preset always turns reverb on";
    EXPECT_EQ(lw52::PresetName(saved), "我的混响");
    EXPECT_EQ(workspace->ApplyPreset(2, lw52::BuiltinPresetCount(2)), 1);

    // The mixer default sets the level only while one-key noise reduction is on.
    workspace->SetParam(11, 0);
    workspace->SetParam(3, 40);
    EXPECT_EQ(workspace->ApplyPreset(0, 0), 1);
    EXPECT_EQ(workspace->Value(0), 6);
    EXPECT_EQ(workspace->Value(1), 6);
    EXPECT_EQ(workspace->Value(3), 40);
    workspace->SetParam(11, 1);
    workspace->ApplyPreset(0, 0);
    EXPECT_EQ(workspace->Value(3), 65);

    // Saving an effect based on built-in 5 into the user's slot 2.
    workspace->ApplyEffect(5);
    EXPECT_EQ(workspace->SaveEffectToSlot(1, 2, "电话"), 1);
    EXPECT_EQ(workspace->CustomEffects()[2].values[4], 0x45);
    EXPECT_EQ(workspace->CustomEffects()[2].slot, 5);
    workspace->SetFileEffect("文件", dir.Path() + "/a.dteff");
    EXPECT_EQ(workspace->SaveEffectToSlot(1, 2, "文件"), 1);
    EXPECT_EQ(workspace->CustomEffects()[2].values[4], 153);
    EXPECT_EQ(workspace->SaveEffectToSlot(0, 3, "x"), 0);
    EXPECT_EQ(workspace->SaveEffectToSlot(1, 0, ""), 0);
    EXPECT_EQ(workspace->ApplyCustomEffect(7), 0) << "empty slot";
}

TEST_F(WorkSpaceTest, StoredRecordsSurviveARestart) {
    Build();
    // A first run creates the settings file as UTF-16, as the panel's settings do.
    std::ifstream created(settingsPath, std::ios::binary);
    char bom[2] = {};
    created.read(bom, 2);
    EXPECT_EQ(static_cast<unsigned char>(bom[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bom[1]), 0xFE);
    workspace->ApplyEffect(2);
    workspace->SetParam(36, 77);
    ASSERT_EQ(workspace->SaveEffectToSlot(0, 1, "卡槽二"), 1);
    ASSERT_EQ(workspace->SaveEffectToSlot(1, 11, "最后一个"), 1);
    ASSERT_EQ(workspace->SaveCustomPreset("亮", 1, 3), 1);
    workspace->SetParam(0, 3);
    workspace->SaveLastStatus();
    EXPECT_EQ(workspace->ResetDeviceSlot(11), 1);
    workspace.reset();

    Build();  // a new start on the same settings file
    EXPECT_EQ(lw52::RecordName(workspace->BuiltinEffects()[10]), "卡槽二");
    EXPECT_EQ(workspace->BuiltinEffects()[10].values[36], 77);
    EXPECT_EQ(workspace->BuiltinEffects()[11].slot, 2) << "reset slot stored as key 2";
    EXPECT_EQ(lw52::RecordName(workspace->CustomEffects()[11]), "最后一个");
    EXPECT_EQ(workspace->CustomEffects()[0].empty, 1);
    EXPECT_EQ(lw52::PresetName(workspace->PresetList(1)[10]), "亮");
    EXPECT_EQ(workspace->Value(0), 3) << "the last state";
    EXPECT_EQ(workspace->Value(36), 77);
}

TEST_F(WorkSpaceTest, DownloadedRecordsFollowTheirNumbersWhateverTheCount) {
    // Records whose file exists, stored out of order, and a count far beyond them: the start
    // takes those numbered below the count, in number order, without walking up to it.
    const std::string file = dir.Path() + "/a.dteff";
    std::ofstream(file) << "x";
    CIniFile ini(settingsPath);
    const struct {
        const char* key;
        const char16_t* name;
    } stored[] = {{"7", u"seven"}, {"0", u"zero"}, {"07", u"padded"}, {"-1", u"negative"}};
    for (const auto& s : stored) {
        lw52::CloudEffectRecord r{};
        std::copy(file.begin(), file.end(), r.url);
        std::u16string(s.name).copy(r.soundName, 63);
        ASSERT_TRUE(ini.WriteStruct("DownloadEffect", s.key, &r, sizeof r));
    }
    const struct {
        const char* count;
        std::vector<std::u16string> names;
    } cases[] = {{"2147483647", {u"zero", u"seven"}}, {"7", {u"zero"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        ASSERT_TRUE(ini.WriteString("DownloadEffect", "count", c.count));
        Build();
        std::vector<std::u16string> names;
        for (const auto& r : workspace->DownloadedEffects())
            names.push_back(text::FieldToString(r.soundName, 64));
        EXPECT_EQ(names, c.names);
    }
}
