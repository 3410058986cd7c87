// The panel against a card that loses 30 % of its replies and garbles 10 %: a scripted session
// of knob turns, effect switches, presets, saves and one effect file, made through the calls a
// click makes. Once the card answers again the panel brings it back in step by itself, and
// every record it stored reads back as saved.
//
// The session has 40 operations by default (about half a minute: every lost reply costs its
// 1.5 s timeout); LW52_FAULT_OPS=500 runs the long form.
#include <gtest/gtest.h>
#include <json/json.h>

#include <QAbstractSlider>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>

#include "EventHandlerEffect.h"
#include "MainApp.h"
#include "MainDlg.h"
#include "PanelWithCard.h"
#include "ParamTable.h"
#include "QvAudioProtocol.h"
#include "WorkSpace.h"

namespace {

// What a user turns: volumes, the equaliser, voice change and reverb.
constexpr int kKnobs[] = {0, 1, 2, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 30, 31, 36, 38, 41, 42};

int OperationCount() {
    const char* text = getenv("LW52_FAULT_OPS");
    const int n = text ? atoi(text) : 0;
    return n > 0 ? n : 40;
}

class PanelFaultTest : public ::testing::Test, protected PanelWithCard {
  protected:
    void SetUp() override {
        ASSERT_TRUE(StartCard({"--fault-seed", "52"}));
        ASSERT_TRUE(StartPanel());
        page = dynamic_cast<CEventHandlerEffect*>(window->Pages()[0].get());
        ASSERT_NE(page, nullptr);
    }

    // Every parameter the panel sends is on the card. Noise level, mute and the two boosts are
    // kept locally only; the card marks a changed effect with 0x40.
    ::testing::AssertionResult CardInStep() {
        const Json::Value params = CardState()["params"];
        const CWorkSpace& ws = *app->Workspace();
        for (int id = 0; id < lw52::kParamCount; ++id) {
            if (id == 3 || id == 5 || id == 6 || id == 7) continue;
            const int onCard = params[id].asInt() & (id == lw52::kParamEffect ? ~0x40 : ~0);
            if (onCard != ws.Value(id))
                return ::testing::AssertionFailure()
                       << "parameter " << id << ": card " << onCard << ", panel " << ws.Value(id);
        }
        return ::testing::AssertionSuccess();
    }
    // Every effect parameter (and a volume), as "lw52ctl set" with many pairs does.
    template <class Pick>
    void SetMany(Pick& pick, bool volume = true) {
        CWorkSpace& ws = *app->Workspace();
        for (int id = 0; id < lw52::kParamCount; ++id)
            if (lw52::IsEffectParam(id) && id != lw52::kParamEffect)
                ws.SetParamFromRemote(id, pick(lw52::Param(id).max + 1));
        if (volume) ws.SetParamFromRemote(1, pick(10));
    }
    bool TransferRunning() {
        CQvAudioProtocol* protocol = app->Workspace()->Protocol();
        return protocol && protocol->IsSenderBusy();
    }

