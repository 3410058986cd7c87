#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "ChildProcess.h"
#include "HotkeyConfig.h"
#include "HotkeyText.h"
#include "IGlobalHotkeys.h"
#include "IniFile.h"
#include "Log.h"
#include "TextUtil.h"
#include "VirtualKeys.h"

namespace {

using hotkey::kModAlt;
using hotkey::kModCtrl;
using hotkey::kModShift;
using hotkey::MakeValue;

// Records every call and keeps the grabs that are currently held; ids in refuse are refused.
class RecordingHotkeys : public IGlobalHotkeys {
  public:
    struct Call {
        bool reg;
        int id;
        uint32_t modifiers;
        uint32_t key;
        bool operator==(const Call&) const = default;
    };

    bool Register(int id, uint32_t modifiers, uint32_t vkey) override {
        calls.push_back({true, id, modifiers, vkey});
        if (refuse.count(id)) return false;
        held[id] = MakeValue(modifiers, vkey);
        return true;
    }
    void Unregister(int id) override {
        calls.push_back({false, id, 0, 0});
        held.erase(id);
    }

    std::vector<Call> calls;
    std::map<int, uint32_t> held;
    std::set<int> refuse;
};

class LogCapture : public diag::ILogSink {
  public:
    LogCapture() { diag::SetLogSink(this); }
    ~LogCapture() override { diag::SetLogSink(nullptr); }
    void OnLog(int, const char*, const char* message, const char*, int, const char*) override {
        lines.emplace_back(message);
    }
    std::vector<std::string> lines;
};

SoundEntry Entry(int32_t kind, std::u16string_view name, const std::string& path,
                 uint32_t hotkeyValue = 0, int32_t cloudId = 0) {
    SoundEntry e;
    e.kind = kind;
    e.SetName(name);
    e.SetPathUtf8(path);
    e.hotkey = hotkeyValue;
    e.cloudId = cloudId;
    return e;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Touch(const std::string& path) {
    std::ofstream(path) << "mp3";
}

bool SameEntries(const std::vector<SoundEntry>& a, const std::vector<SoundEntry>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(SoundEntry)) != 0) return false;
    return true;
}

class HotkeyConfigTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(config.Init(iniPath)); }

    std::string File(const std::string& name) const { return dir.Path() + "/" + name; }
    std::unique_ptr<HotkeyConfig> Reloaded() const {
        auto other = std::make_unique<HotkeyConfig>();
        EXPECT_TRUE(other->Init(iniPath));
        return other;
    }

    TempDir dir;
    std::string iniPath = dir.Path() + "/QvH31Moodcfg.ini";
    HotkeyConfig config;
};

TEST_F(HotkeyConfigTest, FreshFileHoldsOnlyTheMarkAndTheFirstSaveWritesEverySection) {
    EXPECT_EQ(ReadAll(iniPath), std::string("\xFF\xFE", 2));
    EXPECT_EQ(config.Volume(), 50);
    EXPECT_FALSE(config.HotkeysEnabled());

    ASSERT_TRUE(config.Save());
    const CIniFile ini(iniPath);
    // Empty lists write no path keys, so their path sections do not appear.
    const std::vector<std::string> expected = {"HotkeyMood", "DIY", "Download", "Config"};
    EXPECT_EQ(ini.SectionNames(), expected);
    for (const char* section : {"HotkeyMood", "DIY", "Download"})
        EXPECT_EQ(ini.GetString(section, "count", "?"), "0") << section;
    EXPECT_EQ(ini.GetString("Config", "Volume", ""), "50");
    EXPECT_EQ(ini.GetString("Config", "EnableHotKey", ""), "0");
    EXPECT_EQ(ReadAll(iniPath).substr(0, 2), std::string("\xFF\xFE", 2));  // still UTF-16

    CIniFile(iniPath).DeleteKey("Config", "Volume");
    EXPECT_EQ(Reloaded()->Volume(), 76);
}

