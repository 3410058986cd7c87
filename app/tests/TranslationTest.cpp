// The panel in English: no Chinese is left in the main window, its menus or any layout but
// data, and the English texts fit the fixed-size controls. Without English in the locale (or
// with --lang zh) the texts stay the Chinese they are written in.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <map>
#include <memory>

#include "ChildProcess.h"
#include "DisplayNames.h"
#include "MainApp.h"
#include "MainDlg.h"
#include "Menus.h"
#include "MessageBox.h"
#include "PanelArgs.h"
#include "PanelWithCard.h"
#include "QvTwoState.h"
#include "Records.h"
#include "UiLoader.h"
#include "WorkSpace.h"

namespace {

// Texts that stay Chinese in English, each with its reason.
const std::map<QString, const char*> kAllowed = {
    {QStringLiteral("林雾LW52"), "the product name, the same in every language"},
};

bool HasChinese(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x2e80 && u <= 0x9fff) || (u >= 0xff00 && u <= 0xffef)) return true;
    }
    return false;
}

// Every text a user can read on widget and its children, hidden ones included (overlays and
// tips show in other states), as "where: text".
QStringList ReadableTexts(QWidget* root) {
    QStringList texts;
    auto add = [&texts](const QObject* owner, const QString& what, const QString& text) {
        if (!text.isEmpty())
            texts << QStringLiteral("%1 %2: %3").arg(owner->objectName(), what, text);
    };
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        add(w, "tooltip", w->toolTip());
        if (w->isWindow()) add(w, "title", w->windowTitle());
        if (auto* label = qobject_cast<QLabel*>(w)) add(w, "text", label->text());
        if (auto* button = qobject_cast<QAbstractButton*>(w)) add(w, "text", button->text());
        if (auto* box = qobject_cast<QGroupBox*>(w)) add(w, "title", box->title());
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            add(w, "placeholder", edit->placeholderText());
        if (auto* combo = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < combo->count(); ++i) add(w, "item", combo->itemText(i));
        if (auto* bar = qobject_cast<QTabBar*>(w))
            for (int i = 0; i < bar->count(); ++i) {
                add(w, "tab", bar->tabText(i));
                add(w, "tab tooltip", bar->tabToolTip(i));
            }
        for (const char* property : {"text1", "text2"})  // the two states' texts
            add(w, property, w->property(property).toString());
    }
    return texts;
}

// The entries with Chinese in them besides the allowed names.
std::string Untranslated(const QStringList& texts) {
    QStringList left;
    for (const QString& entry : texts) {
        QString text = entry.section(QStringLiteral(": "), 1);
        for (const auto& [name, reason] : kAllowed) text.remove(name);
        if (HasChinese(text)) left << entry;
    }
    return left.join(u'\n').toStdString();
}

// The one-line texts of window that are wider than their control, hidden ones included
// (they show in other states).
std::string Overflowing(QWidget* window) {
    QStringList wide;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        QString text;
        int room = 0;
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->wordWrap()) {
            text = label->text();
            room = label->contentsRect().width() - label->margin() * 2;
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            text = button->text();
            if (dynamic_cast<QvTwoState*>(w)) {
                room = button->width() - 4;  // drawn by us: inside the rim, a pixel of air
            } else if (auto* push = qobject_cast<QPushButton*>(w)) {
                QStyleOptionButton option;
                option.initFrom(push);
                option.text = push->text();
                room = push->style()
                           ->subElementRect(QStyle::SE_PushButtonContents, &option, push)
                           .width();
            } else {
                QStyleOptionButton option;
                option.initFrom(button);
                option.text = button->text();
                room = button->style()
                           ->subElementRect(QStyle::SE_CheckBoxContents, &option, button)
                           .width();
            }
        } else if (auto* bar = qobject_cast<QTabBar*>(w); bar && bar->count() > 0) {
            // Every tab wider than its text, the last one inside the tab widget.
            QWidget* holder = bar->parentWidget() ? bar->parentWidget() : bar;
            const QRect last = bar->tabRect(bar->count() - 1);
            bool squeezed = bar->mapTo(holder, last.topRight()).x() >= holder->width();
            for (int i = 0; i < bar->count(); ++i)
                squeezed = squeezed || bar->tabRect(i).width() <
                                           bar->fontMetrics().horizontalAdvance(bar->tabText(i));
            if (squeezed) wide << QStringLiteral("%1: tabs do not fit").arg(bar->objectName());
            continue;
        }
        text.remove(u'&');
        if (text.isEmpty() || text.contains(u'\n')) continue;
        const int needed = w->fontMetrics().horizontalAdvance(text);
        if (needed > room)
            wide << QStringLiteral("%1 \"%2\": %3 px in %4")
                        .arg(w->objectName(), text)
                        .arg(needed)
                        .arg(room);
    }
    return wide.join(u'\n').toStdString();
}