    CEventHandlerEffect* page = nullptr;
};

TEST_F(PanelFaultTest, AFlakyCardEndsInStepAndStoredRecordsReadBack) {
    CWorkSpace& ws = *app->Workspace();
    ASSERT_EQ(CardCommand("faults drop=30 corrupt=10"), "ok");

    std::mt19937 rng(7);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::map<std::pair<int, int>, lw52::PresetRecord> savedPresets;  // (group, slot)
    std::map<int, lw52::EffectRecord> savedEffects;                  // user slot
    const int operations = OperationCount();
    int uploads = 0;
    for (int op = 0; op < operations; ++op) {
        const int kind = op == operations / 3 ? -1 : pick(100);
        if (kind < 0) {
            // The file goes to the card on the protocol's worker while the page is covered.
            ASSERT_EQ(page->UploadEffectFromControl(0, LW52_EFFECT_FILE, nullptr), 1);
            ASSERT_TRUE(QTest::qWaitFor([&] { return !TransferRunning(); }, 600000));
            ++uploads;
            // The card keeps what a file holds to itself: a built-in effect afterwards makes
            // the effect parameters comparable again.
            page->SelectEffect(CEventHandlerEffect::kFirstEffectButton + pick(9));
        } else if (kind < 50) {
            const int id = kKnobs[pick(static_cast<int>(std::size(kKnobs)))];
            ws.SetParamFromRemote(id, pick(lw52::Param(id).max + 1));
        } else if (kind < 58) {
            SetMany(pick);  // a script sets many at once: a batch of several frames
        } else if (kind < 63) {
            // A volume, and an effect hotkey before the throttle let the volume go.
            ws.SetParamFromRemote(pick(3), pick(10));
            page->SelectEffect(CEventHandlerEffect::kFirstEffectButton + pick(9));
        } else if (kind < 75) {
            page->SelectEffect(CEventHandlerEffect::kFirstEffectButton + pick(9));
        } else if (kind < 85) {
            const int group = pick(4);
            page->SelectPreset(11000 + group * 100 + pick(lw52::BuiltinPresetCount(group)));
        } else if (kind < 93) {
            const int group = 1 + pick(3), slot = pick(4);
            ws.SaveCustomPreset("p" + std::to_string(op), group, slot);
            savedPresets[{group, slot}] =
                ws.PresetList(group)[static_cast<size_t>(lw52::BuiltinPresetCount(group) + slot)];
        } else {
            const int slot = pick(12);
            ASSERT_EQ(ws.SaveEffectToSlot(1, slot, "e" + std::to_string(op)), 1);
            savedEffects[slot] = ws.CustomEffects()[static_cast<size_t>(slot)];
        }
        QTest::qWait(pick(250));  // the user's pace; the throttle's timer runs meanwhile
    }
    EXPECT_EQ(uploads, 1);
    // Last, a batch whose first frame gets no reply at all, so its second is never sent; no
    // change follows to carry them.
    ASSERT_EQ(CardCommand("fault drop 3"), "ok");
    SetMany(pick, false);

    // The card answers again: what it missed goes out without another click.
    ASSERT_EQ(CardCommand("faults off"), "ok");
    EXPECT_TRUE(QTest::qWaitFor([&] { return ws.Pending().empty(); }, 30000));
    EXPECT_TRUE(CardInStep());
    const Json::Value counters = CardState()["counters"];
    EXPECT_GT(counters["repliesDropped"].asInt(), 0);
    EXPECT_GT(counters["repliesCorrupted"].asInt(), 0);

    // The stored records read back intact (a damaged blob would read as absent).
    CWorkSpace::Context context;
    context.settingsPath = ws.SettingsPath();
    CWorkSpace reread(context);
    for (const auto& [at, saved] : savedPresets) {
        const auto& list = reread.PresetList(at.first);
        const lw52::PresetRecord& got =
            list[static_cast<size_t>(lw52::BuiltinPresetCount(at.first) + at.second)];
        EXPECT_EQ(memcmp(&got, &saved, sizeof saved), 0) << at.first << "_" << at.second;
    }
    for (const auto& [slot, saved] : savedEffects)
        EXPECT_EQ(memcmp(&reread.CustomEffects()[static_cast<size_t>(slot)], &saved, sizeof saved),
                  0)
            << "user effect " << slot;
}

// A card that sends a thousand knob turns and a thousand level frames at once: every change
// reaches the page in order and the panel goes on answering. (How long the UI thread is held
// is measured by bench_ui_block.)
TEST_F(PanelFaultTest, ABurstOfCardFramesReachesThePage) {
    int turns = 0;
    const int token = app->NotifyCenter().Subscribe(
        EventParamChanged::kId, EventParamChanged::kName, [&](EventArgs& e) {
            for (const auto& [id, value] : static_cast<EventParamChanged&>(e).pairs)
                if (id == 36) ++turns;
        });
    std::string burst;
    for (int i = 1; i <= 1000; ++i)
        burst +=
            "knob 36 " + std::to_string(i % 100) + "\nlevels " + std::to_string(i % 10) + " 3\n";
    card.WriteLine(burst + "knob 36 77");
    std::string answer;
    for (int i = 0; i < 2001; ++i) ASSERT_TRUE(card.ReadLine(answer, 5000));
    auto* knob = qobject_cast<QAbstractSlider*>(app->MainWindow()->FindById(8023));
    ASSERT_NE(knob, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return turns == 1001; }, 20000)) << turns;
    EXPECT_EQ(knob->value(), 77);
    EXPECT_EQ(app->Workspace()->Value(36), 77);
    app->NotifyCenter().Unsubscribe(token);

    app->Workspace()->SetParamFromRemote(1, 3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return CardState()["params"][1].asInt() == 3; }, 5000));
}

}  // namespace
