// The control binder and the overlay rules on the real main window layout: first with a
// workspace that has no card (values change locally, nothing is sent), then with the
// in-process card.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QLabel>
#include <QTabWidget>
#include <QTest>
#include <memory>

#include "ChildProcess.h"
#include "ControlEvents.h"
#include "Controls.h"
#include "DeviceManager.h"
#include "InProcessCardDevice.h"
#include "NotifyCenter.h"
#include "OverlayRules.h"
#include "ParamControlBinder.h"
#include "QvAudioProtocol.h"
#include "UiLoader.h"
#include "WindowTimers.h"
#include "WorkSpace.h"

void InitProgramResources();  // app/MainApp.cpp

namespace {

class EffectsPageTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { InitProgramResources(); }

    void SetUp() override {
        CWorkSpace::Context context;
        context.settingsPath = dir.Path() + "/QvH31ConfigData.db";
        workspace = std::make_unique<CWorkSpace>(context);
        QString error;
        content.reset(LoadLayout(QStringLiteral("LAYOUT:XML_MAINWND"), nullptr, &error));
        ASSERT_TRUE(content) << error.toStdString();
        binder = std::make_unique<CParamControlBinder>(*workspace, content.get());
        binder->RegisterDefaultBindings();
        workspace->RefreshControls();
        // User actions reach the binder the way the main window routes them.
        ConnectControlEvents(content.get(),
                             [this](const ControlEvent& e) { binder->HandleControlEvent(e); });
    }

    QAbstractSlider* Range(int id) { return FindControlAs<QAbstractSlider>(content.get(), id); }
    QAbstractButton* Button(int id) { return FindControlAs<QAbstractButton>(content.get(), id); }
    QString Text(int id) {
        auto* label = FindControlAs<QLabel>(content.get(), id);
        return label ? label->text() : QStringLiteral("<no label>");
    }
    QWidget* Panel(const char* name) { return FindControl(content.get(), QString::fromUtf8(name)); }

    TempDir dir;
    std::unique_ptr<CWorkSpace> workspace;
    std::unique_ptr<QWidget> content;
    std::unique_ptr<CParamControlBinder> binder;
};

// ---- Binder ---------------------------------------------------------------------------

TEST_F(EffectsPageTest, EveryRegisteredControlIsInTheLayoutWithItsKind) {
    struct Row {
        int control;
        int param;
        int kind;
        int linked;
    };
    const Row rows[] = {
        {8000, 0, 0, 6000},  {6000, 0, 8, 8000},  {8009, 3, 0, 6009},  {8016, 30, 0, 6016},
        {8017, 31, 0, 6017}, {8020, 41, 0, 6020}, {8022, 38, 0, 6022}, {8023, 36, 0, 6023},
        {8038, 42, 0, 6038}, {6038, 42, 8, 8038}, {2025, 15, 0, 6025}, {2034, 24, 0, 6034},
        {6034, 24, 8, 2034}, {7007, 5, 3, 0},     {7000, 6, 3, 0},     {7001, 7, 3, 0},
        {7002, 25, 3, 0},    {7004, 10, 3, 0},    {7005, 11, 3, 0},    {7006, 12, 3, 0},
        {600018, 33, 4, 0},  {601018, 33, 4, 0},  {600019, 34, 4, 0},  {611019, 34, 4, 0},
        {8001, 1, 0, 6001},  {8002, 2, 0, 6002},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.control);
        const ParamBinding* b = binder->BindingOf(row.control);
        ASSERT_NE(b, nullptr);
        EXPECT_NE(b->control, nullptr);
        EXPECT_EQ(b->paramId, row.param);
        EXPECT_EQ(b->kind, row.kind);
        EXPECT_EQ(b->linkedId, row.linked);
    }
    EXPECT_EQ(binder->BindingOf(8000)->extraId, 7007);
    EXPECT_EQ(binder->BindingOf(8001)->extraId, 0);
    // Unbound parameters and the natural-voice box stay the page's own.
    EXPECT_EQ(binder->BindingOf(7003), nullptr);

    // Knobs get their parameter's range; radio items their texts from the item list.
    EXPECT_EQ(Range(8009)->maximum(), 87);
    EXPECT_EQ(Range(2025)->maximum(), 240);
    EXPECT_EQ(Button(603019)->text(), QStringLiteral("Eb"));
    EXPECT_EQ(Button(601018)->text(), QStringLiteral("小调"));
}

