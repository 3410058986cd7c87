// The name dialogs on their real layouts: every refusal is a box that leaves the dialog open
// and stores nothing, a save lands in the workspace and in the settings file, cancelling ends
// with 2.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <vector>

#include "Builtins.h"
#include "Controls.h"
#include "DlgEditFileName.h"
#include "DlgSaveEffect.h"
#include "DlgSavePreset.h"
#include "MessageBox.h"
#include "WorkSpaceFixture.h"

void InitProgramResources();

namespace {

QStringList Entries(const QComboBox* combo) {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
    return texts;
}

template <typename T>
T* Control(CNameDialog& dialog, const char* name) {
    T* control = FindControlAs<T>(dialog.Content(), name);
    EXPECT_NE(control, nullptr) << name;
    return control;
}

class SaveDialogs : public WorkSpaceTest {
  protected:
    void SetUp() override {
        WorkSpaceTest::SetUp();
        InitProgramResources();
        msgbox::SetResponder([this](const msgbox::Shown& box) {
            boxes.push_back(box);
            return int{msgbox::kIdOk};
        });
    }
    void TearDown() override {
        msgbox::SetResponder(nullptr);
        WorkSpaceTest::TearDown();
    }

    // The one box shown since the last call, as "text|caption".
    QString TakeBox() {
        EXPECT_EQ(boxes.size(), 1u);
        QString shown;
        if (!boxes.empty()) {
            EXPECT_EQ(boxes.back().buttons, int{msgbox::kOk});
            shown = boxes.back().text + "|" + boxes.back().caption;
        }
        boxes.clear();
        return shown;
    }

    // A second workspace on the same settings file: what survives a restart.
    std::unique_ptr<CWorkSpace> Restarted() {
        CWorkSpace::Context context;
        context.notifyCenter = &center;
        context.eventSender = this;
        context.protocol = &protocol;
        context.settingsPath = settingsPath;
        return std::make_unique<CWorkSpace>(context);
    }

    // Anything stored beyond the byte-order mark the workspace creates the file with.
    bool SettingsWritten() const {
        std::error_code error;
        return std::filesystem::file_size(settingsPath, error) > 2 && !error;
    }