// The panel with a virtual card, its user folders in a temporary folder.
class TranslationTest : public ::testing::Test, protected PanelWithCard {
  protected:
    void SetUp() override { ASSERT_TRUE(StartCard()); }
    bool Start(const std::string& language) {
        if (!StartPanel(language)) return false;
        // The card's state has arrived: its effect names are on the buttons.
        QTest::qWait(300);
        return true;
    }
};

TEST_F(TranslationTest, EnglishLeavesNoChineseButDataAndEveryTextFits) {
    ASSERT_TRUE(Start("en"));
    ASSERT_TRUE(app->Workspace()->IsConnected());
    EXPECT_EQ(app->Language(), "en");

    const QStringList texts = ReadableTexts(window);
    EXPECT_GT(texts.size(), 150) << "the walk missed the window's controls";
    EXPECT_EQ(Untranslated(texts), "");
    EXPECT_EQ(Overflowing(window), "");

    // The menus from the menu files, and every layout as it loads (the dialogs'), its texts
    // inside their controls.
    for (const char* file : {":/menus/menu_main.xml", ":/menus/menu_tray.xml"}) {
        std::unique_ptr<QMenu> menu(LoadMenu(file, nullptr));
        ASSERT_NE(menu, nullptr) << file;
        for (const QAction* action : menu->actions())
            EXPECT_FALSE(HasChinese(action->text()))
                << file << ": " << action->text().toStdString();
    }
    const QStringList layouts = QDir(":/layouts").entryList({"*.ui"});
    EXPECT_GE(layouts.size(), 11);
    for (const QString& name : layouts) {
        QFile file(":/layouts/" + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        CUiLoader loader;
        std::unique_ptr<QWidget> layout(loader.load(&file));
        ASSERT_NE(layout, nullptr) << name.toStdString();
        EXPECT_EQ(Untranslated(ReadableTexts(layout.get())), "") << name.toStdString();
        layout->ensurePolished();  // the theme's fonts and paddings
        EXPECT_EQ(Overflowing(layout.get()), "") << name.toStdString();
    }

    // Names the program ships are shown in English, a name of the user's as it is; the
    // card keeps the Chinese name.
    EXPECT_EQ(DisplayName("掌声"), "Applause");
    EXPECT_EQ(DisplayName("自定义12(Ctrl+F2)"), "Custom 12(Ctrl+F2)");
    EXPECT_EQ(DisplayName("我的喊麦"), "我的喊麦");
    qobject_cast<QAbstractButton*>(window->Find("btn_effect_10002"))->click();
    EXPECT_EQ(qobject_cast<QLabel*>(window->Find("txt_eff_title"))->text(),
              "Current effect: MC Shout");
    EXPECT_EQ(lw52::RecordName(app->Workspace()->Current()), "喊麦");
    // Messages of the parts below the UI, by line and by their lead.
    EXPECT_EQ(CoreMessage("固件升级失败：此设备不支持通过本程序写入固件\nEIO"),
              "Firmware upgrade failed: this card cannot be written by this program\nEIO");
    EXPECT_EQ(CoreMessage("解析steps.xml失败：未找到<HW_10>节点"),
              "Cannot read steps.xml: no <HW_10> element");
}

TEST_F(TranslationTest, ChineseStaysAsWritten) {
    ASSERT_TRUE(Start("zh"));
    EXPECT_EQ(app->Language(), "zh");
    EXPECT_EQ(qobject_cast<QAbstractButton*>(window->Find("btn_save_effect"))->text(), "保存音效");
    EXPECT_TRUE(
        qobject_cast<QLabel*>(window->Find("txt_eff_title"))->text().startsWith("当前音效："));
    EXPECT_EQ(DisplayName("掌声"), "掌声");
}

TEST(LanguageChoiceTest, TheOptionThenTheLocaleElseChinese) {
    const struct {
        std::string option;
        std::vector<std::string> uiLanguages;
        std::string chosen;
    } cases[] = {
        {"", {"en-US", "en-Latn-US", "en"}, "en"},
        {"", {"zh-CN", "zh-Hans-CN", "zh"}, "zh"},
        {"", {"de-DE", "de-Latn-DE", "de"}, "zh"},  // no German: the source language
        {"", {"C"}, "zh"},
        {"", {}, "zh"},
        {"", {"de", "en-GB"}, "en"},  // LANGUAGE=de:en_GB: the first we have
        {"", {"fr", "zh-TW", "en"}, "zh"},
        {"zh", {"en-US"}, "zh"},
        {"en", {"zh-CN"}, "en"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option + " / " + testing::PrintToString(c.uiLanguages));
        EXPECT_EQ(ChooseLanguage(c.option, c.uiLanguages), c.chosen);
    }
}

// Run by LocaleDecidesTheLanguage in a process of its own under a given locale.
TEST(TranslationLocaleChild, DISABLED_FollowsTheLocale) {
    TempDir dir;
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.Path() + "/data"));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.Path() + "/config"));
    qputenv("LW52_VHID_DIR", QByteArray::fromStdString(dir.Path() + "/vhid"));
    CMainApp app;
    ASSERT_TRUE(app.Init());
    EXPECT_EQ(app.Language(), qgetenv("LW52_EXPECT_LANGUAGE").toStdString());
    std::unique_ptr<QMenu> menu(LoadMenu(":/menus/menu_main.xml", nullptr));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->actions().value(0)->text().toStdString(),
              qgetenv("LW52_EXPECT_TEXT").toStdString());
}

