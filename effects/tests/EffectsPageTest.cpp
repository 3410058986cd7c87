// The effects page in the real main window, attached to the virtual card process: what the
// user does reaches the card as the card expects it, and what the card does reaches the page.
#include <gtest/gtest.h>
#include <json/json.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <map>
#include <sstream>

#include "ChildProcess.h"
#include "EventHandlerEffect.h"
#include "HotkeyConfig.h"
#include "IGlobalHotkeys.h"
#include "InputHotkeyDialog.h"
#include "MainApp.h"
#include "MainDlg.h"
#include "MessageBox.h"
#include "PanelWithCard.h"
#include "ParamTable.h"
#include "QvProgressEX1.h"
#include "WorkSpace.h"

namespace {

// Notes whether a widget was shown at some point.
struct ShowWatch : QObject {
    bool shown = false;
    bool eventFilter(QObject*, QEvent* event) override {
        shown |= event->type() == QEvent::Show;
        return false;
    }
};

class EffectsPageCardTest : public ::testing::Test, protected PanelWithCard {
  protected:
    void SetUp() override {
        ASSERT_TRUE(StartCard());
        ASSERT_TRUE(StartPanel());
    }
    void UserMoves(int id, int value) {
        ControlEvent e;
        e.control = window->FindById(id);
        e.id = id;
        e.code = kEventSliderPos;
        e.value = value;
        if (auto* slider = qobject_cast<QAbstractSlider*>(e.control)) slider->setValue(value);
        window->DispatchControlEvent(e);
    }
};

TEST_F(EffectsPageCardTest, KnobsAndEffectButtonsReachTheCard) {
    UserMoves(8023, 50);  // reverb volume
    EXPECT_TRUE(CardParamBecomes(36, 50));
    EXPECT_EQ(qobject_cast<QLabel*>(window->FindById(6023))->text(), "50");

    QTest::mouseClick(qobject_cast<QAbstractButton*>(window->FindById(10003)), Qt::LeftButton);
    EXPECT_TRUE(CardParamBecomes(4, 3));
    EXPECT_TRUE(qobject_cast<QAbstractButton*>(window->FindById(10003))->isChecked());
    EXPECT_EQ(qobject_cast<QLabel*>(window->Find("txt_eff_title"))->text(), "当前音效：男变女");
}

TEST_F(EffectsPageCardTest, ASwitchBlocksThePageForAMoment) {
    auto* boost = qobject_cast<QAbstractButton*>(window->FindById(7000));
    ASSERT_NE(boost, nullptr);
    // The block lasts 200 ms: note its showing as it happens instead of polling for it.
    QWidget* forbid = window->Find("forbid_operation");
    ShowWatch watch;
    forbid->installEventFilter(&watch);
    QTest::mouseClick(boost, Qt::LeftButton);
    EXPECT_TRUE(CardParamBecomes(6, boost->isChecked() ? 1 : 0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch.shown; }, 2000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !forbid->isVisible(); }, 2000))
        << "timer 1012 lifts it";
    forbid->removeEventFilter(&watch);
}

TEST_F(EffectsPageCardTest, AKnobTurnedOnTheCardMovesThePage) {
    card.WriteLine("knob 36 77 15 200");
    std::string reply;
    card.ReadLine(reply, 5000);
    auto* knob = qobject_cast<QAbstractSlider*>(window->FindById(8023));
    EXPECT_TRUE(QTest::qWaitFor([&] { return knob->value() == 77; }, 5000));
    EXPECT_EQ(qobject_cast<QLabel*>(window->FindById(6023))->text(), "77");
    EXPECT_EQ(qobject_cast<QAbstractSlider*>(window->FindById(2025))->value(), 200);
    EXPECT_EQ(qobject_cast<QLabel*>(window->FindById(6025))->text(), "8.0");
}

TEST_F(EffectsPageCardTest, MetersFallToEmptyWhenTheCardGoes) {
    auto* mic = qobject_cast<QvProgressEX1*>(window->FindById(9000));
    auto* acc = qobject_cast<QvProgressEX1*>(window->FindById(9001));
    ASSERT_TRUE(mic && acc);
    std::string reply;
    card.WriteLine("levels 9 8");
    card.ReadLine(reply, 5000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return mic->shown() == 90 && acc->shown() == 80; }, 5000))
        << mic->shown() << " " << acc->shown();
    card.WriteLine("unplug");
    card.ReadLine(reply, 5000);
    // No more level reports come to redraw them: the fall-off animation empties them.
    EXPECT_TRUE(QTest::qWaitFor([&] { return mic->shown() == 0 && acc->shown() == 0; }, 5000))
        << mic->shown() << " " << acc->shown();
    EXPECT_EQ(mic->value(), 0);
}

