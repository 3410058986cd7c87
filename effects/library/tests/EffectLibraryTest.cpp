#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "EffectLibrary.h"
#include "LibraryText.h"

namespace fs = std::filesystem;
using library_text::U16;
using library_text::U8;

namespace {

std::vector<std::string> Names(const CTreeData& node) {
    std::vector<std::string> out;
    for (const CTreeData* child : node.Children()) out.push_back(U8(child->GetName()));
    return out;
}

class EffectLibraryTest : public ::testing::Test {
  protected:
    EffectLibraryTest() : lib({"/nowhere/EffectList.xml", "", "/nowhere", "/nowhere"}) {
        lib.CreateList(CEffectLibrary::kDefaultList, nullptr, &defaults);
        lib.CreateList(u"Live", nullptr, &live);
        defaults->AddEntryCopy(EffectPrj(u"Hall", u"/fx/Hall.dteff"));
        live->AddEntryCopy(EffectPrj(u"Room", u"/fx/Room.dteff"));
    }
    CEffectLibrary lib;
    CTreeData* defaults = nullptr;
    CTreeData* live = nullptr;
};

TEST_F(EffectLibraryTest, DefaultListCannotBeRemovedOrRenamed) {
    EXPECT_EQ(lib.RemoveList(defaults), ListResult::kProtected);
    EXPECT_EQ(lib.RenameList(defaults, u"Other"), ListResult::kProtected);
    EXPECT_EQ(Names(lib.Root()), (std::vector<std::string>{"默认列表", "Live"}));

    EXPECT_EQ(lib.RemoveList(live), ListResult::kOk);
    EXPECT_EQ(Names(lib.Root()), std::vector<std::string>{"默认列表"});
}

TEST_F(EffectLibraryTest, ListNamesAreUniqueIgnoringCase) {
    CTreeData* made = nullptr;
    EXPECT_EQ(lib.CreateList(u"LIVE", defaults, &made), ListResult::kExists);
    EXPECT_EQ(made, nullptr);
    ASSERT_EQ(lib.CreateList(u"Club", defaults, &made), ListResult::kOk);
    EXPECT_EQ(Names(lib.Root()), (std::vector<std::string>{"默认列表", "Club", "Live"}));
    EXPECT_EQ(made->collapsed, 1);

    EXPECT_EQ(lib.RenameList(live, u"Live"), ListResult::kUnchanged);
    EXPECT_EQ(lib.RenameList(live, u"live"), ListResult::kExists);  // the list itself counts
    EXPECT_EQ(lib.RenameList(live, u"club"), ListResult::kExists);
    EXPECT_EQ(lib.RenameList(live, u"Stage"), ListResult::kOk);
    EXPECT_EQ(U8(live->GetName()), "Stage");
}

TEST(ListNameTest, TypedNamesAreTrimmedAndChecked) {
    const struct {
        const char16_t* typed;
        int max;
        NameCheck expected;
        const char16_t* trimmed;
    } cases[] = {
        {u" \t直播\r\n", 9, NameCheck::kOk, u"直播"},
        {u" \t\r\n", 9, NameCheck::kEmpty, u""},
        {u"123456789", 9, NameCheck::kOk, u"123456789"},
        {u"1234567890", 9, NameCheck::kTooLong, u"1234567890"},
        {u"1234567890", 11, NameCheck::kOk, u"1234567890"},
        {u"a/b", 9, NameCheck::kForbiddenChar, u"a/b"},
        {u"a|b", 9, NameCheck::kForbiddenChar, u"a|b"},
        {u"\"", 9, NameCheck::kForbiddenChar, u"\""},
    };
    for (const auto& c : cases) {
        std::u16string name = c.typed;
        EXPECT_EQ(CheckListName(name, c.max), c.expected) << U8(c.typed);
        EXPECT_EQ(name, c.trimmed);
    }
    for (const char16_t* ch = kForbiddenNameChars; *ch; ++ch) {
        std::u16string name = std::u16string(u"x") + *ch;
        EXPECT_EQ(CheckListName(name, 9), NameCheck::kForbiddenChar) << U8(name);
    }
}

TEST_F(EffectLibraryTest, AddingFilesReportsDuplicatesOfAnyList) {
    std::vector<std::u16string> paths;
    for (int i = 0; i < 12; ++i) {
        const std::u16string path = u"/fx/d" + U16(std::to_string(i)) + u".dteff";
        live->AddEntryCopy(EffectPrj(u"d" + U16(std::to_string(i)), path));
        paths.push_back(path);
    }
    const ImportResult all = lib.AddFiles(defaults, paths);
    EXPECT_TRUE(all.added.empty());
    EXPECT_EQ(all.duplicates.count, 12);
    EXPECT_EQ(U8(all.duplicates.text), "\nd0\nd1\nd2\nd3\nd4\nd5\nd6\nd7\nd8\nd9\n……");
    EXPECT_EQ(defaults->Children().size(), 1u);

    // A file in another list (other letter case) is refused; a new one gets its file name.
    const ImportResult some = lib.AddFiles(defaults, {u"/FX/room.DTEFF", u"/new/我的.效果.dteff"});
    EXPECT_EQ(some.duplicates.count, 1);
    EXPECT_EQ(U8(some.duplicates.text), "\nroom");
    ASSERT_EQ(some.added.size(), 1u);
    EXPECT_EQ(U8(some.added[0]->GetName()), "我的.效果");
    EXPECT_EQ(U8(some.added[0]->GetPath()), "/new/我的.效果.dteff");
    EXPECT_EQ(defaults->collapsed, 0);

    const std::u16string longPath = u"/" + std::u16string(300, u'a') + u".dteff";
    EXPECT_EQ(lib.AddFiles(defaults, {longPath}).refused.size(), 1u);
}

TEST_F(EffectLibraryTest, FolderImportTakesMatchingFilesSortedAndSkipsKnownOnes) {
    const fs::path dir = fs::temp_directory_path() / ("lw52-import-" + std::to_string(getpid()));
    fs::create_directories(dir / "sub.dteff");
    for (const char* f : {"b.dteff", "A.DTEFF", "c.txt", "dteff", "Room.dteff"})
        std::ofstream(dir / f) << "x";
    live->AddEntryCopy(EffectPrj(u"Room2", U16((dir / "room.dteff").string())));

    const ImportResult r = lib.ImportFolder(defaults, U16(dir.string()));
    EXPECT_EQ(Names(*defaults), (std::vector<std::string>{"Hall", "A", "b"}));
    EXPECT_EQ(U8(defaults->Children()[1]->GetPath()), (dir / "A.DTEFF").string());
    EXPECT_EQ(r.added.size(), 2u);
    EXPECT_EQ(r.duplicates.count, 1);
    EXPECT_EQ(U8(r.duplicates.text), "\nRoom");
    EXPECT_EQ(defaults->collapsed, 0);
    fs::remove_all(dir);
}

TEST_F(EffectLibraryTest, MarkingFindsTheFirstLeafIgnoringCase) {
    defaults->AddEntryCopy(EffectPrj(u"Room again", u"/fx/room.dteff"));
    CTreeData* previous = nullptr;
    CTreeData* marked = lib.MarkCurrent(u"/FX/ROOM.dteff", &previous);
    EXPECT_EQ(marked, defaults->Children()[1]);  // the default list comes first
    EXPECT_EQ(previous, nullptr);
    EXPECT_EQ(marked->marked, 1);

    EXPECT_EQ(lib.MarkCurrent(u"", &previous), nullptr);
    EXPECT_EQ(previous, marked);
    EXPECT_EQ(marked->marked, 0);
    EXPECT_EQ(lib.MarkCurrent(u"/fx/unknown.dteff"), nullptr);
}

TEST_F(EffectLibraryTest, DeletingANodeTakesItOutOfItsParent) {
    CTreeData* hall = defaults->Children()[0];
    lib.RemoveEntry(hall);
    EXPECT_TRUE(defaults->Children().empty());

    // AddChild of a present child changes nothing; of another list's child moves it.
    CTreeData* room = live->Children()[0];
    live->AddChild(room);
    EXPECT_EQ(live->Children().size(), 1u);
    defaults->AddChild(room);
    EXPECT_TRUE(live->Children().empty());
    EXPECT_EQ(room->Parent(), defaults);
}

}  // namespace