TEST_F(EffectsPageTest, WorkspaceValuesMoveControlsAndTexts) {
    struct Case {
        int param;
        int value;
        int control;
        int position;  // expected position of `control`
        int text;      // value text, 0 for none
        const char* shown;
    };
    const Case cases[] = {
        {15, 240, 2025, 240, 6025, "12.0"},  // band 1 at its top
        {15, 250, 2025, 240, 6025, "12.0"},  // clamped to the range
        {15, 0, 2025, 0, 6025, "-12.0"},    {20, 120, 2030, 120, 6030, "0.0"},
        {41, 15, 8020, 15, 6020, "1500"},  // reverb time shows raw x 100
        {3, 70, 8009, 70, 6009, "-20"},     {31, 125, 8017, 125, 6017, "0"},
        {0, 9, 8000, 9, 6000, "9"},         {0, -3, 8000, 0, 6000, "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "param " << c.param << " = " << c.value);
        binder->SetControlValue(c.param, c.value);
        EXPECT_EQ(Range(c.control)->value(), c.position);
        EXPECT_EQ(Text(c.text), QString::fromUtf8(c.shown));
    }
}

TEST_F(EffectsPageTest, WorkspaceValuesCheckSwitchesAndListItems) {
    binder->SetControlValue(34, 5);
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ(Button(600019 + 1000 * k)->isChecked(), k == 5) << "key item " << k;
    binder->SetControlValue(34, 0);
    EXPECT_TRUE(Button(600019)->isChecked());
    EXPECT_FALSE(Button(605019)->isChecked());

    binder->SetControlValue(33, 1);
    EXPECT_TRUE(Button(601018)->isChecked());
    EXPECT_FALSE(Button(600018)->isChecked());
    EXPECT_TRUE(Button(600019)->isChecked());  // scale and key are separate choices

    binder->SetControlValue(6, 1);
    EXPECT_TRUE(Button(7000)->isChecked());
    binder->SetControlValue(6, 0);
    EXPECT_FALSE(Button(7000)->isChecked());

    // Parameters without a control are skipped.
    binder->SetControlValue(4, 3);
    binder->SetControlValue(43, 50);
    binder->SetControlValue(99, 1);
}

TEST_F(EffectsPageTest, TurningTheMicKnobLiftsTheMuteAndUpdatesItsText) {
    binder->SetControlValue(0, 5);
    Button(7007)->setChecked(true);
    ASSERT_EQ(Text(6000), QStringLiteral("5"));

    QTest::keyClick(Range(8000), Qt::Key_Up);  // 5 -> 6 by the user

    EXPECT_EQ(workspace->Value(0), 6);
    EXPECT_EQ(Text(6000), QStringLiteral("6"));
    EXPECT_FALSE(Button(7007)->isChecked());

    // A report of the value the text already shows is no change: the mute stays.
    Button(7007)->setChecked(true);
    ControlEvent same;
    same.control = Range(8000);
    same.id = 8000;
    same.code = kEventSliderPos;
    same.value = 6;
    EXPECT_TRUE(binder->HandleControlEvent(same));
    EXPECT_TRUE(Button(7007)->isChecked());

    // Other knobs have no such switch.
    QTest::keyClick(Range(8001), Qt::Key_Down);
    EXPECT_TRUE(Button(7007)->isChecked());
}

TEST_F(EffectsPageTest, UserActionsSetTheWorkspaceInRawValues) {
    Button(603019)->click();  // "Eb"
    EXPECT_EQ(workspace->Value(34), 3);
    Button(601018)->click();  // "小调"
    EXPECT_EQ(workspace->Value(33), 1);

    const bool boost = Button(7000)->isChecked();
    Button(7000)->click();
    EXPECT_EQ(workspace->Value(6), boost ? 0 : 1);
    Button(7000)->click();
    EXPECT_EQ(workspace->Value(6), boost ? 1 : 0);

    binder->SetControlValue(15, 120);
    QTest::keyClick(Range(2025), Qt::Key_Up);
    EXPECT_EQ(workspace->Value(15), 121);
    EXPECT_EQ(Text(6025), QStringLiteral("0.1"));

    binder->SetControlValue(41, 15);
    QTest::keyClick(Range(8020), Qt::Key_Up);
    EXPECT_EQ(workspace->Value(41), 16);
    EXPECT_EQ(Text(6020), QStringLiteral("1600"));
}

TEST_F(EffectsPageTest, EventsOfOtherControlsAreLeftToTheOthers) {
    const int before = workspace->Value(0);
    ControlEvent e;
    e.id = 10003;  // an effect button
    e.code = kEventCommand;
    EXPECT_FALSE(binder->HandleControlEvent(e));
    e.id = 8000;  // a knob does not click
    e.value = 3;
    EXPECT_FALSE(binder->HandleControlEvent(e));
    e.id = 0;
    EXPECT_FALSE(binder->HandleControlEvent(e));
    EXPECT_EQ(workspace->Value(0), before);
}

TEST_F(EffectsPageTest, FormatValueReportsFormatsWithoutAConversion) {
    ParamBinding binding = *binder->BindingOf(6023);
    binding.rule.format = "%s";
    EXPECT_EQ(CParamControlBinder::FormatValue(50, binding).text, "无效的参数转换符");
    EXPECT_EQ(CParamControlBinder::FormatValue(50, binding).raw, 50);
}

TEST_F(EffectsPageTest, ABindingWithoutItsControlIsHarmless) {
    EXPECT_FALSE(binder->Bind(43, -1, 8999, 0, 0));
    binder->SetControlValue(43, 10);
    EXPECT_NE(binder->BindingOf(8999), nullptr);
}

// ---- Overlay rules ----------------------------------------------------------------------

TEST(OverlayRulesTest, EffectOverlaysFollowTheEffectAndItsSwitches) {
    struct Case {
        const char* what;
        overlay::EffectInputs in;  // effect, file, p11, p29, p32, p35
        bool eqReverbElectric, reverbElectric, notElectric, saveButton, pitch;
        int page;
    };
    const Case cases[] = {
        {"chat, reverb on", {0, false, 1, 0, 0, 1}, false, false, false, true, true, 0},
        {"chat, reverb off", {0, false, 1, 0, 0, 0}, false, true, false, true, true, 0},
        {"telephone", {5, false, 1, 0, 0, 1}, true, false, false, true, true, 0},
        {"modified telephone", {0x45, false, 1, 0, 0, 1}, true, false, false, true, true, 0},
        {"effect file", {164, true, 1, 0, 0, 1}, true, false, false, false, true, 0},
        {"electronic voice", {7, false, 1, 0, 0, 1}, false, false, true, false, true, 0},
        {"electric switch", {1, false, 1, 0, 1, 1}, false, false, true, false, true, 0},
        {"voice change effect", {3, false, 1, 0, 0, 0}, false, false, false, true, false, 1},
        {"voice change effect 6", {6, false, 1, 0, 0, 1}, false, false, false, true, false, 1},
        {"voice change switch", {1, false, 1, 1, 0, 0}, false, false, false, true, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const overlay::EffectOverlays o = overlay::ForEffect(c.in);
        EXPECT_EQ(o.eqReverbElectric, c.eqReverbElectric);
        EXPECT_EQ(o.reverbElectric, c.reverbElectric);
        EXPECT_EQ(o.notElectric, c.notElectric);
        EXPECT_EQ(o.electric, !c.notElectric);
        EXPECT_EQ(o.saveButton, c.saveButton);
        EXPECT_EQ(o.pitch, c.pitch);
        EXPECT_EQ(o.reverbPitchPage, c.page);
        EXPECT_FALSE(o.noiseReductionLevel);
    }
    overlay::EffectInputs noiseOff;
    noiseOff.noiseReduction = 0;
    EXPECT_TRUE(overlay::ForEffect(noiseOff).noiseReductionLevel);
}

TEST(OverlayRulesTest, ReverbPanelAfterPresetsAndTabSwitches) {
    // (page, voiceChangeOn, reverbOn) -> visible after a preset
    EXPECT_TRUE(overlay::ReverbElectricAfterPreset(0, 1, 0));
    EXPECT_FALSE(overlay::ReverbElectricAfterPreset(0, 0, 1));
    EXPECT_TRUE(overlay::ReverbElectricAfterPreset(1, 0, 1));
    EXPECT_FALSE(overlay::ReverbElectricAfterPreset(1, 1, 0));
    EXPECT_TRUE(overlay::ReverbElectricOnTab(0, 0));
    EXPECT_FALSE(overlay::ReverbElectricOnTab(0, 1));
    EXPECT_FALSE(overlay::ReverbElectricOnTab(1, 0));
}

class OverlayPageTest : public EffectsPageTest {
  protected:
    void SetUp() override {
        EffectsPageTest::SetUp();
        rules = std::make_unique<COverlayRules>(content.get(), timers);
    }
    void LoadEffect(int effect, bool file, int p29, int p32, int p35) {
        lw52::EffectRecord record = workspace->Current();
        record.values[4] = effect;
        record.isFileEffect = file ? 1 : 0;
        record.values[29] = p29;
        record.values[35] = p35;
        workspace->LoadRecord(record);
        // Switches 11 and 32 are not part of an effect; without a card they change locally.
        workspace->SetParam(11, 1);
        workspace->SetParam(32, p32);
    }
    bool Shown(const char* name) {
        QWidget* w = Panel(name);
        return w && !w->isHidden();
    }

    CWindowTimers timers{[this](int id) { rules->OnTimer(id); }};
    std::unique_ptr<COverlayRules> rules;
};

// A knob that has the focus must not move under a panel that covers it.
TEST_F(OverlayPageTest, CoveredControlsTakeNoKeys) {
    content->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(content.get()));
    QWidget* cover = Panel("forbid_NoiseReductionLevel_param");
    ASSERT_NE(cover, nullptr);
    QAbstractSlider* level = nullptr;
    for (QAbstractSlider* slider : content->findChildren<QAbstractSlider*>())
        if (cover->geometry().contains(
                cover->parentWidget()->mapFromGlobal(slider->mapToGlobal(slider->rect().center()))))
            level = slider;
    ASSERT_NE(level, nullptr) << "no control under the noise-level panel";
    level->setValue(level->minimum() + 5);
    level->setFocus();
    content->activateWindow();

    rules->OnForbidNoiseReduction(1);  // uncovered: the keys move it
    QTest::keyClick(level, Qt::Key_Up);
    EXPECT_EQ(level->value(), level->minimum() + 5 + level->singleStep());
    rules->OnForbidNoiseReduction(0);  // covered
    ASSERT_TRUE(rules->IsCovered(level));
    const int before = level->value();
    for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_End})
        QTest::keyClick(level, key);
    EXPECT_EQ(level->value(), before);
    EXPECT_FALSE(rules->IsCovered(Panel("forbid_eq_param")));
}