TEST_F(EffectsPageCardTest, AnEffectFileFromTheLibraryUploadsWithProgress) {
    auto* page = dynamic_cast<CEventHandlerEffect*>(window->Pages()[0].get());
    ASSERT_NE(page, nullptr);
    ASSERT_NE(page->Library(), nullptr);
    // The shipped library lists the effect files beside the program.
    const QString file = QString(LW52_SOURCE_DIR) + "/resources/effects/warm-hall.dteff";
    QWidget* progress = window->Find("progress_eff_download");
    ShowWatch watch;
    progress->installEventFilter(&watch);
    ASSERT_EQ(page->ApplyEffectFile("warm-hall", file), 1);
    EXPECT_TRUE(window->Find("forbid_operation")->isVisible()) << "the page waits for the card";
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return CardState()["effectFile"]["status"].asString() == "ok"; }, 10000));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !window->Find("forbid_operation")->isVisible(); }, 5000));
    EXPECT_TRUE(watch.shown) << "the progress bar showed while the frames went out";
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(qobject_cast<QLabel*>(window->Find("txt_eff_title"))->text(), "当前音效：warm-hall");
}

// The library effect's file broke meanwhile: natural voice off sends it again, the upload
// is refused, and the page must not stay blocked waiting for a transfer that never starts.
TEST_F(EffectsPageCardTest, ARefusedUploadLiftsTheBlockAtOnce) {
    auto* page = dynamic_cast<CEventHandlerEffect*>(window->Pages()[0].get());
    ASSERT_NE(page, nullptr);
    const QString file = QString::fromStdString(dir.Path()) + "/mine.dteff";
    ASSERT_TRUE(QFile::copy(QString(LW52_SOURCE_DIR) + "/resources/effects/warm-hall.dteff", file));
    QWidget* forbid = window->Find("forbid_operation");
    ASSERT_EQ(page->ApplyEffectFile("mine", file), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !forbid->isVisible(); }, 10000));

    auto* natural = qobject_cast<QAbstractButton*>(window->Find("Oneclick_soundTrack"));
    QTest::mouseClick(natural, Qt::LeftButton);
    ASSERT_TRUE(CardParamBecomes(4, 0));
    QFile broken(file);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("not an effect file");
    broken.close();
    QTest::mouseClick(natural, Qt::LeftButton);
    EXPECT_FALSE(forbid->isVisible()) << "lifted at once, not after a result that never comes";
    // The page takes clicks again.
    QTest::mouseClick(qobject_cast<QAbstractButton*>(window->FindById(10003)), Qt::LeftButton);
    EXPECT_TRUE(CardParamBecomes(4, 3));
}

// Keeps the grabs that are currently held.
struct HeldHotkeys : IGlobalHotkeys {
    bool Register(int id, uint32_t modifiers, uint32_t vkey) override {
        held[id] = (modifiers << 16) | vkey;
        return true;
    }
    void Unregister(int id) override { held.erase(id); }
    std::map<int, uint32_t> held;
};

TEST_F(EffectsPageCardTest, NoHotkeyIsGrabbedWhileTheHotkeyDialogIsOpen) {
    auto* page = dynamic_cast<CEventHandlerEffect*>(window->Pages()[0].get());
    ASSERT_NE(page, nullptr);
    HeldHotkeys grabs;
    HotkeyConfig& hotkeys = app->Hotkeys();
    hotkeys.SetHotkeyHost(&grabs);
    hotkeys.EnableHotkeys(true);
    page->SetEffectHotkey((2 << 16) | 0x70, 10003);  // Ctrl+F1 selects effect 3
    ASSERT_EQ(grabs.held.count(10003), 1u);

    // "设置热键" on effect 4's button: right-click (the menu closed again), then the command.
    QTimer::singleShot(0, [] {
        if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    });
    page->OpenEffectMenu(10004, QPoint(10, 10));
    bool opened = false;
    std::map<int, uint32_t> heldDuring = grabs.held;
    page->onHotkeyDialogOpen = [&](SInputHotKeyDlg& dialog) {
        opened = true;
        heldDuring = grabs.held;
        dialog.reject();
    };
    page->OnMenuCommand(99);
    page->onHotkeyDialogOpen = nullptr;
    EXPECT_TRUE(opened);
    EXPECT_TRUE(heldDuring.empty()) << "Ctrl+F1 would switch the effect behind the dialog";
    EXPECT_EQ(grabs.held.count(10003), 1u) << "grabbed again once the dialog closed";

    hotkeys.EnableHotkeys(false);
    hotkeys.SetHotkeyHost(nullptr);
}