    std::vector<msgbox::Shown> boxes;
};

TEST_F(SaveDialogs, LayoutsCarryTheirControlsAndLimits) {
    Build();
    CDlgSaveEffect effect(*workspace);
    CDlgSavePreset preset(*workspace, 1);
    CDlgEditFileName clip("clip");
    struct Case {
        CNameDialog* dialog;
        const char* className;
        QSize size;
        int maxName;
    };
    for (const Case& c : {Case{&effect, "DlgSaveEffect", {400, 270}, 12},
                          Case{&preset, "DlgSavePreset", {400, 240}, 12},
                          Case{&clip, "DlgEditFileName", {320, 150}, 7}}) {
        SCOPED_TRACE(c.className);
        ASSERT_NE(c.dialog->Content(), nullptr);
        EXPECT_EQ(c.dialog->objectName(), c.className);
        EXPECT_EQ(c.dialog->size(), c.size);
        if (auto* edit = Control<QLineEdit>(*c.dialog, "edit_name")) {
            EXPECT_EQ(edit->maxLength(), c.maxName);
        }
        for (const char* button : {"btnOK", "btnCancel", "btn_close"})
            Control<QPushButton>(*c.dialog, button);
        EXPECT_EQ(ControlId(FindControl(c.dialog->Content(), "btnOK")), 1);
    }
    EXPECT_EQ(Control<QLabel>(effect, "txt_title")->text(), "保存音效");
    EXPECT_EQ(Control<QLabel>(clip, "txt_title")->text(), "设置特效名称");
}

TEST_F(SaveDialogs, SaveEffectOpensOnTheCardSlotsAndRefillsThemPerType) {
    Build();
    CDlgSaveEffect dialog(*workspace);
    auto* type = Control<QComboBox>(dialog, "combo_save_type");
    auto* location = Control<QComboBox>(dialog, "combo_save_to");
    ASSERT_TRUE(type && location);
    EXPECT_EQ(Entries(type), QStringList({"设备音效", "我的音效"}));
    EXPECT_EQ(type->currentIndex(), 0);
    EXPECT_EQ(Entries(location), QStringList({"设备自定义1", "设备自定义2", "设备自定义3"}));
    EXPECT_EQ(location->currentIndex(), 0);

    type->setCurrentIndex(1);
    QStringList user;
    for (int i = 4; i <= 15; ++i) user << QString("自定义%1").arg(i);
    EXPECT_EQ(Entries(location), user);
    EXPECT_EQ(location->currentIndex(), -1);

    type->setCurrentIndex(0);
    EXPECT_EQ(location->count(), 3);
    EXPECT_EQ(location->currentIndex(), -1);
}

// Checked in this order; each refusal keeps the dialog open and stores nothing.
TEST_F(SaveDialogs, SaveEffectRefusesIncompleteInputInOrder) {
    Connect();
    struct Case {
        const char* what;
        std::function<void(CDlgSaveEffect&)> input;
        QString box;
    };
    const std::vector<Case> cases = {
        {"no type", [](CDlgSaveEffect& d) { d.SelectType(-1); }, "请选择保存类型！|提示"},
        {"type changed, no place chosen", [](CDlgSaveEffect& d) { d.SelectType(1); },
         "请选择保存位置！|提示"},
        {"no place", [](CDlgSaveEffect& d) { d.SelectLocation(-1); }, "请选择保存位置！|提示"},
        {"empty name", [](CDlgSaveEffect& d) { d.SetName(""); }, "音效名称不能为空！|提示"},
        {"blank name", [](CDlgSaveEffect& d) { d.SetName(" \t\r\n "); }, "音效名称不能为空！|提示"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CDlgSaveEffect dialog(*workspace);
        dialog.SetName("好声音");
        c.input(dialog);
        EXPECT_FALSE(dialog.PressOK());
        EXPECT_EQ(TakeBox(), c.box);
        EXPECT_EQ(dialog.result(), 0);  // still open
        EXPECT_EQ(dialog.SavedSlot(), -1);
    }
    EXPECT_FALSE(SettingsWritten());
}

TEST_F(SaveDialogs, SaveEffectNeedsTheCardEvenForTheUsersOwnEffects) {
    Build();
    for (int type : {0, 1}) {
        SCOPED_TRACE(type);
        CDlgSaveEffect dialog(*workspace);
        dialog.SelectType(type);
        dialog.SelectLocation(1);
        dialog.SetName("好声音");
        EXPECT_FALSE(dialog.PressOK());
        EXPECT_EQ(TakeBox(), "您未连接设备，请先连接设备！|提示");
    }
    EXPECT_FALSE(SettingsWritten());
    EXPECT_EQ(workspace->CustomEffects()[1].empty, 1);
}

TEST_F(SaveDialogs, SaveEffectReportsAFailedWrite) {
    settingsPath = dir.Path() + "/gone/QvH31ConfigData.db";
    Connect();
    CDlgSaveEffect dialog(*workspace);
    dialog.SetName("好声音");
    EXPECT_FALSE(dialog.PressOK());
    EXPECT_EQ(TakeBox(), "保存失败！|提示");
}

TEST_F(SaveDialogs, SaveEffectStoresTheTrimmedNameInTheChosenSlot) {
    Connect();
    struct Case {
        int type, slot, buttonId;
        std::function<const lw52::EffectRecord&(const CWorkSpace&)> stored;
    };
    const std::vector<Case> cases = {
        {0, 2, 10011, [](const CWorkSpace& w) -> auto& {return w.BuiltinEffects()[11];
}
}  // namespace
, {1, 0, 10012, [](const CWorkSpace& w) -> auto& {return w.CustomEffects()[0];
}
}
, {1, 11, 10023, [](const CWorkSpace& w) -> auto& {return w.CustomEffects()[11];
}
}
,
}
;
for (const Case& c : cases) {
    SCOPED_TRACE(c.buttonId);
    CDlgSaveEffect dialog(*workspace);
    dialog.SelectType(c.type);
    dialog.SelectLocation(c.slot);
    const std::string name = "效果" + std::to_string(c.buttonId);
    dialog.SetName(QString::fromStdString(" \t" + name + "\r\n"));
    EXPECT_TRUE(dialog.PressOK());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(dialog.SavedButtonId(), c.buttonId);
    EXPECT_EQ(lw52::RecordName(c.stored(*workspace)), name);
    EXPECT_EQ(lw52::RecordName(c.stored(*Restarted())), name);
}
}

// The way the page runs it: modal over its window, driven through the widgets.
TEST_F(SaveDialogs, SaveEffectRunsModallyAndCutsALongNameAtTwelve) {
    Connect();
    CDlgSaveEffect dialog(*workspace);
    QTimer::singleShot(0, &dialog, [&] {
        Control<QComboBox>(dialog, "combo_save_type")->setCurrentIndex(1);
        Control<QComboBox>(dialog, "combo_save_to")->setCurrentIndex(5);
        QTest::keyClicks(Control<QLineEdit>(dialog, "edit_name"), "abcdefghijklmnop");
        QTest::mouseClick(Control<QPushButton>(dialog, "btnOK"), Qt::LeftButton);
    });
    QTimer::singleShot(10000, &dialog, [&] { dialog.done(0); });  // a hang becomes a failure
    EXPECT_EQ(dialog.exec(), 1);
    EXPECT_EQ(lw52::RecordName(Restarted()->CustomEffects()[5]), "abcdefghijkl");
}

TEST_F(SaveDialogs, SavePresetTitlesItsGroupAndRefuses) {
    Build();
    for (auto [group, name] : {std::pair{1, "均衡"}, std::pair{2, "混响"}, std::pair{3, "变声"}}) {
        CDlgSavePreset dialog(*workspace, group);
        EXPECT_EQ(Control<QLabel>(dialog, "txt_title")->text(), QString("保存预设-") + name);
    }

    struct Case {
        const char* what;
        int group, slot;
        QString name, box;
    };
    const std::vector<Case> cases = {
        {"no place", 1, -1, "人声", "请选择预设的保存位置！|提示"},
        {"blank name", 1, 0, " \t \r\n", "预设名称不能为空！|提示"},
        {"a group without user presets", 4, 0, "人声", "保存失败！|提示"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CDlgSavePreset dialog(*workspace, c.group);
        auto* location = Control<QComboBox>(dialog, "combo_save_to");
        EXPECT_EQ(Entries(location), QStringList({"自定义1", "自定义2", "自定义3", "自定义4"}));
        EXPECT_EQ(location->currentIndex(), -1);
        dialog.SelectLocation(c.slot);
        dialog.SetName(c.name);
        EXPECT_FALSE(dialog.PressOK());
        EXPECT_EQ(TakeBox(), c.box);
    }
    EXPECT_FALSE(SettingsWritten());
}

// Presets are local: no card needed.
TEST_F(SaveDialogs, SavePresetStoresInTheGroupsUserSlot) {
    Build();
    ASSERT_FALSE(workspace->IsConnected());
    for (auto [group, slot] : {std::pair{1, 3}, std::pair{2, 0}, std::pair{3, 2}}) {
        SCOPED_TRACE(group);
        CDlgSavePreset dialog(*workspace, group);
        dialog.SelectLocation(slot);
        const std::string name = "预设" + std::to_string(group);
        dialog.SetName(QString::fromStdString("  " + name + "\t"));
        EXPECT_TRUE(dialog.PressOK());
        EXPECT_TRUE(boxes.empty());
        EXPECT_EQ(dialog.SavedSlot(), slot);
        const size_t entry = static_cast<size_t>(lw52::BuiltinPresetCount(group) + slot);
        EXPECT_EQ(lw52::PresetName(workspace->PresetList(group)[entry]), name);
        const lw52::PresetRecord stored = Restarted()->PresetList(group)[entry];
        EXPECT_EQ(lw52::PresetName(stored), name);
        EXPECT_GT(stored.count, 0);
    }
}

TEST_F(SaveDialogs, CancellingEndsWithTwoAndStoresNothing) {
    Connect();
    for (const char* how : {"btnCancel", "btn_close", "escape"}) {
        SCOPED_TRACE(how);
        CDlgSaveEffect effect(*workspace);
        CDlgSavePreset preset(*workspace, 2);
        preset.SelectLocation(0);
        CDlgEditFileName clip("鼓掌-01");
        for (CNameDialog* dialog : std::initializer_list<CNameDialog*>{&effect, &preset, &clip}) {
            dialog->SetName("好声音");
            if (QString(how) == "escape")
                dialog->reject();
            else
                Control<QPushButton>(*dialog, how)->click();
            EXPECT_EQ(dialog->result(), int{CNameDialog::kEndCancel});
        }
        EXPECT_EQ(clip.Name(), "鼓掌");
    }
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(SettingsWritten());
}

TEST_F(SaveDialogs, ClipNameIsOfferedUpToItsDash) {
    const std::vector<std::pair<QString, QString>> cases = {
        {"鼓掌-01", "鼓掌"}, {"a-b-c", "a"}, {"-intro", "-intro"}, {"笑声", "笑声"}, {"", ""}};
    for (const auto& [given, offered] : cases) {
        SCOPED_TRACE(given.toStdString());
        CDlgEditFileName dialog(given);
        EXPECT_EQ(Control<QLineEdit>(dialog, "edit_name")->text(), offered);
        EXPECT_EQ(dialog.Name(), offered);
    }
}

TEST_F(SaveDialogs, ClipNameRefusesBlankAndReturnsAtMostSevenCharacters) {
    CDlgEditFileName blank("鼓掌");
    blank.SetName(" \t\r\n");
    EXPECT_FALSE(blank.PressOK());
    EXPECT_EQ(TakeBox(), "特效名称不能为空！|提示");
    EXPECT_EQ(blank.Name(), "鼓掌");

    CDlgEditFileName trimmed("鼓掌");
    trimmed.SetName("  欢呼 \t");
    EXPECT_TRUE(trimmed.PressOK());
    EXPECT_EQ(trimmed.Name(), "欢呼");

    CDlgEditFileName typed("鼓掌");
    auto* edit = Control<QLineEdit>(typed, "edit_name");
    edit->clear();
    QTest::keyClicks(edit, "abcdefghi");
    QTest::mouseClick(Control<QPushButton>(typed, "btnOK"), Qt::LeftButton);
    EXPECT_EQ(typed.result(), 1);
    EXPECT_EQ(typed.Name(), "abcdefg");
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
