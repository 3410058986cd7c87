#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "IniDocument.h"
#include "IniFile.h"
#include "IniTestSupport.h"
#include "TextUtil.h"

namespace {

std::string Utf16File(std::string_view utf8) {
    return Utf16LeFile(text::Utf8ToUtf16(utf8));
}

ino_t InodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Loads look every key up in memory; they must find what the INI functions find.
TEST(IniDocumentTest, LooksUpKeysAsTheIniFunctionsDo) {
    TempFolder dir;
    const std::string text =
        "orphan=1\r\n; comment=2\r\n[ Lists ]\r\n  Count = 3 \r\n0=\"quoted\"\r\n"
        "1='单引号'\r\n2=\"half\r\ncount=shadowed\r\n[a=b\r\nafter=bracket\r\n=novalue\r\n"
        "[lists]\r\nlate=no\r\n[Paths]\n0 = /音乐/掌声.mp3\n\n1=\n[Empty]\r\n[Tail]\r\nlast=end";
    const std::pair<const char*, const char*> lookups[] = {
        {"Lists", "count"}, {"LISTS", "0"},       {"lists", "1"},      {"Lists", "2"},
        {"Lists", "after"}, {"Lists", "late"},    {"Lists", "orphan"}, {"Paths", "0"},
        {"Paths", "1"},     {" Paths ", " 0 "},   {"Tail", "last"},    {"Empty", "x"},
        {"Missing", "0"},   {"Lists", "comment"}, {"a=b", "after"},
    };
    for (const std::string& bytes : {Utf16File(text), text}) {
        const std::string path = dir.File("lookup.ini");
        WriteBytes(path, bytes);
        CIniDocument file;
        ASSERT_TRUE(file.Read(path));
        const CIniFile ini(path);
        for (const auto& [section, key] : lookups) {
            const std::string expected = ini.GetString(section, key, "<none>");
            EXPECT_EQ(file.Get(section, key).value_or("<none>"), expected) << section << "/" << key;
        }
        EXPECT_EQ(file.GetInt("Lists", "count", -1), 3);
        EXPECT_EQ(file.Get("Paths", "0"), "/音乐/掌声.mp3");
    }
}

// A run of edits in memory, written once, leaves the bytes the same edits leave one by one
// through CIniFile, and the lookups see each edit at once.
TEST(IniDocumentTest, EditsLeaveTheBytesOfTheSameEditsThroughIniFile) {
    TempFolder dir;
    const std::string text =
        "; kept\r\n[A]\r\nx = 1\r\n\r\n[B]\ny=2\n[a]\r\nz=3\r\n[Tail]\r\nlast=end";
    struct Edit {
        const char* what;
        std::function<bool(CIniDocument&)> document;
        std::function<bool(CIniFile&)> file;
    };
    const Edit edits[] = {
        {"change a key", [](auto& d) { return d.SetValue("a", "X", "10"); },
         [](auto& f) { return f.WriteString("a", "X", "10"); }},
        {"add a key", [](auto& d) { return d.SetValue("B", "new", "\"q\""); },
         [](auto& f) { return f.WriteString("B", "new", "\"q\""); }},
        {"add a section", [](auto& d) { return d.SetValue("C", "k", "中文"); },
         [](auto& f) { return f.WriteString("C", "k", "中文"); }},
        {"refuse a key", [](auto& d) { return !d.SetValue("C", "k=v", "1"); },
         [](auto& f) { return !f.WriteString("C", "k=v", "1"); }},
        {"refuse a value", [](auto& d) { return !d.SetValue("C", "k", "1\n2"); },
         [](auto& f) { return !f.WriteString("C", "k", "1\n2"); }},
        {"delete a key",
         [](auto& d) {
             d.DeleteKey("B", "y");
             return true;
         },
         [](auto& f) { return f.DeleteKey("B", "y"); }},
        {"delete a missing key",
         [](auto& d) {
             d.DeleteKey("B", "none");
             return true;
         },
         [](auto& f) { return f.DeleteKey("B", "none"); }},
        {"append to an existing section",
         [](auto& d) {
             return d.AppendSection("tail", {{"p", "1"}, {"last", "again"}});
         },
         [](auto& f) {
             return f.WriteString("tail", "p", "1") && f.WriteString("tail", "last", "again");
         }},
        {"append a section, leaving out what cannot be read back",
         [](auto& d) {
             return !d.AppendSection("New", {{"0", "a"}, {"1", "b\r\nc"}, {";2", "d"}, {"3", ""}});
         },
         [](auto& f) { return f.WriteString("New", "0", "a") && f.WriteString("New", "3", ""); }},
        {"append nothing", [](auto& d) { return d.AppendSection("Nothing", {}); },
         [](auto&) { return true; }},
        {"delete every copy of a section",
         [](auto& d) {
             d.DeleteSection("A");
             return true;
         },
         [](auto& f) { return f.DeleteSection("A"); }},
    };
    // Keys that come and go.
    const std::pair<const char*, const char*> probes[] = {{"A", "x"}, {"B", "y"},   {"B", "new"},
                                                          {"C", "k"}, {"New", "1"}, {"Tail", "p"}};
    for (const std::string& bytes : {text, Utf16File(text), "\xEF\xBB\xBF" + text, std::string()}) {
        const std::string path = dir.File("doc.ini");
        const std::string reference = dir.File("reference.ini");
        WriteBytes(path, bytes);
        WriteBytes(reference, bytes);
        CIniDocument document;
        ASSERT_TRUE(document.Read(path));
        CIniFile file(reference);
        for (const Edit& edit : edits) {
            EXPECT_TRUE(edit.document(document)) << edit.what;
            EXPECT_TRUE(edit.file(file)) << edit.what;
            for (const auto& section : file.SectionNames())
                for (const auto& key : file.KeyNames(section))
                    EXPECT_EQ(document.Get(section, key), file.GetString(section, key, "?"))
                        << edit.what << ": " << section << "/" << key;
            for (const auto& [section, key] : probes)
                EXPECT_EQ(document.Get(section, key).value_or("<none>"),
                          file.GetString(section, key, "<none>"))
                    << edit.what << ": " << section << "/" << key;
            EXPECT_EQ(document.SectionNames(), file.SectionNames()) << edit.what;
        }
        EXPECT_EQ(ReadBytes(path), bytes);  // nothing written before Write
        ASSERT_TRUE(document.Write());
        EXPECT_EQ(ReadBytes(path), ReadBytes(reference));
    }
}

TEST(IniDocumentTest, WritesOnlyWhenTheBytesChanged) {
    TempFolder dir;
    const std::string path = dir.File("same.ini");
    const std::string bytes = Utf16LeFile("[S]\r\na=1\r\nb=2\r\n") + "\x41";  // odd last byte
    WriteBytes(path, bytes);
    const ino_t before = InodeOf(path);
    CIniDocument document;
    ASSERT_TRUE(document.Read(path));
    // Taken apart and put back as it was: no replacement of the file.
    document.DeleteSection("S");
    EXPECT_TRUE(document.AppendSection("S", {{"a", "1"}, {"b", "2"}}));
    EXPECT_TRUE(document.SetValue("s", "A", "1"));
    ASSERT_TRUE(document.Write());
    EXPECT_EQ(InodeOf(path), before);
    EXPECT_EQ(ReadBytes(path), bytes);

    // A change replaces it; a second Write of the same text does not.
    EXPECT_TRUE(document.SetValue("S", "a", "3"));
    ASSERT_TRUE(document.Write());
    const ino_t replaced = InodeOf(path);
    EXPECT_NE(replaced, before);
    EXPECT_EQ(ReadBytes(path), Utf16LeFile("[S]\r\na=3\r\nb=2\r\n") + "\x41");
    ASSERT_TRUE(document.Write());
    EXPECT_EQ(InodeOf(path), replaced);

    // A missing file reads as empty text and is created by the first change.
    CIniDocument fresh;
    const std::string missing = dir.File("missing.ini");
    ASSERT_TRUE(fresh.Read(missing));
    EXPECT_EQ(fresh.Get("S", "a"), std::nullopt);
    ASSERT_TRUE(fresh.Write());
    EXPECT_EQ(InodeOf(missing), 0u);
    fresh.SetValue("S", "a", "1");
    ASSERT_TRUE(fresh.Write());
    EXPECT_EQ(ReadBytes(missing), "[S]\r\na=1\r\n");
}

TEST(IniDocumentTest, AFileThatCannotBeReadReadsAsEmptyWithTheReason) {
    TempFolder dir;
    const std::string folder = dir.File("folder.ini");
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    CIniDocument document;
    std::string reason;
    EXPECT_FALSE(document.Read(folder, &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(document.SectionNames().empty());
    EXPECT_EQ(document.Find("S", "a"), std::nullopt);
}

}  // namespace
