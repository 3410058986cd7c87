#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "IniFile.h"
#include "IniTestSupport.h"

namespace {
// Every layout case runs on an 8-bit file and on the same text as a UTF-16LE file.
enum class Encoding { k8Bit, kUtf16 };

std::string AsFile(Encoding encoding, std::string_view ascii) {
    return encoding == Encoding::kUtf16 ? Utf16LeFile(ascii) : std::string(ascii);
}

const char* NameOf(Encoding encoding) {
    return encoding == Encoding::kUtf16 ? "UTF-16" : "8-bit";
}

constexpr Encoding kEncodings[] = {Encoding::k8Bit, Encoding::kUtf16};

// Hand-edited content: comments, odd spacing, quotes, duplicates, LF and CRLF line ends.
constexpr std::string_view kHandEdited =
    "; written by hand\r\n"
    "top=before any section\r\n"
    "[Settings]\r\n"
    "  CloseBtnOperation =  0  \r\n"
    "Quoted=\"  padded  \"\r\n"
    "Single='x'\r\n"
    "Half=\"open\r\n"
    ";Hidden=1\r\n"
    "NoEquals\r\n"
    "Empty=\r\n"
    "dup=first\r\n"
    "DUP=second\r\n"
    "\r\n"
    "[ Spaced ]\n"
    "a=b=c\n"
    "[settings]\n"
    "Extra=in the second section\n";

std::string Replaced(std::string_view text, std::string_view from, std::string_view to) {
    std::string out(text);
    const size_t at = out.find(from);
    if (at != std::string::npos) out.replace(at, from.size(), to);
    return out;
}

// Runs body in a child process and returns its exit code, so limits and a changed user stay
// out of the test program.
int RunInChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool DropRootPrivileges() {
    if (::geteuid() != 0) return true;
    const uid_t nobody = 65534;
    return ::setgroups(0, nullptr) == 0 && ::setresgid(nobody, nobody, nobody) == 0 &&
           ::setresuid(nobody, nobody, nobody) == 0;
}

size_t EntriesIn(const std::filesystem::path& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}
}  // namespace

TEST(IniFileTest, WritesLayOutFilesLikeWindows) {
    struct Write {
        const char* section;
        const char* key;
        const char* value;
    };
    struct Case {
        const char* name;
        std::optional<std::string_view> before;  // nullopt: no file
        std::vector<Write> writes;
        std::string_view after;
    } cases[] = {
        {"new file, keys and sections appended, value replaced",
         std::nullopt,
         {{"App", "key", "string"},
          {"App", "key2", "two"},
          {"App2", "k", "v"},
          {"app", "KEY", "new"}},
         "[App]\r\nkey=new\r\nkey2=two\r\n[App2]\r\nk=v\r\n"},
        {"empty file", "", {{"A", "k", ""}}, "[A]\r\nk=\r\n"},
        {"new key goes after the last non-blank line of its section",
         "[A]\r\na=1\r\n; about b\r\n\r\n[B]\r\nb=2\r\n",
         {{"A", "c", "3"}},
         "[A]\r\na=1\r\n; about b\r\nc=3\r\n\r\n[B]\r\nb=2\r\n"},
        {"new key after a last line without a line break",
         "[A]\r\na=1",
         {{"A", "b", "2"}},
         "[A]\r\na=1\r\nb=2\r\n"},
        {"new section after a last line without a line break",
         "[A]\r\na=1",
         {{"B", "x", "1"}},
         "[A]\r\na=1\r\n[B]\r\nx=1\r\n"},
        {"LF lines are kept, new lines get CRLF",
         "[A]\na=1\n\n",
         {{"A", "b", "2"}},
         "[A]\na=1\nb=2\r\n\n"},
        {"replacing keeps the key's spelling and everything before '='",
         "[Sec]\r\n  MyKey = old  \r\nz=1\n",
         {{"sec", "mykey", "new"}},
         "[Sec]\r\n  MyKey =new\r\nz=1\n"},
        {"keys above the first section belong to no section",
         "k=top\r\n",
         {{"A", "k", "v"}},
         "k=top\r\n[A]\r\nk=v\r\n"},
        {"the first of two same-named sections is written",
         "[A]\r\nx=1\r\n[B]\r\n[a]\r\ny=2\r\n",
         {{"A", "y", "3"}},
         "[A]\r\nx=1\r\ny=3\r\n[B]\r\n[a]\r\ny=2\r\n"},
        {"names are trimmed, the value is written as given",
         "",
         {{" A ", " k ", "v  "}},
         "[A]\r\nk=v  \r\n"},
    };
    for (const Encoding encoding : kEncodings) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(NameOf(encoding)) + ": " + c.name);
            TempFolder folder;
            const std::string path = folder.File("t.ini");
            // A missing UTF-16 file does not exist: its owner creates it holding the mark.
            if (c.before || encoding == Encoding::kUtf16)
                WriteBytes(path, AsFile(encoding, c.before.value_or("")));
            CIniFile ini(path);
            for (const Write& w : c.writes)
                ASSERT_TRUE(ini.WriteString(w.section, w.key, w.value)) << ini.LastError();
            EXPECT_EQ(ReadBytes(path), AsFile(encoding, c.after));
        }
    }
}