TEST_F(OverlayPageTest, RefreshCoversTheAreasTheEffectDoesNotUse) {
    auto* tab = FindControlAs<QTabWidget>(content.get(), QStringLiteral("tab_reverb_pitch"));
    ASSERT_NE(tab, nullptr);

    LoadEffect(0x45, false, 0, 0, 1);
    ASSERT_TRUE(rules->Refresh(*workspace));
    EXPECT_TRUE(Shown("forbid_eq_reverb_electric_param"));
    EXPECT_FALSE(Shown("forbid_NoiseReductionLevel_param"));
    EXPECT_FALSE(Shown("forbid_eq_param"));
    EXPECT_TRUE(Shown("forbid_electric_param"));
    EXPECT_TRUE(Shown("forbid_pitch_param"));
    EXPECT_FALSE(Button(12100)->isHidden());

    LoadEffect(7, false, 0, 0, 0);
    ASSERT_TRUE(rules->Refresh(*workspace));
    EXPECT_TRUE(Button(12100)->isHidden());
    EXPECT_TRUE(Shown("forbid_not_electric_param"));
    EXPECT_FALSE(Shown("forbid_electric_param"));
    EXPECT_FALSE(Shown("forbid_eq_reverb_electric_param"));
    EXPECT_TRUE(Shown("forbid_reverb_electric_param"));
    EXPECT_EQ(tab->currentIndex(), 0);

    LoadEffect(3, false, 0, 0, 0);
    ASSERT_TRUE(rules->Refresh(*workspace));
    EXPECT_EQ(tab->currentIndex(), 1);
    EXPECT_FALSE(Shown("forbid_pitch_param"));
    EXPECT_FALSE(Shown("forbid_reverb_electric_param"));
    EXPECT_FALSE(Button(12100)->isHidden());

    LoadEffect(1, true, 0, 0, 1);
    ASSERT_TRUE(rules->Refresh(*workspace));
    EXPECT_EQ(tab->currentIndex(), 0);
    EXPECT_TRUE(Button(12100)->isHidden());
    EXPECT_TRUE(Shown("forbid_eq_reverb_electric_param"));

    // Presets and tab switches re-decide the reverb panel with the page on show.
    rules->OnReverbPitchTab(1, 0);
    EXPECT_FALSE(Shown("forbid_reverb_electric_param"));
    rules->AfterPreset(1, 0, 1);  // voice change page, voice change off
    EXPECT_TRUE(Shown("forbid_reverb_electric_param"));
    rules->OnReverbPitchTab(0, 1);
    EXPECT_FALSE(Shown("forbid_reverb_electric_param"));
    rules->OnReverbPitchTab(0, 0);
    EXPECT_TRUE(Shown("forbid_reverb_electric_param"));
    rules->AfterPreset(0, 0, 1);
    EXPECT_FALSE(Shown("forbid_reverb_electric_param"));
}

