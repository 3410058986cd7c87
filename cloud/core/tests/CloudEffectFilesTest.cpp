#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "ChildProcess.h"
#include "CloudEffectFiles.h"
#include "IniFile.h"
#include "TextUtil.h"
#include "WorkSpace.h"

namespace fs = std::filesystem;
using namespace cloud_effect;

namespace {

std::u16string U16(const std::string& s) {
    return text::Utf8ToUtf16(s);
}
std::string U8(const std::u16string& s) {
    return text::Utf16ToUtf8(s);
}

void Touch(const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << "x";
}

// Whether path lies strictly inside folder once "." and ".." are resolved.
bool Inside(const std::string& path, const std::string& folder) {
    const fs::path p = fs::path(path).lexically_normal();
    const fs::path f = fs::path(folder).lexically_normal();
    const auto rel = p.lexically_relative(f);
    return !rel.empty() && *rel.begin() != ".." && rel.is_relative();
}

}  // namespace

TEST(CloudEffectFiles, OrdinaryNamesKeepTheFolderScheme) {
    EXPECT_EQ(LocalPath("/u", u"流行", u"http://h/tuning/files/effects/x/暖声.dteff"),
              "/u/CloudEff/流行/暖声.dteff");
    EXPECT_EQ(LocalPath("/u", u"A&&B", u"http://h/a b.x.dteff"), "/u/CloudEff/A&&B/a b.x.dteff");
    // A stored local path (the downloaded list) maps to itself.
    EXPECT_EQ(LocalPath("/u", u"流行", u"/u/CloudEff/流行/暖声.dteff"),
              "/u/CloudEff/流行/暖声.dteff");
    EXPECT_EQ(IndexPath("/u"), "/u/CloudEff/Download.ini");
    EXPECT_EQ(FileNameOf(u"C:\\x\\y.dteff"), u"y.dteff");
}

TEST(CloudEffectFiles, NamesFromTheNetworkNeverLeaveCloudEff) {
    const std::u16string longName(300, u'长');
    const std::u16string longWithExt = std::u16string(300, u'a') + u".dteff";
    const std::vector<std::u16string> hostile = {
        u"",      u".",   u"..",           u"...",      u"../x",        u"../../etc",
        u"/abs",  u"a/b", u"a\\..\\..\\b", u"..\\x",    u"line\nbreak", std::u16string(1, 0x7F),
        u"tab\t", u"k=v", longName,        longWithExt, u"\xD800x",     u"./.",
    };
    for (const auto& category : hostile) {
        for (const auto& file : hostile) {
            for (const std::u16string& url : {u"http://h/" + file, file}) {
                const std::string path = LocalPath("/u", category, url);
                SCOPED_TRACE(path);
                EXPECT_TRUE(Inside(path, "/u/CloudEff"));
                // Exactly one folder and one file under CloudEff, neither "." nor "..".
                const fs::path rel = fs::path(path).lexically_relative("/u/CloudEff");
                ASSERT_EQ(std::distance(rel.begin(), rel.end()), 2);
                for (const auto& part : rel) {
                    EXPECT_NE(part, ".");
                    EXPECT_NE(part, "..");
                    EXPECT_LE(part.string().size(), kMaxComponentBytes);
                }
                EXPECT_EQ(IndexKey(url).find('='), std::string::npos);
            }
        }
        const std::u16string safe = SafeComponent(category);
        EXPECT_EQ(SafeComponent(safe), safe) << U8(category);
    }
    const std::u16string cut = SafeComponent(longWithExt);
    EXPECT_EQ(cut.substr(cut.size() - 6), u".dteff");
    EXPECT_EQ(SafeComponent(u"../x"), u".._x");
    EXPECT_EQ(SafeComponent(u".."), u"_");
}