TEST(TranslationLocaleTest, LocaleDecidesTheLanguage) {
    const struct {
        std::vector<std::string> env;
        const char* language;
        const char* text;
    } cases[] = {
        {{"LANG=en_US.UTF-8"}, "en", "Device Info"},
        {{"LANG=zh_CN.UTF-8"}, "zh", "设备信息"},
        {{"LANG=de_DE.UTF-8"}, "zh", "设备信息"},
        {{"LANG=C"}, "zh", "设备信息"},
        {{"LANG=zh_CN.UTF-8", "LC_MESSAGES=en_GB.UTF-8"}, "en", "Device Info"},
        {{"LANG=de_DE.UTF-8", "LANGUAGE=de:en"}, "en", "Device Info"},
    };
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.env));
        // Only the case's locale variables: the others set but empty.
        std::map<std::string, std::string> vars = {
            {"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANGUAGE", ""}, {"LANG", ""}};
        for (const std::string& entry : c.env)
            vars[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
        std::vector<std::string> env = {"LW52_TEST_LOCALE=1", "QT_QPA_PLATFORM=offscreen",
                                        std::string("LW52_EXPECT_LANGUAGE=") + c.language,
                                        std::string("LW52_EXPECT_TEXT=") + c.text};
        for (const auto& [name, value] : vars) env.push_back(name + "=" + value);
        const RunResult run =
            RunProgram(self,
                       {"--gtest_also_run_disabled_tests",
                        "--gtest_filter=TranslationLocaleChild.DISABLED_FollowsTheLocale"},
                       env);
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        EXPECT_NE(run.out.find("[  PASSED  ] 1 test"), std::string::npos) << run.out;
    }
}

}  // namespace