TEST_F(OverlayPageTest, RefreshNeedsEveryPanel) {
    QWidget bare;
    CWindowTimers otherTimers{[](int) {}};
    COverlayRules none(&bare, otherTimers);
    EXPECT_FALSE(none.Refresh(*workspace));
    none.OnForbidOperate();  // nothing to show; must not crash
    EXPECT_TRUE(none.OnTimer(COverlayRules::kTimerForbidOperate));
    EXPECT_FALSE(none.OnTimer(1000));
}

TEST_F(OverlayPageTest, NoiseReductionEventTogglesTheLevelPanel) {
    rules->OnForbidNoiseReduction(0);
    EXPECT_TRUE(Shown("forbid_NoiseReductionLevel_param"));
    rules->OnForbidNoiseReduction(1);
    EXPECT_FALSE(Shown("forbid_NoiseReductionLevel_param"));
}

// A switch change on a connected card raises EventForbidOpreateWindow; the page answers
// with OnForbidOperate.
TEST_F(OverlayPageTest, ForbidOperateBlocksThePageUntilTimer1012Fires) {
    rules->OnForbidOperate();
    EXPECT_TRUE(Shown("forbid_operation"));
    EXPECT_TRUE(timers.IsRunning(COverlayRules::kTimerForbidOperate));

    EXPECT_TRUE(QTest::qWaitFor([&] { return !Shown("forbid_operation"); }, 5000));
    EXPECT_FALSE(timers.IsRunning(COverlayRules::kTimerForbidOperate));
    EXPECT_FALSE(rules->OnTimer(1005));
}

