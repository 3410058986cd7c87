#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "BuiltInClips.h"
#include "ChildProcess.h"
#include "HotkeyConfig.h"
#include "HotkeyText.h"
#include "IGlobalHotkeys.h"
#include "IniFile.h"
#include "IniValue.h"
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

// What happens to the files of one folder, seen through inotify: how often each name was
// opened and how often a file was renamed onto it (a replacement).
class FolderWatch {
  public:
    explicit FolderWatch(const std::string& folder) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        EXPECT_GE(fd_, 0);
        EXPECT_GE(inotify_add_watch(fd_, folder.c_str(), IN_OPEN | IN_MOVED_TO), 0);
    }
    ~FolderWatch() { close(fd_); }

    // The events since the last call; the kernel queues them before the call that caused them
    // returns, so nothing is pending for work already done.
    void Take() {
        opens.clear();
        replacements.clear();
        alignas(inotify_event) char buffer[65536];
        for (;;) {
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0) break;
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                const std::string name = event->len ? event->name : "";
                if (event->mask & IN_OPEN) ++opens[name];
                if (event->mask & IN_MOVED_TO) ++replacements[name];
                if (event->mask & IN_Q_OVERFLOW) ADD_FAILURE() << "inotify queue overflowed";
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    std::map<std::string, int> opens;
    std::map<std::string, int> replacements;

  private:
    int fd_;
};