TEST(IniFileTest, ReadsLikeWindows) {
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"settings", "closebtnoperation", "0"},  // case and blanks ignored
        {" Settings ", "CLOSEBTNOPERATION ", "0"},
        {"SETTINGS", "Quoted", "  padded  "},  // enclosing quotes removed, inside kept
        {"Settings", "Single", "x"},
        {"Settings", "Half", "\"open"},  // an unmatched quote stays
        {"Settings", "Hidden", "def"},   // comment
        {"Settings", ";Hidden", "def"},
        {"Settings", "NoEquals", "def"},
        {"Settings", "Empty", ""},
        {"Settings", "dup", "first"},  // the first key wins
        {"Settings", "Extra", "def"},  // only the first section is searched
        {"Spaced", "a", "b=c"},        // split at the first '='
        {"", "top", "def"},            // no section
        {"Missing", "a", "def"},
    };
    for (const Encoding encoding : kEncodings) {
        TempFolder folder;
        const std::string path = folder.File("t.ini");
        WriteBytes(path, AsFile(encoding, kHandEdited));
        const CIniFile ini(path);
        for (const Case& c : cases)
            EXPECT_EQ(ini.GetString(c.section, c.key, "def  "), c.expected)
                << NameOf(encoding) << " [" << c.section << "] " << c.key;
        EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"Settings", "Spaced", "settings"}));
        EXPECT_EQ(ini.KeyNames("SETTINGS"),
                  (std::vector<std::string>{"CloseBtnOperation", "Quoted", "Single", "Half",
                                            "Empty", "dup", "DUP"}));
        EXPECT_TRUE(ini.KeyNames("Missing").empty());
    }
    const CIniFile missing("/nonexistent-folder/t.ini");
    EXPECT_EQ(missing.GetString("A", "b", "def"), "def");
    EXPECT_TRUE(missing.SectionNames().empty());
}

TEST(IniFileTest, GetIntParsesLikeGetPrivateProfileInt) {
    struct Case {
        const char* stored;  // nullptr: key missing
        int expected;
    } cases[] = {
        {"7", 7},
        {"-1", -1},
        {"+1", 1},
        {"42A94967297", 42},  // stops at the first non-digit
        {"B4294967297", 0},   // no digits
        {"0x10", 0},          // decimal only
        {"4294967297", 1},    // wraps at 32 bits
        {"-4294967297", -1},
        {"2147483648", INT_MIN},
        {"\"12\"", 12},  // quotes are removed first
        {"", -5},        // empty reads as missing
        {nullptr, -5},
    };
    TempFolder folder;
    std::string text = "[N]\r\n";
    for (size_t i = 0; i < std::size(cases); ++i)
        if (cases[i].stored) text += "k" + std::to_string(i) + "=" + cases[i].stored + "\r\n";
    WriteBytes(folder.File("n.ini"), text);
    const CIniFile ini(folder.File("n.ini"));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(ini.GetInt("N", "k" + std::to_string(i), -5), cases[i].expected)
            << (cases[i].stored ? cases[i].stored : "(missing)");
}