TEST_F(OverlayPageTest, DeviceChangesCoverThePageWhileNoCardIsConnected) {
    auto* status = FindControlAs<QLabel>(content.get(), QStringLiteral("txt_dev_status"));
    ASSERT_NE(status, nullptr);
    rules->OnDeviceChanged(false);
    EXPECT_TRUE(Shown("forbid_device_conn_status"));
    EXPECT_TRUE(status->isHidden());
    EXPECT_TRUE(status->text().isEmpty());
    rules->OnDeviceChanged(true);
    EXPECT_FALSE(Shown("forbid_device_conn_status"));
}

// ---- With the in-process card ----------------------------------------------------------

// The page's controls, binder and overlays over a connected workspace, wired to the
// workspace's events as the effects page wires them.
class ConnectedPageTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { InitProgramResources(); }

    void SetUp() override {
        CWorkSpace::Context context;
        context.notifyCenter = &center;
        context.eventSender = this;
        context.protocol = &protocol;
        context.settingsPath = dir.Path() + "/QvH31ConfigData.db";
        workspace = std::make_unique<CWorkSpace>(context);
        workspace->SetDeviceManager(&manager);
        device = std::make_unique<lw52::emu::CInProcessCardDevice>(65, 65);
        ASSERT_TRUE(manager.AttachDevice(device.get(), &protocol));
        workspace->ReadStateFromCard();
        ASSERT_TRUE(workspace->IsConnected());

        content.reset(LoadLayout(QStringLiteral("LAYOUT:XML_MAINWND"), nullptr));
        ASSERT_TRUE(content);
        binder = std::make_unique<CParamControlBinder>(*workspace, content.get());
        binder->RegisterDefaultBindings();
        workspace->RefreshControls();
        rules = std::make_unique<COverlayRules>(content.get(), timers);
        ConnectControlEvents(content.get(),
                             [this](const ControlEvent& e) { binder->HandleControlEvent(e); });
        center.Subscribe(EventForbidOpreateWindow::kId, EventForbidOpreateWindow::kName,
                         [this](EventArgs&) { rules->OnForbidOperate(); });
        center.Subscribe(EventForbidNoiseReductionLevelParam::kId,
                         EventForbidNoiseReductionLevelParam::kName, [this](EventArgs& e) {
                             rules->OnForbidNoiseReduction(
                                 static_cast<EventForbidNoiseReductionLevelParam&>(e).value);
                         });
        center.Pump();
    }
    void TearDown() override {
        rules.reset();
        binder.reset();
        workspace.reset();
        manager.DetachDevice();
        protocol.WaitForSender();
    }

    QAbstractButton* Button(int id) { return FindControlAs<QAbstractButton>(content.get(), id); }
    bool Shown(const char* name) {
        QWidget* w = FindControl(content.get(), QString::fromUtf8(name));
        return w && !w->isHidden();
    }
    int CardValue(int id) { return device->Model().LiveParams()[static_cast<size_t>(id)]; }

    TempDir dir;
    CNotifyCenter center;
    CQvAudioProtocol protocol;
    CDeviceManager manager;
    std::unique_ptr<lw52::emu::CInProcessCardDevice> device;
    std::unique_ptr<CWorkSpace> workspace;
    std::unique_ptr<QWidget> content;
    std::unique_ptr<CParamControlBinder> binder;
    CWindowTimers timers{[this](int id) { rules->OnTimer(id); }};
    std::unique_ptr<COverlayRules> rules;
};