// "保存到设备" on a stored effect: the card's chosen slot receives every value of it.
TEST_F(EffectsPageCardTest, SaveToTheCardFillsTheChosenSlot) {
    auto* page = dynamic_cast<CEventHandlerEffect*>(window->Pages()[0].get());
    ASSERT_NE(page, nullptr);
    QTest::mouseClick(qobject_cast<QAbstractButton*>(window->FindById(10003)), Qt::LeftButton);
    ASSERT_TRUE(CardParamBecomes(4, 3));
    UserMoves(8023, 50);
    ASSERT_TRUE(CardParamBecomes(36, 50));
    ASSERT_EQ(app->Workspace()->SaveEffectToSlot(1, 0, "mine"), 1);
    const lw52::EffectRecord saved = app->Workspace()->CustomEffects()[0];
    const Json::Value before = CardState()["customSlots"];

    QTimer::singleShot(0, [] {
        if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    });
    page->OpenEffectMenu(10012, QPoint(10, 10));
    page->OnMenuCommand(201);  // "自定义Ⅱ": the card's slot 2
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return CardState()["customSlots"][1][36].asInt() == 50; }, 5000));
    const Json::Value cardSlots = CardState()["customSlots"];
    for (int id = 0; id < lw52::kParamCount; ++id)
        if (lw52::IsEffectParam(id) && id != lw52::kParamEffect) {
            EXPECT_EQ(cardSlots[1][id].asInt(), saved.values[id]) << "parameter " << id;
        }
    EXPECT_EQ(cardSlots[0], before[0]) << "slot 1 untouched";
    EXPECT_EQ(cardSlots[2], before[2]) << "slot 3 untouched";
}

TEST_F(EffectsPageCardTest, NaturalVoicePresetsAndTheButtonMenus) {
    auto* page = dynamic_cast<CEventHandlerEffect*>(window->Pages()[0].get());
    QTest::mouseClick(qobject_cast<QAbstractButton*>(window->FindById(10005)), Qt::LeftButton);
    ASSERT_TRUE(CardParamBecomes(4, 5));

    // Natural voice: chat while on, the telephone effect back when off.
    auto* natural = qobject_cast<QAbstractButton*>(window->Find("Oneclick_soundTrack"));
    QTest::mouseClick(natural, Qt::LeftButton);
    EXPECT_TRUE(CardParamBecomes(4, 0));
    QTest::mouseClick(natural, Qt::LeftButton);
    EXPECT_TRUE(CardParamBecomes(4, 5));

    // The equaliser preset "明亮" reaches the card and marks its button.
    auto* bright = qobject_cast<QAbstractButton*>(window->FindById(11101));
    QTest::mouseClick(bright, Qt::LeftButton);
    EXPECT_TRUE(CardParamBecomes(15, 63));
    EXPECT_TRUE(bright->isChecked());
    EXPECT_TRUE(page->PresetMarked());
    QTest::mouseClick(qobject_cast<QAbstractButton*>(window->FindById(10001)), Qt::LeftButton);
    EXPECT_FALSE(bright->isChecked()) << "choosing an effect clears the preset mark";

    // What each kind of effect button offers in its menu.
    EXPECT_EQ(page->EffectMenuItems(10000), (std::vector<int>{99}));
    EXPECT_EQ(page->EffectMenuItems(10009), (std::vector<int>{99, 102, 101}));
    page->SetEffectHotkey((2 << 16) | 0x70, 10009);  // Ctrl+F1
    EXPECT_EQ(page->EffectMenuItems(10009), (std::vector<int>{99, 100, 101, 102}));
    EXPECT_EQ(page->EffectButton(9)->toolTip(), "自定义1(Ctrl+F1)");
    EXPECT_TRUE(page->EffectMenuItems(10012).empty()) << "an empty user effect opens no menu";
}

TEST_F(EffectsPageCardTest, WithoutTheCloudTheRetryPanelShows) {
    // No service at the default address: after the failed fetch and a second, the page
    // offers the retry link (nothing was downloaded yet).
    QWidget* retry = window->Find("wnd_cloud_eff_refresh");
    // (On the cloud page of its tab, which need not be the page shown.)
    EXPECT_TRUE(QTest::qWaitFor([&] { return !retry->isHidden(); }, 15000));
    EXPECT_TRUE(window->Find("ani_fetch_cloud_eff")->isHidden());
}

class EffectsPageCloudTest : public EffectsPageCardTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(cloudService.Start(LW52_CLOUD_FIXTURE_PATH, {"--port", "0"}));
        const std::string line = cloudService.WaitForLine("listening on", 10000);
        ASSERT_NE(line, "");
        qputenv("LW52_CLOUD_URL", QByteArray::fromStdString(line.substr(line.find("http://"))));
        EffectsPageCardTest::SetUp();
    }
    void TearDown() override {
        EffectsPageCardTest::TearDown();
        qunsetenv("LW52_CLOUD_URL");
    }
    ChildProcess cloudService;
};

TEST_F(EffectsPageCloudTest, TheCloudTabListsTheServicesEffectsByCategory) {
    auto* tree = qobject_cast<QTreeWidget*>(window->Find("trctl_cloud_effectt"));
    ASSERT_NE(tree, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return tree->topLevelItemCount() == 3; }, 15000));
    EXPECT_EQ(app->Workspace()->CloudEffects().size(), 8u);
    EXPECT_TRUE(window->Find("wnd_cloud_eff_refresh")->isHidden());
}

}  // namespace