std::string Utf16Bytes(std::string_view utf8) {
    std::string bytes;
    for (char16_t unit : text::Utf8ToUtf16(utf8)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The configuration written key by key through the INI functions, in the order the file has
// always been written in: the reference for the file's bytes.
void SaveKeyByKey(const std::string& path, const HotkeyConfig& config) {
    CIniFile ini(path);
    const auto list = [&](const char* section, const char* pathSection,
                          const std::vector<SoundEntry>& entries) {
        ini.DeleteSection(section);
        ini.DeleteSection(pathSection);
        ini.WriteInt(section, "count", static_cast<long>(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i) {
            const std::string key = std::to_string(i);
            ini.WriteStruct(section, key, &entries[i], kSoundEntryStoredBytes);
            ini.WriteString(pathSection, key, entries[i].PathUtf8());
        }
    };
    list("HotkeyMood", "HotkeyMoodPath", config.Favourites());
    list("DIY", "DIYPath", config.Locals());
    list("Download", "DownloadPath", config.Downloaded());
    ini.WriteInt("Config", "Volume", config.Volume());
    ini.WriteInt("Config", "EnableHotKey", config.HotkeysEnabled() ? 1 : 0);
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

TEST_F(HotkeyConfigTest, EverySaveReplacesTheFileOnceAndALoadReadsItOnce) {
    const std::string name = "QvH31Moodcfg.ini";
    FolderWatch watch(dir.Path());
    EXPECT_TRUE(config.Save());  // the fresh file gets its sections
    watch.Take();
    EXPECT_EQ(watch.replacements[name], 1);

    for (const char* file : {"a.mp3", "b.mp3", "c.mp3"}) Touch(File(file));
    for (int i = 0; i < 6; ++i)
        config.AddFavourite(Entry(0, u"收藏" + text::Utf8ToUtf16(std::to_string(i)), "DJ_BS"));
    config.AddLocal(Entry(1, u"甲", File("a.mp3")));
    config.AddDownloaded(Entry(1, u"云", File("b.mp3"), 0, 9));
    const std::vector<std::pair<const char*, std::function<void()>>> operations = {
        {"AddFavourite", [&] { config.AddFavourite(Entry(0, u"新", "DJ_HH")); }},
        {"RemoveFavourite", [&] { config.RemoveFavourite(1); }},
        {"RemoveFavouritesLike", [&] { config.RemoveFavouritesLike(Entry(0, u"新", "DJ_HH")); }},
        {"SetFavouriteHotkey", [&] { config.SetFavouriteHotkey(2, MakeValue(kModCtrl, 'Q')); }},
        {"AddLocal", [&] { config.AddLocal(Entry(1, u"乙", File("c.mp3"))); }},
        {"RenameLocal", [&] { config.RenameLocal(0, u"丙"); }},
        {"RemoveLocal", [&] { config.RemoveLocal(0); }},
        {"AddDownloaded", [&] { config.AddDownloaded(Entry(1, u"云2", File("c.mp3"), 0, 10)); }},
    };
    for (const auto& [what, run] : operations) {
        watch.Take();
        run();
        watch.Take();
        EXPECT_EQ(watch.replacements[name], 1) << what;
        EXPECT_EQ(watch.opens[name], 1) << what;  // the read before the rewrite
    }

    // Saving what the file already holds leaves it alone.
    watch.Take();
    EXPECT_TRUE(config.Save());
    watch.Take();
    EXPECT_EQ(watch.replacements[name], 0);

    // A start reads the file once, however many entries it holds; the effect hotkeys are
    // read from the settings file once too.
    const std::string settings = File("QvH31ConfigData.db");
    CIniFile(settings).WriteInt("HotKey", "10002", MakeValue(kModCtrl, vk::kF1));
    watch.Take();
    HotkeyConfig restarted;
    ASSERT_TRUE(restarted.Init(iniPath));
    restarted.LoadEffectHotkeys(settings);
    watch.Take();
    EXPECT_EQ(watch.opens[name], 1);
    EXPECT_EQ(watch.opens["QvH31ConfigData.db"], 1);
    EXPECT_TRUE(watch.replacements.empty());
    EXPECT_EQ(restarted.Favourites().size(), config.Favourites().size());
    EXPECT_EQ(restarted.Locals().size(), 1u);
    EXPECT_EQ(restarted.Downloaded().size(), 2u);
    EXPECT_EQ(restarted.GetEffectHotkey(10002), MakeValue(kModCtrl, vk::kF1));
}

TEST_F(HotkeyConfigTest, FirstStartSeedsTheBuiltInClipsWithOneSave) {
    FolderWatch watch(dir.Path());
    ASSERT_TRUE(config.SeedDefaultFavourites());
    watch.Take();
    EXPECT_EQ(watch.replacements["QvH31Moodcfg.ini"], 1);

    const auto loaded = Reloaded();
    EXPECT_TRUE(SameEntries(loaded->Favourites(), config.Favourites()));
    ASSERT_EQ(loaded->Favourites().size(), kBuiltInClips.size());
    for (size_t i = 0; i < kBuiltInClips.size(); ++i) {
        const SoundEntry& e = loaded->Favourites()[i];
        EXPECT_EQ(e.kind, SoundEntry::kBuiltIn) << i;
        EXPECT_EQ(e.Name(), kBuiltInClips[i].text) << i;
        EXPECT_EQ(e.PathUtf8(), kBuiltInClips[i].resource) << i;
        EXPECT_EQ(HotkeyText(e.hotkey), i < 8 ? u"Num " + text::Utf8ToUtf16(std::to_string(i + 1))
                                              : std::u16string(u"无"))
            << i;
    }

    // Favourites exist from then on: no second seeding, no write.
    EXPECT_FALSE(config.SeedDefaultFavourites());
    config.RemoveFavourite(0);
    watch.Take();
    EXPECT_FALSE(config.SeedDefaultFavourites());
    watch.Take();
    EXPECT_TRUE(watch.replacements.empty());
    EXPECT_EQ(config.Favourites().size(), kBuiltInClips.size() - 1);
}

// Whatever the file held before, a save leaves exactly the bytes that writing it key by key
// through the INI functions leaves: other sections and comments where they were, the lists at
// the end, the same encoding and line ends.
TEST(HotkeyConfigFileFormatTest, ASaveLeavesTheBytesOfAKeyByKeySave) {
    TempDir dir;
    const std::string clip = dir.Path() + "/掌声 \"x\".mp3";
    const std::string brokenName = dir.Path() + "/line\nbreak.mp3";
    Touch(clip);
    Touch(brokenName);
    SoundEntry favourite = Entry(0, u"非诚勿扰", "DJ_FCWR", MakeValue(0, vk::kNumpad0 + 1));
    SoundEntry local = Entry(1, u"本地", clip, 0, 0);
    const std::string fav = ini::FormatStruct(&favourite, kSoundEntryStoredBytes);
    const std::string loc = ini::FormatStruct(&local, kSoundEntryStoredBytes);
    // Lists in odd places and spellings, foreign sections, comments, blank lines.
    const std::string messy =
        "; hand-edited\r\n[Config]\r\nVolume=33\r\n\r\n[hotkeymood]\r\n"
        "count=1\r\n0=" +
        fav +
        "\r\n[ HotkeyMoodPath ]\r\n0=DJ_FCWR\r\n"
        "[Other]\r\nx = 1\r\n\r\n[DIY]\r\ncount=1\r\n0=" +
        loc + "\r\n[DIYPath]\r\n0=" + clip +
        "\r\n[DIY]\r\nstale=1\r\n"
        "[Tail]\r\ny=2";  // no line break at the end
    const std::string lfOnly =
        "[Other]\nx=1\n[HotkeyMood]\ncount=1\n0=" + fav + "\n[HotkeyMoodPath]\n0=DJ_FCWR\n\n\n";
    struct Case {
        const char* what;
        std::string bytes;
        bool addBrokenPath;
    };
    const std::string bom = "\xFF\xFE";
    const Case cases[] = {
        {"fresh file", bom, false},
        {"UTF-16", bom + Utf16Bytes(messy), false},
        {"UTF-16 with an odd last byte", bom + Utf16Bytes(messy) + "\x41", false},
        {"UTF-16 with LF line ends", bom + Utf16Bytes(lfOnly), false},
        {"8-bit", messy, false},
        {"UTF-8 with a mark", "\xEF\xBB\xBF" + lfOnly, false},
        {"a path with a line break", bom + Utf16Bytes(messy), true},
    };
    for (const Case& c : cases) {
        const std::string saved = dir.Path() + "/saved.ini";
        const std::string reference = dir.Path() + "/reference.ini";
        WriteBytes(saved, c.bytes);
        WriteBytes(reference, c.bytes);
        HotkeyConfig config;
        ASSERT_TRUE(config.Init(saved)) << c.what;
        if (c.addBrokenPath) {
            EXPECT_TRUE(config.AddLocal(Entry(1, u"断行", brokenName)));  // saves, leaving it out
        } else {
            config.AddFavourite(Entry(1, u"引号", clip, MakeValue(kModAlt, 'Z'), 5));
        }
        SaveKeyByKey(reference, config);
        EXPECT_EQ(ReadAll(saved), ReadAll(reference)) << c.what;
    }
}

TEST_F(HotkeyConfigTest, AFileWhosePathAnEntryCannotHoldIsRefusedNotCut) {
    // Paths measured in UTF-16 units, as the entry stores them: 259 fit, 260 do not.
    const std::string base = dir.Path() + "/";
    const size_t baseUnits = text::Utf8ToUtf16(base).size();
    const auto pathOfUnits = [&](size_t units, const std::string& unit) {
        std::string path = base;
        for (size_t i = baseUnits; i + 4 < units; ++i) path += unit;
        return path + ".mp3";
    };
    // Folders keep each name under the 255-byte limit for the Chinese case.
    std::string chinese = base;
    size_t chineseUnits = baseUnits;
    for (int folder = 0; folder < 3; ++folder) {
        for (int i = 0; i < 70; ++i) chinese += "声";
        chinese += "/";
        chineseUnits += 71;
        std::filesystem::create_directory(chinese);
    }
    chinese += std::string(SoundEntry::kPathMaxUnits - chineseUnits - 4, 'c') + ".mp3";
    ASSERT_EQ(text::Utf8ToUtf16(chinese).size(), SoundEntry::kPathMaxUnits);

    struct Case {
        std::string path;
        bool fits;
    };
    const Case cases[] = {
        {pathOfUnits(SoundEntry::kPathMaxUnits, "a"), true},
        {pathOfUnits(SoundEntry::kPathMaxUnits + 1, "a"), false},
        {chinese, true},  // 259 units in far more bytes
        {chinese.substr(0, chinese.size() - 4) + "c.mp3", false},
    };
    int cloudId = 100;
    for (const Case& c : cases) {
        Touch(c.path);
        const size_t locals = config.Locals().size();
        const size_t downloaded = config.Downloaded().size();
        std::string reason;
        EXPECT_EQ(config.AddLocalFile(u"长路径", c.path, &reason), c.fits) << c.path.size();
        EXPECT_EQ(reason, c.fits ? "" : HotkeyConfig::kPathTooLongReason);
        reason.clear();
        EXPECT_EQ(config.AddDownloadedFile(u"长路径", ++cloudId, c.path, &reason), c.fits);
        EXPECT_EQ(reason, c.fits ? "" : HotkeyConfig::kPathTooLongReason);
        EXPECT_EQ(config.Locals().size(), c.fits ? 1u : locals);
        EXPECT_EQ(config.Downloaded().size(), downloaded + (c.fits ? 1 : 0));
        if (c.fits) {
            EXPECT_EQ(config.Locals().back().PathUtf8(), c.path);
            EXPECT_EQ(config.Downloaded().back().cloudId, cloudId);
            EXPECT_EQ(config.Downloaded().back().kind, SoundEntry::kFile);
        }
    }
    // What was taken plays and is still there at the next start.
    const auto loaded = Reloaded();
    ASSERT_EQ(loaded->Locals().size(), 1u);
    EXPECT_EQ(loaded->Locals()[0].PathUtf8(), chinese);
    EXPECT_EQ(loaded->Downloaded().size(), 2u);

    // An entry never holds a cut path, and an entry without a path is not added.
    SoundEntry tooLong;
    EXPECT_FALSE(tooLong.SetPathUtf8(cases[1].path));
    EXPECT_EQ(tooLong.Path(), u"");
    std::string reason;
    EXPECT_FALSE(config.AddLocal(tooLong, &reason));
    EXPECT_EQ(reason, HotkeyConfig::kNoPathReason);
    EXPECT_FALSE(config.AddDownloaded(tooLong));
    EXPECT_EQ(Reloaded()->Locals().size(), 1u);
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
