#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <set>
#include <sstream>

#include "EffectLibrary.h"
#include "LibraryFile.h"
#include "LibraryText.h"

namespace fs = std::filesystem;
using library_text::U16;
using library_text::U8;

namespace {

struct RelocationCase {
    const char* stored;
    std::set<std::string> existing;
    const char* expected;  // nullptr: dropped
};

TEST(LibraryFileTest, LoadedPathsAreKeptRelocatedOrDropped) {
    const std::string exe = "/opt/lw52";
    const std::string user = "/home/u/.local/share/QvLW52";
    const RelocationCase cases[] = {
        // The file is there: kept as it is, whatever its extension.
        {"/music/a.dteff", {"/music/a.dteff"}, "/music/a.dteff"},
        {"/music/a.txt", {"/music/a.txt"}, "/music/a.txt"},
        // Gone from a folder named Effect (any case, either separator): exeDir/Effect/file.
        {"/old/Effect/a.dteff", {"/opt/lw52/Effect/a.dteff"}, "/opt/lw52/Effect/a.dteff"},
        {"C:\\Users\\x\\effect\\a.DTEFF", {"/opt/lw52/Effect/a.DTEFF"}, "/opt/lw52/Effect/a.DTEFF"},
        {"Effect\\a.dteff", {"/opt/lw52/Effect/a.dteff"}, "/opt/lw52/Effect/a.dteff"},
        // Another folder name stays as a subfolder of Effect.
        {"D:\\pack\\live\\b.dteff",
         {"/opt/lw52/Effect/live/b.dteff"},
         "/opt/lw52/Effect/live/b.dteff"},
        // Not beside the program: the user folder, listed even when missing there too.
        {"/old/Effect/a.dteff",
         {"/home/u/.local/share/QvLW52/Effect/a.dteff"},
         "/home/u/.local/share/QvLW52/Effect/a.dteff"},
        {"/old/live/b.dteff", {}, "/home/u/.local/share/QvLW52/Effect/live/b.dteff"},
        {"b.dteff", {}, "/home/u/.local/share/QvLW52/Effect/b.dteff"},
        // Missing files of other kinds, and entries without a path, are dropped.
        {"/old/Effect/a.wav", {"/opt/lw52/Effect/a.wav"}, nullptr},
        {"/old/dteff", {}, nullptr},
        {"", {}, nullptr},
    };
    for (const RelocationCase& c : cases) {
        const auto exists = [&](const std::u16string& p) { return c.existing.count(U8(p)) > 0; };
        const auto got = library_file::ResolveLoadedPath(U16(c.stored), exe, user, exists);
        if (!c.expected) {
            EXPECT_FALSE(got.has_value()) << c.stored;
        } else {
            ASSERT_TRUE(got.has_value()) << c.stored;
            EXPECT_EQ(U8(*got), c.expected) << c.stored;
        }
    }
}

class LibraryFileFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        static int n = 0;
        dir = fs::temp_directory_path() /
              ("lw52-libfile-" + std::to_string(getpid()) + "-" + std::to_string(n++));
        fs::create_directories(dir / "fx");
        for (const char* f : {"一.dteff", "two.dteff"}) std::ofstream(dir / "fx" / f) << "x";
        file = (dir / "EffectList.xml").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    void Write(const std::string& text) const { std::ofstream(file) << text; }
    std::string Read() const {
        std::ifstream in(file);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::string Fx(const char* name) const { return (dir / "fx" / name).string(); }
    CEffectLibrary Library() const { return CEffectLibrary({file, "", "/nowhere", "/nowhere"}); }

    fs::path dir;
    std::string file;
};

TEST_F(LibraryFileFixture, RoundTripKeepsListsChineseNamesAndOtherChildren) {
    Write(
        "<?xml version=\"1.0\"?>\n<AudioRack>\n<Mixer gain=\"3\"><Band f=\"1k\">keep</Band>"
        "</Mixer>\n<Effect><Items Name=\"默认列表\" Collapse=\"0\">"
        "<Item Name=\"第一个\" Path=\"" +
        Fx("一.dteff") + "\"/><Item Name=\"two\" Path=\"" + Fx("two.dteff") +
        "\"/></Items><Items Name=\"空的\"/></Effect>\n<Tail/>"
        // A second library element is never read; left behind it would be read after the save.
        "<Effect><Items Name=\"stale\"/></Effect></AudioRack>");
    CEffectLibrary lib = Library();
    ASSERT_TRUE(lib.Load());
    ASSERT_TRUE(lib.Save());

    CEffectLibrary again = Library();
    ASSERT_TRUE(again.Load());
    const auto& lists = again.Root().Children();
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(U8(lists[0]->GetName()), "默认列表");
    EXPECT_EQ(lists[0]->collapsed, 0);
    ASSERT_EQ(lists[0]->Children().size(), 2u);
    EXPECT_EQ(U8(lists[0]->Children()[0]->GetName()), "第一个");
    EXPECT_EQ(U8(lists[0]->Children()[0]->GetPath()), Fx("一.dteff"));
    EXPECT_EQ(U8(lists[1]->GetName()), "空的");
    EXPECT_EQ(lists[1]->collapsed, 1);  // a missing Collapse reads as collapsed

    const std::string text = Read();
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\"?>", 0), 0u) << text;
    EXPECT_NE(text.find("\n\t\t<Items Name=\"默认列表\" Collapse=\"0\">"), std::string::npos)
        << text;
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(file.c_str()));
    std::ostringstream mixer;
    doc.child("AudioRack").child("Mixer").print(mixer, "", pugi::format_raw);
    EXPECT_EQ(mixer.str(), "<Mixer gain=\"3\"><Band f=\"1k\">keep</Band></Mixer>");
    EXPECT_TRUE(doc.child("AudioRack").child("Tail"));
    EXPECT_EQ(std::distance(doc.child("AudioRack").children("Effect").begin(),
                            doc.child("AudioRack").children("Effect").end()),
              1);
}