TEST(IniFileTest, EditsKeepEveryOtherLineByteForByte) {
    struct Case {
        const char* name;
        std::function<bool(CIniFile&)> edit;
        std::string after;
    } cases[] = {
        {"write a value", [](CIniFile& f) { return f.WriteString("Settings", "Empty", "1"); },
         Replaced(kHandEdited, "Empty=\r\n", "Empty=1\r\n")},
        {"add a key", [](CIniFile& f) { return f.WriteInt("settings", "New", -12); },
         Replaced(kHandEdited, "DUP=second\r\n", "DUP=second\r\nNew=-12\r\n")},
        {"write the value already there",
         [](CIniFile& f) { return f.WriteString("Spaced", "a", "b=c"); }, std::string(kHandEdited)},
        {"delete a key", [](CIniFile& f) { return f.DeleteKey("SETTINGS", "Dup"); },
         Replaced(kHandEdited, "dup=first\r\n", "")},
        {"delete a missing key", [](CIniFile& f) { return f.DeleteKey("Settings", "Hidden"); },
         std::string(kHandEdited)},
        {"delete every section of a name", [](CIniFile& f) { return f.DeleteSection("SETTINGS"); },
         "; written by hand\r\ntop=before any section\r\n[ Spaced ]\na=b=c\n"},
        {"delete the last section", [](CIniFile& f) { return f.DeleteSection("spaced"); },
         Replaced(kHandEdited, "[ Spaced ]\na=b=c\n", "")},
        {"delete a missing section", [](CIniFile& f) { return f.DeleteSection("Nope"); },
         std::string(kHandEdited)},
    };
    for (const Encoding encoding : kEncodings) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(NameOf(encoding)) + ": " + c.name);
            TempFolder folder;
            const std::string path = folder.File("t.ini");
            WriteBytes(path, AsFile(encoding, kHandEdited));
            CIniFile ini(path);
            EXPECT_TRUE(c.edit(ini)) << ini.LastError();
            EXPECT_EQ(ReadBytes(path), AsFile(encoding, c.after));
        }
    }
}

TEST(IniFileTest, KeepsTextThatIsNotValidInItsEncoding) {
    TempFolder folder;
    // 8-bit text in a legacy Chinese code page, and UTF-16 with a lone surrogate and a stray
    // odd last byte: none of it may be "repaired" by a write elsewhere in the file.
    const std::string legacy = "[\xC1\xD6]\r\n\xC3\xFB=\xCE\xED\r\n[A]\r\nk=1\r\n";
    WriteBytes(folder.File("legacy.ini"), legacy);
    CIniFile legacyIni(folder.File("legacy.ini"));
    ASSERT_TRUE(legacyIni.WriteString("A", "k", "2"));
    EXPECT_EQ(ReadBytes(folder.File("legacy.ini")), Replaced(legacy, "k=1", "k=2"));

    const std::string wide = Utf16LeFile(std::u16string(u"[A]\r\nx=\xD800\r\nk=1\r\n")) + "\x7F";
    WriteBytes(folder.File("wide.ini"), wide);
    CIniFile wideIni(folder.File("wide.ini"));
    ASSERT_TRUE(wideIni.WriteString("A", "k", "2"));
    EXPECT_EQ(ReadBytes(folder.File("wide.ini")),
              Utf16LeFile(std::u16string(u"[A]\r\nx=\xD800\r\nk=2\r\n")) + "\x7F");
}

