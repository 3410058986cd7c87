// Checks the compiled-in layouts without creating widgets: every control the program looks up
// by name or numeric id is there exactly once with the right class, texts and ranges the
// program relies on are as it expects, and nothing lies outside its parent or on a sibling.
#include <gtest/gtest.h>

#include <QSet>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "UiFile.h"

// Readable failure messages for texts.
void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

using lw52::test::ParseUiFile;
using lw52::test::UiFile;
using lw52::test::UiWidget;

namespace {

const UiFile& Main() {
    static const UiFile file = ParseUiFile(":/layouts/mainwnd.ui");
    return file;
}

// The one widget with this name or id (a test failure, and null, otherwise).
const UiWidget* One(const std::vector<const UiWidget*>& found, const QString& what) {
    EXPECT_EQ(found.size(), 1u) << what.toStdString();
    return found.size() == 1 ? found[0] : nullptr;
}

void ExpectClass(const UiWidget* w, const char* cls) {
    if (w) {
        EXPECT_EQ(w->cls, cls) << w->name.toStdString();
    }
}

std::vector<int> Range(int first, int last, int step = 1) {
    std::vector<int> ids;
    for (int id = first; id <= last; id += step) ids.push_back(id);
    return ids;
}

TEST(MainLayout, HasEveryNamedControlOnceWithItsClass) {
    ASSERT_TRUE(Main().error.isEmpty()) << Main().error.toStdString();
    const std::vector<std::pair<const char*, const char*>> named = {
        {"mainWindow", "QWidget"},
        {"txt_app_title", "QLabel"},
        {"txt_eff_title", "QLabel"},
        {"btn_menu", "QPushButton"},
        {"btn_min", "QPushButton"},
        {"btn_close", "QPushButton"},
        {"trctl_kx_eff_list", "QTreeWidget"},
        {"trctl_cloud_effectt", "QTreeWidget"},
        {"ani_fetch_cloud_eff", "QLabel"},
        {"wnd_cloud_eff_refresh", "QFrame"},
        {"btn_cloud_retry", "QPushButton"},
        {"progress_eff_download", "QProgressBar"},
        {"ani_fetch_cloud_sound", "QLabel"},
        {"btn_cloud_sound_retry", "QPushButton"},
        {"tab_sound", "QTabWidget"},
        {"scrollview_sound_common", "QScrollArea"},
        {"scrollview_sound_local", "QScrollArea"},
        {"scrollview_sound_download", "QScrollArea"},
        {"container_sound", "QFrame"},
        {"btn_sound_stop", "QPushButton"},
        {"progress_sound_play", "QvProgress"},
        {"txt_sound_play_time", "QLabel"},
        {"btn_volume", "QPushButton"},
        {"chk_hotkey_switch", "QvCheckButton"},
        {"container_record", "QFrame"},
        {"txt_record_time", "QLabel"},
        {"btn_record", "QvCheckButton"},
        {"btn_record_playback", "QvCheckButton"},
        {"btn_record_save", "QPushButton"},
        {"txt_play_time", "QLabel"},
        {"slider_play_progress", "QvSlider"},
        {"channel_volume", "QvProgressEX"},
        {"loading", "QLabel"},
        {"record_display_wnd", "QFrame"},
        {"param_content", "QFrame"},
        {"eq_curve", "QvEQ"},
        {"tab_reverb_pitch", "QTabWidget"},
        {"reverb_scrollview", "QScrollArea"},
        {"Oneclick_soundTrack", "QvCheckButton"},
        {"forbid_NoiseReductionLevel_param", "QFrame"},
        {"forbid_eq_param", "QFrame"},
        {"forbid_eq_reverb_electric_param", "QFrame"},
        {"forbid_reverb_electric_param", "QFrame"},
        {"forbid_not_electric_param", "QFrame"},
        {"forbid_electric_param", "QFrame"},
        {"forbid_pitch_param", "QFrame"},
        {"forbid_operation", "QFrame"},
        {"forbid_device_conn_status", "QFrame"},
        {"txt_dev_status", "QLabel"}};
    for (const auto& [name, cls] : named) ExpectClass(One(Main().Named(name), name), cls);

    QSet<QString> seen;
    for (const auto& w : Main().widgets) {
        EXPECT_FALSE(seen.contains(w.name)) << "name used twice: " << w.name.toStdString();
        seen.insert(w.name);
    }
    // The curve child, the device status text and the overlays sit where the program looks.
    const auto& ws = Main().widgets;
    for (const auto& w : ws) {
        if (w.cls == "QvEqCurve") {
            EXPECT_EQ(ws[w.parent].name, "eq_curve");
        }
        if (w.name == "txt_dev_status") {
            EXPECT_EQ(ws[w.parent].name, "forbid_device_conn_status");
        }
        if (w.name.startsWith("forbid_") || w.name == "record_display_wnd") {
            EXPECT_TRUE(w.Hidden()) << w.name.toStdString();
        }
    }
}

TEST(MainLayout, HasEveryNumericIdOnceWithItsClass) {
    const std::vector<std::pair<std::vector<int>, const char*>> ids = {
        {{900, 901, 902}, "QTabWidget"},
        {Range(10000, 10023), "QvRadioButton"},
        {Range(11101, 11110), "QvRadioButton"},
        {Range(11201, 11211), "QvRadioButton"},
        {Range(11301, 11308), "QvRadioButton"},
        {{11000, 12001, 12002, 12003, 13001, 13002, 13003, 12100, 2}, "QPushButton"},
        {{9000, 9001}, "QvProgressEX1"},
        {{8000, 8001, 8002, 8009, 8016, 8017, 8020, 8022, 8023, 8038}, "QvRotaryKnob"},
        {{6000, 6001, 6002, 6009, 6016, 6017, 6020, 6022, 6023, 6038}, "QLabel"},
        {Range(6025, 6034), "QLabel"},
        {Range(2025, 2034), "QvSlider"},
        {{7000, 7001, 7002, 7004, 7005, 7006}, "QCheckBox"},
        {{7003, 7007}, "QvCheckButton"},
        {{600018, 601018}, "QvRadioButton"},
        {Range(600019, 611019, 1000), "QvRadioButton"}};
    size_t expected = 0;
    for (const auto& [list, cls] : ids) {
        for (int id : list) ExpectClass(One(Main().WithId(id), QString::number(id)), cls);
        expected += list.size();
    }
    size_t withId = 0;
    for (const auto& w : Main().widgets) withId += w.Id().has_value();
    EXPECT_EQ(withId, expected) << "a widget carries an id the program does not use";

    EXPECT_EQ(Main().Named("Oneclick_soundTrack")[0]->Id(), 7003);
    EXPECT_EQ(Main().Named("tab_reverb_pitch")[0]->Id(), 902);
    EXPECT_EQ(Main().Named("btn_close")[0]->Id(), 2);
}

TEST(MainLayout, TextsAndRangesAreThoseTheProgramExpects) {
    const QStringList effects = {"聊天",   "K歌",  "喊麦",     "男变女",  "女变男",  "电话音",
                                 "娃娃音", "电音", "听湿录干", "自定义1", "自定义2", "自定义3"};
    for (int i = 0; i < 24; ++i) {
        const QString text = i < 12 ? effects[i] : QString("自定义%1").arg(i - 8);
        EXPECT_EQ(Main().WithId(10000 + i)[0]->Prop("text"), text);
    }
    const std::vector<std::pair<int, const char*>> texts = {
        {7000, "话筒+10dB"}, {7001, "外接伴奏+10dB"}, {7002, "闪避开关"},
        {7003, "一键原声"},  {7004, "一键内放"},      {7005, "一键降噪"},
        {7006, "消原声"},    {7007, "话筒静音"},      {11000, "恢复默认"},
        {12100, "保存音效"}, {11106, "动圈麦2"},      {11207, "歌手3"},
        {11304, "女变男"},   {12002, "保存预设"},     {13003, "恢复默认"},
        {601018, "小调"},    {603019, "Eb"},          {611019, "B"}};
    for (const auto& [id, text] : texts) EXPECT_EQ(Main().WithId(id)[0]->Prop("text"), text);

    // Page titles keep their spaces; the program and its settings go by page index.
    std::vector<QString> titles;
    for (const auto& w : Main().widgets)
        if (!w.title.isEmpty()) titles.push_back(w.title);
    const std::vector<QString> expected = {"设备音效", "我的音效", " 音效",   "云音效", "收藏夹",
                                           "本地",     "已下载",   "混响   ", "变声  "};
    EXPECT_EQ(titles, expected);

    const auto* save = Main().Named("btn_record_save")[0];
    EXPECT_EQ(save->Prop("text"), "保存");
    EXPECT_EQ(save->Prop("toolTip"), "Save as mp3");
    EXPECT_EQ(Main().Named("txt_record_time")[0]->Prop("text"), "00:00:00");
    EXPECT_EQ(Main().Named("txt_play_time")[0]->Prop("text"), "00:00:00");
    EXPECT_EQ(Main().Named("txt_app_title")[0]->Prop("text"), "林雾LW52");

    auto expectRange = [](const UiWidget* w, const char* max, const char* orientation) {
        EXPECT_EQ(w->Prop("minimum"), "0") << w->name.toStdString();
        EXPECT_EQ(w->Prop("maximum"), max) << w->name.toStdString();
        EXPECT_EQ(w->Prop("orientation"), orientation) << w->name.toStdString();
    };
    for (int id = 2025; id <= 2034; ++id) expectRange(Main().WithId(id)[0], "240", "Qt::Vertical");
    for (int id : {9000, 9001}) expectRange(Main().WithId(id)[0], "90", "Qt::Vertical");
    expectRange(Main().Named("slider_play_progress")[0], "100", "Qt::Horizontal");
    expectRange(Main().Named("channel_volume")[0], "100", "Qt::Horizontal");
    expectRange(Main().Named("progress_eff_download")[0], "100", "Qt::Horizontal");
}

// Every layout: the window has its size, children lie inside their parents, and visible
// siblings do not overlap (overlays and tab pages are meant to).
struct LayoutCase {
    const char* path;
    const char* layoutName;
    QSize size;
    std::vector<const char*> names;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.path;
}

// "mainwnd" for ":/layouts/mainwnd.ui".
std::string CaseName(const testing::TestParamInfo<LayoutCase>& info) {
    const QString path = info.param.path;
    return path.section('/', -1).section('.', 0, 0).toStdString();
}

class Layouts : public testing::TestWithParam<LayoutCase> {};

TEST_P(Layouts, HaveTheirControlsAndFitTogether) {
    const LayoutCase& c = GetParam();
    const UiFile file = ParseUiFile(c.path);
    ASSERT_TRUE(file.error.isEmpty()) << file.error.toStdString();
    const UiWidget& window = file.widgets[0];
    EXPECT_EQ(window.Prop("layoutName"), c.layoutName);
    ASSERT_TRUE(window.geometry);
    EXPECT_EQ(window.geometry->size(), c.size);
    for (const char* name : c.names) One(file.Named(name), name);

    for (int i = 0; i < static_cast<int>(file.widgets.size()); ++i) {
        const UiWidget& parent = file.widgets[i];
        std::vector<const UiWidget*> solid;
        for (int k : file.ChildrenOf(i)) {
            const UiWidget& child = file.widgets[k];
            ASSERT_TRUE(child.geometry) << child.name.toStdString();
            EXPECT_TRUE(QRect(QPoint(), parent.geometry->size()).contains(*child.geometry))
                << child.name.toStdString() << " lies outside " << parent.name.toStdString();
            if (!child.Hidden() && !child.Prop("role").startsWith("overlay"))
                solid.push_back(&child);
        }
        if (parent.cls == "QTabWidget") continue;
        for (size_t a = 0; a < solid.size(); ++a)
            for (size_t b = a + 1; b < solid.size(); ++b)
                EXPECT_FALSE(solid[a]->geometry->intersects(*solid[b]->geometry))
                    << solid[a]->name.toStdString() << " overlaps " << solid[b]->name.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllLayouts, Layouts,
    testing::Values(
        LayoutCase{":/layouts/mainwnd.ui", "LAYOUT:XML_MAINWND", {974, 662}, {"param_content"}},
        LayoutCase{":/layouts/tooltip.ui", "LAYOUT:XML_TOOLTIP", {220, 32}, {"txt_tip"}},
        LayoutCase{":/layouts/deviceinfo.ui",
                   "LAYOUT:XML_DLGDEVICEINFO",
                   {320, 160},
                   {"txt_info", "btn_close"}},
        LayoutCase{
            ":/layouts/about.ui", "LAYOUT:XML_ABOUT", {320, 150}, {"txt_version", "btn_close"}},
        LayoutCase{":/layouts/msgbox.ui",
                   "LAYOUT:XML_MSGBOX",
                   {360, 170},
                   {"msgicon", "msgtitle", "msgtext", "button1st", "button2nd", "button3rd"}},
        LayoutCase{":/layouts/setvolume.ui",
                   "LAYOUT:XML_SET_VOLUME",
                   {90, 212},
                   {"setVolume_Wnd", "txt_sound_volume", "slider_sound_volume"}},
        LayoutCase{":/layouts/upgradefirmware.ui",
                   "LAYOUT:XML_UPGRADEFIRMWARE",
                   {388, 250},
                   {"DlgUpgradeFirmware", "txt_msg", "txt_currentaction", "progress", "btn_retry",
                    "btn_upgrade", "btn_close"}}),
    CaseName);

TEST(MainLayout, ColumnsSitWhereTheWindowPutsThem) {
    EXPECT_EQ(*Main().Named("param_content")[0]->geometry,
              QRect(410, 60, 974 - 15 - 410, 662 - 17 - 60));
    const UiWidget* left = Main().Named("container_sound")[0];
    const UiWidget& column = Main().widgets[left->parent];
    EXPECT_EQ(column.geometry->size(), QSize(390, 589));
    EXPECT_EQ(column.parent, 0);
    EXPECT_EQ(column.geometry->bottom() + 1, 662 - 17);
}

}  // namespace