TEST(CloudEffectFiles, ParsesTheListReply) {
    std::vector<lw52::CloudEffectRecord> records;
    std::string error;
    const std::string reply =
        R"({"message":"OK","data":[)"
        R"({"categoryName":"R&B","soundName":"A&B","url":"http://h/a.dteff"},)"
        R"({"categoryName":"流行","soundName":7,"url":"http://h/b.dteff"},)"
        R"(5,)"
        R"({"categoryName":"R&B","soundName":")" +
        std::string(70, 'n') + R"(","url":"http://h/c.dteff"}]})";
    ASSERT_EQ(ParseEffectList(reply, records, error), 1) << error;
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(CategoryName(records[0]), u"R&&B");
    EXPECT_EQ(SoundName(records[0]), u"A&&B");
    EXPECT_EQ(Url(records[0]), u"http://h/a.dteff");
    EXPECT_EQ(records[0].downloaded, 0);
    EXPECT_EQ(SoundName(records[1]), u"");  // not a string
    EXPECT_EQ(SoundName(records[2]).size(), 63u);

    struct Case {
        std::string reply;
        std::string error;
    };
    const std::vector<Case> failures = {
        {"", "解析json数据失败"},
        {"<html>busy</html>", "解析json数据失败"},
        {R"({"message":"ok","data":[)", "解析json数据失败"},  // cut short
        {R"([1,2])", "解析json数据失败"},
        {R"({"message":"ok","data":{}})", "解析json数据失败"},
        {R"({"message":"服务器维护中","data":[]})", "服务器维护中"},
        {std::string(5000, '[') + std::string(5000, ']'), "解析json数据失败"},
    };
    for (const auto& c : failures) {
        records.assign(2, MakeRecord(u"x", u"y", u"z", 0));
        EXPECT_EQ(ParseEffectList(c.reply, records, error), 0) << c.reply.substr(0, 40);
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(records.empty());
    }
}

TEST(CloudEffectFiles, DownloadedNeedsStateFileAndIndex) {
    TempDir dir;
    const std::string user = dir.Path();
    const std::u16string url = u"http://h/x/warm.dteff";
    const std::string local = LocalPath(user, u"流行", url);
    CIniFile index(IndexPath(user));

    EXPECT_EQ(DownloadStateOf(user, u"流行", url), 0);  // no file
    Touch(local);
    EXPECT_EQ(DownloadStateOf(user, u"流行", url), 0);  // no index entry
    ASSERT_TRUE(index.WriteString(kIndexSection, "warm.dteff", "1"));
    EXPECT_EQ(DownloadStateOf(user, u"流行", url), 1);
    EXPECT_TRUE(IsDownloaded(user, u"流行", url, 1));
    EXPECT_TRUE(IsDownloaded(user, u"流行", U16(local), 1));
    EXPECT_FALSE(IsDownloaded(user, u"流行", url, 0));
    EXPECT_FALSE(IsDownloaded(user, u"摇滚", url, 1));
    fs::remove(local);  // deleted on disk: not downloaded any more
    EXPECT_FALSE(IsDownloaded(user, u"流行", url, 1));
    Touch(local);
    ASSERT_TRUE(index.WriteString(kIndexSection, "warm.dteff", "0"));
    EXPECT_FALSE(IsDownloaded(user, u"流行", url, 1));
}

TEST(CloudEffectFiles, DownloadedEffectsAreAppendedToTheSettingsFile) {
    TempDir dir;
    const std::string settings = dir.Path() + "/QvH31ConfigData.db";
    ASSERT_TRUE(CIniFile::CreateUtf16File(settings));
    const std::string local = dir.Path() + "/CloudEff/流行/warm.dteff";
    Touch(local);
    {
        CWorkSpace::Context context;
        context.settingsPath = settings;
        CWorkSpace ws(context);
        EXPECT_TRUE(ws.DownloadedEffects().empty());
        ws.SetCloudEffects({MakeRecord(u"a", u"b", u"http://h/a", 0)});
        EXPECT_EQ(ws.CloudEffects().size(), 1u);
        EXPECT_TRUE(ws.AddDownloadedEffect(MakeRecord(u"暖声", u"流行", U16(local), 1)));
        EXPECT_TRUE(ws.AddDownloadedEffect(MakeRecord(u"暖声2", u"流行", U16(local), 1)));
        EXPECT_EQ(ws.DownloadedEffects().size(), 2u);
    }
    EXPECT_EQ(CIniFile(settings).GetInt("DownloadEffect", "count", 0), 2);
    CWorkSpace::Context context;
    context.settingsPath = settings;
    CWorkSpace again(context);
    ASSERT_EQ(again.DownloadedEffects().size(), 2u);
    EXPECT_EQ(SoundName(again.DownloadedEffects()[1]), u"暖声2");
    EXPECT_EQ(again.DownloadedEffects()[1].downloaded, 1);
}