TEST(IniFileTest, ChineseNamesRoundTripInBothEncodings) {
    struct Case {
        const char* name;
        std::string before;
        std::string after;
    } cases[] = {
        {"UTF-16", Utf16LeFile(u""), Utf16LeFile(u"[效果]\r\n名称=林雾 聊天\r\n")},
        {"8-bit", "", "[效果]\r\n名称=林雾 聊天\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string path = folder.File("cn.ini");
        WriteBytes(path, c.before);
        CIniFile ini(path);
        ASSERT_TRUE(ini.WriteString("效果", "名称", "林雾 聊天"));
        EXPECT_EQ(ReadBytes(path), c.after);
        EXPECT_EQ(ini.GetString("效果", "名称", ""), "林雾 聊天");
        EXPECT_EQ(ini.GetString("效果", "名", "none"), "none");
        EXPECT_EQ(ini.SectionNames(), std::vector<std::string>{"效果"});
        EXPECT_EQ(ini.KeyNames("效果"), std::vector<std::string>{"名称"});
    }
}

TEST(IniFileTest, StructBlobsCarryAChecksum) {
    TempFolder folder;
    const std::string path = folder.File("blob.ini");
    CIniFile ini(path);
    const uint8_t two[] = {0x01, 0xAB};
    ASSERT_TRUE(ini.WriteStruct("Blob", "two", two, sizeof two));
    ASSERT_TRUE(ini.WriteStruct("Blob", "none", nullptr, 0));
    EXPECT_EQ(ReadBytes(path), "[Blob]\r\ntwo=01ABAC\r\nnone=00\r\n");

    std::vector<uint8_t> record(168);  // a preset record's size; the checksum wraps many times
    for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(255 - i);
    ASSERT_TRUE(ini.WriteStruct("CustomPreset", "1_0", record.data(), record.size()));
    std::vector<uint8_t> back(record.size());
    EXPECT_TRUE(ini.GetStruct("customPRESET", "1_0", back.data(), back.size()));
    EXPECT_EQ(back, record);
}

TEST(IniFileTest, DamagedStructBlobsReadAsAbsent) {
    struct Case {
        const char* stored;
        bool valid;
    } cases[] = {
        {"01ABAC", true},    {"01abac", true},   // lower-case digits are hex too
        {"01AB", false},                         // no checksum
        {"01ABAC00", false}, {"01ABAD", false},  // checksum off by one
        {"01XX01", false},  // non-hex, though "XX" as 00 would match the checksum
        {"", false},
    };
    TempFolder folder;
    std::string text = "[Blob]\r\n";
    for (size_t i = 0; i < std::size(cases); ++i)
        text += "k" + std::to_string(i) + "=" + cases[i].stored + "\r\n";
    WriteBytes(folder.File("blob.ini"), text);
    const CIniFile ini(folder.File("blob.ini"));
    for (size_t i = 0; i < std::size(cases); ++i) {
        uint8_t buffer[2] = {0x55, 0x66};
        EXPECT_EQ(ini.GetStruct("Blob", "k" + std::to_string(i), buffer, sizeof buffer),
                  cases[i].valid)
            << cases[i].stored;
        const uint8_t expected[2] = {static_cast<uint8_t>(cases[i].valid ? 0x01 : 0x55),
                                     static_cast<uint8_t>(cases[i].valid ? 0xAB : 0x66)};
        EXPECT_EQ(buffer[0], expected[0]) << cases[i].stored;
        EXPECT_EQ(buffer[1], expected[1]) << cases[i].stored;
    }
    uint8_t untouched = 0x77;
    EXPECT_FALSE(ini.GetStruct("Blob", "missing", &untouched, 1));
    EXPECT_EQ(untouched, 0x77);
}

TEST(IniFileTest, RefusesEntriesThatCouldNotBeReadBack) {
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    } cases[] = {
        {"", "k", "v"},    {" ", "k", "v"},
        {"a]b", "k", "v"}, {"A\n", "k", "v"},
        {"A", "", "v"},    {"A", "k=1", "v"},
        {"A", ";k", "v"},  {"A", "[k", "v"},
        {"A", "k\r", "v"}, {"A", "k", "two\r\nlines"},
    };
    TempFolder folder;
    const std::string path = folder.File("t.ini");
    const std::string before = "[A]\r\nk=1\r\n";
    WriteBytes(path, before);
    CIniFile ini(path);
    for (const Case& c : cases) {
        EXPECT_FALSE(ini.WriteString(c.section, c.key, c.value)) << c.section << "/" << c.key;
        EXPECT_FALSE(ini.LastError().empty());
    }
    EXPECT_EQ(ReadBytes(path), before);
}