TEST_F(HotkeyConfigTest, ListsRoundTripThroughTheFileWithChineseNamesAndPaths) {
    const std::string localFile = File("本地掌声.mp3");
    const std::string cloudFile = File("云端欢呼.mp3");
    Touch(localFile);
    Touch(cloudFile);
    config.AddFavourite(Entry(0, u"非诚勿扰", "DJ_FCWR", MakeValue(0, vk::kNumpad0 + 1)));
    config.AddFavourite(Entry(1, u"本地掌声", localFile, MakeValue(kModCtrl | kModAlt, 'A')));
    config.AddLocal(Entry(1, u"本地掌声", localFile));
    config.AddDownloaded(Entry(1, u"云端欢呼", cloudFile, 0, 4711));
    config.SetVolume(33);
    config.EnableHotkeys(true);

    const auto loaded = Reloaded();
    EXPECT_TRUE(SameEntries(loaded->Favourites(), config.Favourites()));
    EXPECT_TRUE(SameEntries(loaded->Locals(), config.Locals()));
    EXPECT_TRUE(SameEntries(loaded->Downloaded(), config.Downloaded()));
    EXPECT_EQ(loaded->Favourites()[0].Name(), u"非诚勿扰");
    EXPECT_EQ(loaded->Downloaded()[0].PathUtf8(), cloudFile);
    EXPECT_EQ(loaded->Volume(), 33);
    EXPECT_TRUE(loaded->HotkeysEnabled());

    // The stored head is the little-endian byte image with the sum byte, as on Windows:
    // kind 0, name "非诚勿扰" (U+975E U+8BDA U+52FF U+6270), hotkey 0x61, cloud id 0.
    std::string expected =
        "00000000"
        "5E97DA8BFF527062";
    expected += std::string(24 * 2, '0') + "61000000" + "00000000";
    const int sum = (0x5E + 0x97 + 0xDA + 0x8B + 0xFF + 0x52 + 0x70 + 0x62 + 0x61) % 256;
    char sumText[3];
    std::snprintf(sumText, sizeof sumText, "%02X", sum);
    EXPECT_EQ(CIniFile(iniPath).GetString("HotkeyMood", "0", ""), expected + sumText);
    EXPECT_EQ(CIniFile(iniPath).GetString("HotkeyMoodPath", "0", ""), "DJ_FCWR");
}

TEST_F(HotkeyConfigTest, LoadDropsGoneFilesAndUnreadableValuesUntilTheNextSave) {
    const std::string kept = File("kept.mp3");
    const std::string gone = File("gone.mp3");
    Touch(kept);
    Touch(gone);
    config.AddLocal(Entry(1, u"kept", kept));
    config.AddLocal(Entry(1, u"gone", gone));
    config.AddDownloaded(Entry(1, u"gone", gone, 0, 7));
    config.AddFavourite(Entry(1, u"gone", gone));  // favourites keep missing files
    config.AddFavourite(Entry(0, u"bad", "DJ_BS"));
    config.AddFavourite(Entry(0, u"nopath", "DJ_HH"));
    std::filesystem::remove(gone);
    {
        CIniFile ini(iniPath);
        std::string bad = ini.GetString("HotkeyMood", "1", "");
        bad.back() = bad.back() == '0' ? '1' : '0';  // checksum no longer matches
        ini.WriteString("HotkeyMood", "1", bad);
        ini.DeleteKey("HotkeyMoodPath", "2");
    }

    const auto loaded = Reloaded();
    ASSERT_EQ(loaded->Locals().size(), 1u);
    EXPECT_EQ(loaded->Locals()[0].Name(), u"kept");
    EXPECT_TRUE(loaded->Downloaded().empty());
    ASSERT_EQ(loaded->Favourites().size(), 1u);
    EXPECT_EQ(loaded->Favourites()[0].Name(), u"gone");

    ASSERT_TRUE(loaded->Save());
    const CIniFile ini(iniPath);
    EXPECT_EQ(ini.GetInt("DIY", "count", -1), 1);
    EXPECT_EQ(ini.GetInt("Download", "count", -1), 0);
    EXPECT_EQ(ini.KeyNames("DIYPath"), std::vector<std::string>{"0"});
}