TEST_F(LibraryFileFixture, ElementsOtherThanItemAndMissingFilesAreNotListed) {
    Write("<AudioRack><Effect><Whatever Name=\"L\"><item Name=\"lower\" Path=\"" + Fx("一.dteff") +
          "\"/><Other Name=\"x\" Path=\"" + Fx("two.dteff") +
          "\"/><Item Name=\"gone\" Path=\"/gone/a.mp3\"/></Whatever></Effect></AudioRack>");
    CEffectLibrary lib = Library();
    ASSERT_TRUE(lib.Load());
    ASSERT_EQ(lib.Root().Children().size(), 1u);
    const CTreeData* list = lib.Root().Children()[0];
    ASSERT_EQ(list->Children().size(), 1u);
    EXPECT_EQ(U8(list->Children()[0]->GetName()), "lower");
}

TEST_F(LibraryFileFixture, FileWithoutLibraryLoadsEmptyAndTheNextSaveAddsIt) {
    for (const std::string& content :
         {std::string("<Other><Effect/></Other>"), std::string("<AudioRack><X/></AudioRack>"),
          std::string("not xml <"), std::string()}) {
        if (content.empty())
            fs::remove(file);
        else
            Write(content);
        CEffectLibrary lib = Library();
        EXPECT_FALSE(lib.Load()) << content;
        EXPECT_TRUE(lib.Root().Children().empty());
        CTreeData* list = nullptr;
        ASSERT_EQ(lib.CreateList(u"新的", nullptr, &list), ListResult::kOk);
        ASSERT_TRUE(lib.Save());

        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_file(file.c_str())) << content;
        const pugi::xml_node items = doc.child("AudioRack").child("Effect").child("Items");
        EXPECT_STREQ(items.attribute("Name").value(), "新的") << content;
        EXPECT_STREQ(items.attribute("Collapse").value(), "1");
    }
}

TEST_F(LibraryFileFixture, ShippedLibraryListsTheProgramsEffects) {
    const fs::path exe = dir / "bin";
    fs::create_directories(exe / "Effect");
    const fs::path shipped = fs::path(LW52_SOURCE_DIR) / "resources/effects";
    for (const auto& e : fs::directory_iterator(shipped))
        if (e.path().extension() == ".dteff")
            fs::copy_file(e.path(), exe / "Effect" / e.path().filename());
    CEffectLibrary lib({(shipped / "EffectList.xml").string(), file, exe.string(), "/nowhere"});
    ASSERT_TRUE(lib.Load());
    const CTreeData* list = lib.FindList(CEffectLibrary::kDefaultList);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Children().size(), 3u);
    for (const CTreeData* leaf : list->Children())
        EXPECT_TRUE(library_text::FileExists(leaf->GetPath())) << U8(leaf->GetPath());
}

}  // namespace
