#include <gtest/gtest.h>

#include <filesystem>

#include "BuiltInClips.h"
#include "HotkeyConfig.h"
#include "SoundPads.h"

namespace {

using pads::PadList;

TEST(SoundPadsTest, IdsNameTheirListAndIndex) {
    const struct {
        int id;
        PadList list;
        size_t category, index;
    } cases[] = {
        {14000, PadList::Favourites, 0, 0},   {14999, PadList::Favourites, 0, 999},
        {15000, PadList::BuiltIn, 0, 0},      {15017, PadList::BuiltIn, 0, 17},
        {15018, PadList::Local, 0, 0},        {15999, PadList::Local, 0, 981},
        {16000, PadList::None, 0, 0},         {16999, PadList::None, 0, 0},
        {17000, PadList::Downloaded, 0, 0},   {18000, PadList::Cloud, 0, 0},
        {18005, PadList::Cloud, 0, 5},        {24000, PadList::Cloud, 6, 0},
        {28000, PadList::Cloud, 10, 0},       {28001, PadList::None, 0, 0},
        {pads::kAddPad, PadList::None, 0, 0}, {13999, PadList::None, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const pads::PadRef ref = pads::Classify(c.id);
        EXPECT_EQ(ref.list, c.list);
        if (c.list == PadList::None) continue;
        EXPECT_EQ(ref.index, c.index);
        EXPECT_EQ(ref.category, c.category);
    }
    EXPECT_EQ(pads::CloudPadId(6, 0), 24000);
}

TEST(SoundPadsTest, GridRowsCountTheAddPadOnTheLocalTabOnly) {
    EXPECT_EQ(pads::GridRows(4, false), 1);
    EXPECT_EQ(pads::GridRows(5, false), 2);
    EXPECT_EQ(pads::GridRows(0, false), 0);
    EXPECT_EQ(pads::GridRows(18, true), 5);  // 18 built-ins and "+"
    EXPECT_EQ(pads::GridRows(19, true), 5);
    EXPECT_EQ(pads::GridRows(20, true), 6);
    EXPECT_FALSE(pads::HasAddPad(0));
    EXPECT_TRUE(pads::HasAddPad(998));
    EXPECT_FALSE(pads::HasAddPad(999));
    EXPECT_EQ(pads::PadTooltip(u"六个字的名字"), u"");
    EXPECT_EQ(pads::PadTooltip(u"七个字的名字啊"), u"七个字的名字啊");
}

TEST(SoundPadsTest, MenuItemsFollowThePadKind) {
    using namespace pads;
    const struct {
        int id;
        uint32_t hotkey;
        std::vector<int> items;
        bool noMenu;
    } cases[] = {
        {14000, 0x61, {kCmdRemoveFavourite, kCmdDeleteHotkey, kCmdEditHotkey}, false},
        {14003, 0, {kCmdRemoveFavourite, kCmdSetHotkey}, false},
        {14999, 0, {}, true},
        {15000, 0, {kCmdAddFavourite}, false},
        {15017, 0, {kCmdAddFavourite}, false},
        {15018, 0, {kCmdAddFavourite, kCmdDeleteLocal, kCmdRename}, false},
        {15999, 0, {}, true},
        {16500, 0, {}, true},
        {17000, 0, {kCmdAddFavourite}, false},
        {17999, 0, {}, true},
        {27999, 0, {kCmdAddFavourite}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        bool noMenu = false;
        EXPECT_EQ(MenuItemsAfterLoad(c.id, c.hotkey, noMenu), c.items);
        EXPECT_EQ(noMenu, c.noMenu);
    }
    EXPECT_TRUE(InMenuRange(14000));
    EXPECT_TRUE(InMenuRange(27999));
    EXPECT_FALSE(InMenuRange(28000));
    EXPECT_FALSE(InMenuRange(kAddPad));
}

TEST(SoundPadsTest, EntriesComeFromTheirListsAndOutOfRangeIsReported) {
    const auto dir =
        std::filesystem::temp_directory_path() /
        ("lw52-pads-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    const std::string clip = (dir / "clip.mp3").string();
    {
        FILE* f = std::fopen(clip.c_str(), "wb");
        std::fclose(f);
    }
    HotkeyConfig config;
    ASSERT_TRUE(config.Init((dir / "cfg.ini").string()));
    ASSERT_TRUE(config.AddLocalFile(u"mine", clip));
    config.SeedDefaultFavourites();

    SoundEntry entry;
    EXPECT_EQ(pads::FindEntry(config, 15003, entry), pads::Lookup::kFound);
    EXPECT_EQ(entry.kind, SoundEntry::kBuiltIn);
    EXPECT_EQ(entry.Name(), u"掌声");
    EXPECT_EQ(entry.PathUtf8(), "DJ_ZS");
    EXPECT_EQ(pads::FindEntry(config, 15018, entry), pads::Lookup::kFound);
    EXPECT_EQ(entry.PathUtf8(), clip);
    EXPECT_EQ(pads::FindEntry(config, 15019, entry), pads::Lookup::kOutOfRange);
    EXPECT_EQ(pads::FindEntry(config, 14017, entry), pads::Lookup::kFound);
    EXPECT_EQ(pads::FindEntry(config, 14018, entry), pads::Lookup::kOutOfRange);
    EXPECT_EQ(pads::FindEntry(config, 17000, entry), pads::Lookup::kOutOfRange);
    EXPECT_EQ(pads::FindEntry(config, 16000, entry), pads::Lookup::kNoList);
    EXPECT_EQ(pads::LocalTabEntries(config).size(), kBuiltInClips.size() + 1);
    EXPECT_EQ(pads::FavouriteKeyText(config.Favourites()[0].hotkey), u"Num 1");
    EXPECT_EQ(pads::FavouriteKeyText(0), u"");
    std::filesystem::remove_all(dir);
}

}  // namespace
