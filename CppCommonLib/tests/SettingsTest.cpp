#include <gtest/gtest.h>

#include "IniTestSupport.h"
#include "Settings.h"

TEST(SettingsTest, FirstStartCreatesAFileHoldingOnlyTheByteOrderMark) {
    TempFolder folder;
    const std::string path = folder.File("QvH31ConfigData.db");
    CSettings settings;
    ASSERT_TRUE(settings.Load(path));
    EXPECT_EQ(ReadBytes(path), "\xFF\xFE");
    EXPECT_EQ(settings.Path(), path);
    EXPECT_EQ(settings.GetInt(CSettings::kCloseBtnOperation), 1);
    EXPECT_EQ(settings.GetInt(CSettings::kMainWinTopmost), 0);
    EXPECT_EQ(settings.GetInt(1), 0);  // unused slot
    EXPECT_EQ(settings.GetInt(CSettings::kIntCount), 0);
    EXPECT_EQ(settings.GetInt(-1), 0);
}

TEST(SettingsTest, ReadsStoredValuesWithoutRewritingTheFile) {
    TempFolder folder;
    const std::string path = folder.File("QvH31ConfigData.db");
    const std::string stored = Utf16LeFile(
        u"[HotKey]\r\nk=1\r\n[settings]\r\ncloseBtnOperation=0\r\nMAINWINTOPMOST=1\r\n");
    WriteBytes(path, stored);
    CSettings settings;
    ASSERT_TRUE(settings.Load(path));
    EXPECT_EQ(settings.GetInt(CSettings::kCloseBtnOperation), 0);
    EXPECT_EQ(settings.GetInt(CSettings::kMainWinTopmost), 1);
    EXPECT_EQ(ReadBytes(path), stored);
}

TEST(SettingsTest, SingleKeyWritesStayUtf16AndTakeEffectNextStart) {
    TempFolder folder;
    const std::string path = folder.File("QvH31ConfigData.db");
    CSettings settings;
    ASSERT_TRUE(settings.Load(path));
    ASSERT_TRUE(settings.WriteInt("nCurSelTabIndex", "tabSound", 2));
    ASSERT_TRUE(settings.WriteInt("Settings", "MainWinTopmost", 1));
    ASSERT_TRUE(settings.WriteInt("nCurSelTabIndex", "tabSound", -3));
    EXPECT_EQ(ReadBytes(path), Utf16LeFile(u"[nCurSelTabIndex]\r\ntabSound=-3\r\n"
                                           u"[Settings]\r\nMainWinTopmost=1\r\n"));
    EXPECT_EQ(settings.GetInt(CSettings::kMainWinTopmost), 0);  // read once at start-up

    CSettings next;
    ASSERT_TRUE(next.Load(path));
    EXPECT_EQ(next.GetInt(CSettings::kMainWinTopmost), 1);
}

TEST(SettingsTest, WithoutAUsableFileLoadGivesDefaults) {
    CSettings settings;
    EXPECT_FALSE(settings.Load(""));
    EXPECT_FALSE(settings.WriteInt("Settings", "MainWinTopmost", 1));

    ASSERT_TRUE(settings.Load("/nonexistent-folder/QvH31ConfigData.db"));
    EXPECT_EQ(settings.GetInt(CSettings::kCloseBtnOperation), 1);
    EXPECT_EQ(settings.GetInt(CSettings::kMainWinTopmost), 0);
    EXPECT_FALSE(settings.WriteInt("Settings", "MainWinTopmost", 1));
}