TEST_F(HotkeyConfigTest, ListOperationsReplaceRemoveAndRenameAndAreSavedAtOnce) {
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"}) Touch(File(name));
    config.AddLocal(Entry(1, u"甲", File("a.mp3")));
    config.AddLocal(Entry(1, u"乙", File("b.mp3")));
    config.AddLocal(Entry(1, u"甲", File("c.mp3")));  // same name: replaced, moved to the end
    config.AddDownloaded(Entry(1, u"x", File("a.mp3"), 0, 1));
    config.AddDownloaded(Entry(1, u"y", File("b.mp3"), 0, 2));
    config.AddDownloaded(Entry(1, u"z", File("d.mp3"), 0, 1));  // same cloud id

    const auto loaded = Reloaded();
    ASSERT_EQ(loaded->Locals().size(), 2u);
    EXPECT_EQ(loaded->Locals()[0].Name(), u"乙");
    EXPECT_EQ(loaded->Locals()[1].PathUtf8(), File("c.mp3"));
    ASSERT_EQ(loaded->Downloaded().size(), 2u);
    EXPECT_EQ(loaded->Downloaded()[1].Name(), u"z");
    ASSERT_TRUE(loaded->FindDownloaded(1).has_value());
    EXPECT_EQ(loaded->FindDownloaded(1)->PathUtf8(), File("d.mp3"));
    EXPECT_FALSE(loaded->FindDownloaded(3).has_value());

    config.RenameLocal(0, u"新名字");
    config.RenameLocal(5, u"ignored");
    config.RemoveLocal(1);
    config.RemoveLocal(9);
    ASSERT_EQ(Reloaded()->Locals().size(), 1u);
    EXPECT_EQ(Reloaded()->Locals()[0].Name(), u"新名字");

    // Names are cut to 8 characters.
    EXPECT_EQ(Entry(1, u"一二三四五六七八九十", "p").Name(), u"一二三四五六七八");
}

TEST_F(HotkeyConfigTest, FavouritesMatchByPathOrNameWithoutCaseAndRemoveOnlyExactMatches) {
    config.AddFavourite(Entry(1, u"Clap", "/music/Clap.mp3"));
    config.AddFavourite(Entry(1, u"Clap", "/music/Clap.mp3"));
    config.AddFavourite(Entry(1, u"clap", "/music/clap.mp3"));

    EXPECT_TRUE(config.IsFavourite(Entry(1, u"other", "/MUSIC/CLAP.MP3")));
    EXPECT_TRUE(config.IsFavourite(Entry(1, u"CLAP", "/elsewhere.mp3")));
    EXPECT_FALSE(config.IsFavourite(Entry(1, u"other", "/elsewhere.mp3")));

    EXPECT_FALSE(config.RemoveFavouritesLike(Entry(1, u"CLAP", "/music/Clap.mp3")));
    EXPECT_TRUE(config.RemoveFavouritesLike(Entry(1, u"Clap", "/music/Clap.mp3")));
    ASSERT_EQ(Reloaded()->Favourites().size(), 1u);
    EXPECT_EQ(Reloaded()->Favourites()[0].Name(), u"clap");

    config.SetFavouriteHotkey(0, MakeValue(kModShift, vk::kF1));
    config.SetFavouriteHotkey(3, 1);
    EXPECT_EQ(Reloaded()->Favourites()[0].hotkey, MakeValue(kModShift, vk::kF1));
    EXPECT_EQ(config.GetFavouriteHotkey(0), MakeValue(kModShift, vk::kF1));
    EXPECT_EQ(config.GetFavouriteHotkey(1), 0u);
}