TEST(IniFileTest, DeletingASectionRemovesEveryCopyOfIt) {
    TempFolder folder;
    const std::string path = folder.File("t.ini");
    WriteBytes(path, "[A]\r\na=1\r\n[a]\r\nb=2\r\n\r\n[B]\r\nc=3\r\n[ A ]\r\nd=4");
    CIniFile ini(path);
    ASSERT_TRUE(ini.DeleteSection("A"));
    EXPECT_EQ(ReadBytes(path), "[B]\r\nc=3\r\n");
}

TEST(IniFileTest, DeletingFromAMissingFileCreatesNothing) {
    TempFolder folder;
    CIniFile ini(folder.File("none.ini"));
    EXPECT_TRUE(ini.DeleteKey("A", "k"));
    EXPECT_TRUE(ini.DeleteSection("A"));
    EXPECT_FALSE(std::filesystem::exists(folder.File("none.ini")));
}

TEST(IniFileTest, FailedWritesLeaveTheOldFileIntact) {
    const std::string before = "[A]\r\nk=1\r\n";
    struct Case {
        const char* name;
        std::filesystem::perms folderMode;
        std::function<bool()> prepare;  // runs in the child before the write
        const char* reason;
    } cases[] = {
        {"read-only folder", std::filesystem::perms(0555), DropRootPrivileges, "temporary file"},
        {"disk full mid-write", std::filesystem::perms(0755),
         [] {
             ::signal(SIGXFSZ, SIG_IGN);
             const rlimit limit{8, 8};  // no file may grow past 8 bytes
             return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
         },
         "cannot write"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string path = folder.File("t.ini");
        WriteBytes(path, before);
        std::filesystem::permissions(path, std::filesystem::perms(0666));
        std::filesystem::permissions(folder.Path(), c.folderMode);
        const int exitCode = RunInChild([&] {
            if (!c.prepare()) return 90;
            CIniFile ini(path);
            if (ini.WriteString("A", "k", "2")) return 1;
            return ini.LastError().find(c.reason) != std::string::npos ? 0 : 2;
        });
        EXPECT_EQ(exitCode, 0);  // 1: the write succeeded; 2: it failed for another reason
        std::filesystem::permissions(folder.Path(), std::filesystem::perms(0700));
        EXPECT_EQ(ReadBytes(path), before);
        EXPECT_EQ(EntriesIn(folder.Path()), 1u);  // no temporary file left behind
    }

    TempFolder folder;  // a read-only file is refused, as on Windows
    const std::string path = folder.File("ro.ini");
    WriteBytes(path, before);
    std::filesystem::permissions(path, std::filesystem::perms(0444));
    CIniFile ini(path);
    EXPECT_FALSE(ini.WriteString("A", "k", "2"));
    EXPECT_NE(ini.LastError().find("read-only"), std::string::npos) << ini.LastError();
    EXPECT_EQ(ReadBytes(path), before);
}

TEST(IniFileTest, ReplacingKeepsPermissionsAndSymbolicLinks) {
    TempFolder folder;
    const std::string path = folder.File("t.ini");
    WriteBytes(path, "[A]\r\n");
    std::filesystem::permissions(path, std::filesystem::perms(0604));
    const std::string link = folder.File("link.ini");
    std::filesystem::create_symlink(path, link);

    CIniFile viaLink(link);
    ASSERT_TRUE(viaLink.WriteString("A", "k", "1")) << viaLink.LastError();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadBytes(path), "[A]\r\nk=1\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);

    const mode_t oldMask = ::umask(027);  // a new file gets the usual 0666 less the umask
    CIniFile fresh(folder.File("new.ini"));
    const bool written = fresh.WriteString("A", "k", "1");
    ::umask(oldMask);
    ASSERT_TRUE(written);
    ASSERT_EQ(::stat(folder.File("new.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(IniFileTest, ConcurrentWritersDoNotLoseUpdates) {
    TempFolder folder;
    const std::string path = folder.File("t.ini");
    constexpr int kPerThread = 25;
    const auto writer = [&path](const char* prefix) {
        CIniFile ini(path);
        for (int i = 0; i < kPerThread; ++i) ini.WriteInt("A", prefix + std::to_string(i), i);
    };
    std::thread a(writer, "a"), b(writer, "b");
    a.join();
    b.join();
    EXPECT_EQ(CIniFile(path).KeyNames("A").size(), 2u * kPerThread);
}