TEST_F(ConnectedPageTest, TogglingMicBoostBlocksThePageFor200Ms) {
    const bool boost = Button(7000)->isChecked();
    Button(7000)->click();
    EXPECT_EQ(CardValue(6), boost ? 0 : 1);
    center.Pump();
    EXPECT_TRUE(Shown("forbid_operation"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Shown("forbid_operation"); }, 5000));
}

TEST_F(ConnectedPageTest, UserActionsReachTheCard) {
    Button(603019)->click();  // "Eb"
    EXPECT_EQ(CardValue(34), 3);

    // Raising the microphone volume on a muted card lifts the mute on both sides.
    Button(7007)->click();
    ASSERT_TRUE(Button(7007)->isChecked());
    EXPECT_EQ(CardValue(5), 1);
    auto* knob = FindControlAs<QAbstractSlider>(content.get(), 8000);
    const int volume = knob->value();
    ASSERT_LT(volume, knob->maximum());
    QTest::keyClick(knob, Qt::Key_Up);
    EXPECT_EQ(CardValue(0), volume + 1);
    EXPECT_FALSE(Button(7007)->isChecked());
    EXPECT_EQ(workspace->Value(5), 0);
}

TEST_F(ConnectedPageTest, OneKeyNoiseReductionMovesTheLevelAndItsPanel) {
    auto* level = FindControlAs<QLabel>(content.get(), 6009);
    for (int click = 0; click < 2; ++click) {
        Button(7005)->click();
        center.Pump();
        const bool on = Button(7005)->isChecked();
        SCOPED_TRACE(on ? "on" : "off");
        EXPECT_EQ(level->text(), on ? QStringLiteral("-20") : QStringLiteral("-60"));  // 70 / 30
        EXPECT_EQ(Shown("forbid_NoiseReductionLevel_param"), !on);
    }
}

}  // namespace