TEST(HotkeyTextTest, NamesModifiersInFixedOrderAndKnownKeys) {
    const std::vector<std::pair<uint32_t, std::u16string>> cases = {
        {0, u"无"},
        {MakeValue(kModCtrl, 'A'), u"Ctrl+A"},
        {MakeValue(kModCtrl | kModShift, vk::kF1), u"Ctrl+Shift+F1"},
        {MakeValue(kModCtrl, vk::kF1), u"Ctrl+F1"},
        {MakeValue(kModCtrl | kModAlt, 'A'), u"Ctrl+Alt+A"},
        {MakeValue(kModAlt | kModShift | kModCtrl, '7'), u"Ctrl+Shift+Alt+7"},
        {MakeValue(kModShift, vk::kNumpad0 + 5), u"Shift+Num 5"},
        {MakeValue(0, vk::kNumpad0 + 1), u"Num 1"},
        {MakeValue(0, vk::kF12), u"F12"},
        {MakeValue(kModAlt, vk::kReturn), u"Alt+Enter"},
        {MakeValue(kModCtrl, vk::kEscape), u"Ctrl+ESC"},
        {MakeValue(0, vk::kSpace), u"Space"},
        {MakeValue(0, vk::kPrior), u"PageUp"},
        {MakeValue(0, vk::kNext), u"PageDown"},
        {MakeValue(0, vk::kEnd), u"End"},
        {MakeValue(0, vk::kHome), u"Home"},
        {MakeValue(0, vk::kLeft), u"Left"},
        {MakeValue(0, vk::kDown), u"Down"},
        {MakeValue(0, vk::kPrint), u"Print"},
        {MakeValue(0, vk::kInsert), u"Insert"},
        {MakeValue(0, vk::kDelete), u"Delete"},
        {MakeValue(0, vk::kMultiply), u"Num *"},
        {MakeValue(0, vk::kAdd), u"Num +"},
        {MakeValue(0, vk::kDecimal), u"Num Del"},
        {MakeValue(kModCtrl, vk::kOem1), u"Ctrl+;"},
        {MakeValue(0, vk::kOem5), u"\\"},
        {MakeValue(0, vk::kOem7), u"'"},
        {MakeValue(kModCtrl, vk::kF1 + 12), u"Ctrl+"},  // F13 has no name in the table
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(HotkeyText(value), text) << std::hex << value;
    EXPECT_EQ(HotkeyKeyDisplayName(vk::kF1 + 12), u"F13");
}

TEST_F(HotkeyConfigTest, HotkeyIsUsedByAFavouriteOrAnEffectButton) {
    const std::string settings = File("QvH31ConfigData.db");
    config.AddFavourite(Entry(0, u"a", "DJ_BS", MakeValue(kModCtrl, 'A')));
    config.AddFavourite(Entry(0, u"b", "DJ_HH"));
    ASSERT_TRUE(config.SetEffectHotkey(MakeValue(kModAlt, vk::kF1), 10003, settings));

    EXPECT_FALSE(config.IsHotkeyUsed(0));  // the favourite without a hotkey holds 0
    EXPECT_TRUE(config.IsHotkeyUsed(MakeValue(kModCtrl, 'A')));
    EXPECT_TRUE(config.IsHotkeyUsed(MakeValue(kModAlt, vk::kF1)));
    EXPECT_FALSE(config.IsHotkeyUsed(MakeValue(kModShift, 'A')));
    EXPECT_EQ(config.GetEffectHotkey(10003), MakeValue(kModAlt, vk::kF1));
    EXPECT_EQ(config.GetEffectHotkey(10004), 0u);
    EXPECT_EQ(CIniFile(settings).GetString("HotKey", "10003", ""), "65648");  // 0x10070
}

class HotkeyRegistrationTest : public HotkeyConfigTest {
  protected:
    void SetUp() override {
        HotkeyConfigTest::SetUp();
        config.SetHotkeyHost(&host);
    }
    RecordingHotkeys host;
    std::string settings = File("QvH31ConfigData.db");
};

using Call = RecordingHotkeys::Call;

TEST_F(HotkeyRegistrationTest, FavouritesFollowListPositionsAndEffectsKeepTheirIds) {
    CIniFile(settings).WriteInt("HotKey", "10001", MakeValue(kModCtrl, vk::kF1));
    CIniFile(settings).WriteInt("HotKey", "10020", MakeValue(kModCtrl | kModShift, 'Z'));
    config.AddFavourite(Entry(0, u"a", "DJ_BS", MakeValue(0, vk::kNumpad0 + 1)));
    config.AddFavourite(Entry(0, u"b", "DJ_HH"));  // no hotkey: not registered
    config.AddFavourite(Entry(0, u"c", "DJ_ZS", MakeValue(kModShift, vk::kNumpad0 + 3)));
    config.LoadEffectHotkeys(settings);  // hotkeys off: only read
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(config.EffectHotkeys().size(), 24u);

    config.RegisterHotkeys();
    const std::vector<Call> registered = {
        {true, 14000, 0, vk::kNumpad0 + 1},
        {true, 14002, kModShift, vk::kNumpad0 + 3},
        {true, 10001, kModCtrl, vk::kF1},
        {true, 10020, kModCtrl | kModShift, 'Z'},
    };
    EXPECT_EQ(host.calls, registered);

    host.calls.clear();
    config.UnregisterHotkeys();
    const std::vector<Call> unregistered = {
        {false, 14000, 0, 0}, {false, 14002, 0, 0}, {false, 10001, 0, 0}, {false, 10020, 0, 0}};
    EXPECT_EQ(host.calls, unregistered);
    EXPECT_TRUE(host.held.empty());
}

TEST_F(HotkeyRegistrationTest, RemovingAFavouriteReregistersTheOthersUnderTheirNewPositions) {
    config.AddFavourite(Entry(0, u"a", "DJ_BS", MakeValue(0, vk::kNumpad0 + 1)));
    config.AddFavourite(Entry(0, u"b", "DJ_HH", MakeValue(0, vk::kNumpad0 + 2)));
    config.AddFavourite(Entry(0, u"c", "DJ_ZS", MakeValue(0, vk::kNumpad0 + 3)));
    config.EnableHotkeys(true);
    ASSERT_EQ(host.held.size(), 3u);

    config.RemoveFavourite(0);
    const std::map<int, uint32_t> expected = {{14000, MakeValue(0, vk::kNumpad0 + 2)},
                                              {14001, MakeValue(0, vk::kNumpad0 + 3)}};
    EXPECT_EQ(host.held, expected);

    config.RemoveFavouritesLike(Entry(0, u"b", "DJ_HH"));
    EXPECT_EQ(host.held, (std::map<int, uint32_t>{{14000, MakeValue(0, vk::kNumpad0 + 3)}}));

    // While hotkeys are off nothing is touched.
    config.EnableHotkeys(false);
    host.calls.clear();
    config.RemoveFavourite(0);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(HotkeyRegistrationTest, SwitchingOffUnregistersEverythingAndPersistsTheSwitch) {
    config.AddFavourite(Entry(0, u"a", "DJ_BS", MakeValue(kModCtrl, 'A')));
    config.LoadEffectHotkeys(settings);
    config.EnableHotkeys(true);
    ASSERT_TRUE(config.SetEffectHotkey(MakeValue(kModAlt, 'Q'), 10012, settings));
    EXPECT_EQ(host.held.size(), 2u);  // set while on: registered at once
    EXPECT_EQ(CIniFile(iniPath).GetInt("Config", "EnableHotKey", -1), 1);

    config.EnableHotkeys(false);
    EXPECT_TRUE(host.held.empty());
    EXPECT_EQ(CIniFile(iniPath).GetInt("Config", "EnableHotKey", -1), 0);
    host.calls.clear();
    config.EnableHotkeys(false);  // already off: no second round
    EXPECT_TRUE(host.calls.empty());

    // A start with the switch on registers the stored effect hotkeys while reading them.
    HotkeyConfig restarted;
    RecordingHotkeys restartedHost;
    restarted.SetHotkeyHost(&restartedHost);
    config.EnableHotkeys(true);
    ASSERT_TRUE(restarted.Init(iniPath));
    restarted.LoadEffectHotkeys(settings);
    EXPECT_EQ(restartedHost.held, (std::map<int, uint32_t>{{10012, MakeValue(kModAlt, 'Q')}}));
}

TEST_F(HotkeyRegistrationTest, ARefusedRegistrationIsTracedAndTheRestGoOn) {
    config.AddFavourite(Entry(0, u"a", "DJ_BS", MakeValue(0, vk::kF1)));
    config.AddFavourite(Entry(0, u"b", "DJ_HH", MakeValue(0, vk::kF1 + 1)));
    config.SetEffectHotkey(MakeValue(0, vk::kF1 + 2), 10005, settings);
    host.refuse = {14000, 10005};
    LogCapture log;
    config.RegisterHotkeys();
    EXPECT_EQ(host.held, (std::map<int, uint32_t>{{14001, MakeValue(0, vk::kF1 + 1)}}));
    const std::vector<std::string> traces = {"RegisterHotKey failed. index=0\n",
                                             "RegisterHotKey failed. index=10005\n"};
    EXPECT_EQ(log.lines, traces);
}

TEST(HotkeyConfigCloudTest, CategoriesAreSharedSafelyWithAWorker) {
    HotkeyConfig config;
    EXPECT_EQ(config.AddCloudCategory(u""), -1);
    ASSERT_EQ(config.AddCloudCategory(u"搞笑"), 0);
    // A worker appends while the UI thread reads sizes and marks downloads (run under TSan).
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i) config.AddCloudItem(0, Entry(2, u"clip", "http://x", 0, i));
    });
    size_t seen = 0;
    while (seen < 200) {
        seen = config.CloudItems(0).size();
        config.SetDownloadState(0, seen / 2, SoundEntry::kDownloaded);
    }
    worker.join();
    EXPECT_FALSE(config.AddCloudItem(1, Entry(2, u"clip", "http://x")));
    EXPECT_EQ(config.CloudCategoryName(0), u"搞笑");
    EXPECT_EQ(config.CloudCategoryCount(), 1u);

    config.SetDownloadState(0, 199, SoundEntry::kIdle);
    EXPECT_TRUE(config.TryBeginDownload(0, 199));
    EXPECT_FALSE(config.TryBeginDownload(0, 199));  // a second click starts nothing
    EXPECT_EQ(config.CloudItem(0, 199)->downloadState, SoundEntry::kDownloading);
    EXPECT_FALSE(config.TryBeginDownload(3, 0));
    config.ClearCloudCategories();
    EXPECT_EQ(config.CloudCategoryCount(), 0u);
}

}  // namespace
