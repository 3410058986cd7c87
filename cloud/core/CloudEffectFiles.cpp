#include "CloudEffectFiles.h"

#include <json/json.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>

#include "CloudApi.h"
#include "IniFile.h"
#include "TextUtil.h"

namespace cloud_effect {

namespace {

constexpr size_t kRecordNameUnits = 63;
constexpr size_t kRecordUrlUnits = 259;
constexpr size_t kMaxExtensionUnits = 16;
const char* const kParseFailed = "解析json数据失败";

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

bool Fits(std::u16string_view name) {
    return name.size() <= kMaxComponentUnits &&
           text::Utf16ToUtf8(name).size() <= kMaxComponentBytes;
}

// Drops whole characters from the end until text + tail fits.
std::u16string CutToFit(std::u16string text, std::u16string_view tail) {
    while (!text.empty() && !Fits(text + std::u16string(tail))) {
        text.pop_back();
        if (!text.empty() && IsHighSurrogate(text.back())) text.pop_back();
    }
    return text + std::u16string(tail);
}

// Keeps at most units UTF-16 units without splitting a surrogate pair.
std::u16string Truncated(std::u16string_view value, size_t units) {
    if (value.size() <= units) return std::u16string(value);
    size_t n = units;
    if (n > 0 && IsHighSurrogate(value[n - 1])) --n;
    return std::u16string(value.substr(0, n));
}

bool RegularFileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::u16string JsonText(const Json::Value& object, const char* key) {
    const Json::Value& value = object[key];
    return value.isString() ? text::Utf8ToUtf16(value.asString()) : std::u16string();
}

}  // namespace

std::u16string SafeComponent(std::u16string_view name) {
    std::u16string out;
    out.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i];
        if (IsHighSurrogate(c) && i + 1 < name.size() && IsLowSurrogate(name[i + 1])) {
            out += c;
            out += name[++i];
            continue;
        }
        const bool unsafe = c < 0x20 || c == 0x7F || c == u'/' || c == u'\\' || c == u'=' ||
                            IsHighSurrogate(c) || IsLowSurrogate(c);
        out += unsafe ? u'_' : c;
    }
    if (out.find_first_not_of(u'.') == std::u16string::npos) return u"_";
    if (Fits(out)) return out;
    const size_t dot = out.rfind(u'.');
    if (dot != std::u16string::npos && dot > 0 && out.size() - dot <= kMaxExtensionUnits)
        return CutToFit(out.substr(0, dot), std::u16string_view(out).substr(dot));
    return CutToFit(out, u"");
}

std::u16string FileNameOf(std::u16string_view urlOrPath) {
    size_t cut = urlOrPath.rfind(u'/');
    if (cut == std::u16string_view::npos) cut = urlOrPath.rfind(u'\\');
    return std::u16string(cut == std::u16string_view::npos ? urlOrPath : urlOrPath.substr(cut + 1));
}

std::string FolderPath(const std::string& userDir) {
    return userDir + kFolder;
}

std::string CategoryFolder(const std::string& userDir, std::u16string_view category) {
    return FolderPath(userDir) + "/" + text::Utf16ToUtf8(SafeComponent(category)) + "/";
}

std::string LocalPath(const std::string& userDir, std::u16string_view category,
                      std::u16string_view urlOrPath) {
    return CategoryFolder(userDir, category) + IndexKey(urlOrPath);
}

std::string IndexPath(const std::string& userDir) {
    return FolderPath(userDir) + kIndexFile;
}

std::string IndexKey(std::u16string_view urlOrPath) {
    return text::Utf16ToUtf8(SafeComponent(FileNameOf(urlOrPath)));
}

bool IsDownloaded(const std::string& userDir, std::u16string_view category,
                  std::u16string_view urlOrPath, int downloadState) {
    return downloadState != 0 && DownloadStateOf(userDir, category, urlOrPath) != 0;
}

int DownloadStateOf(const std::string& userDir, std::u16string_view category,
                    std::u16string_view url) {
    if (!RegularFileExists(LocalPath(userDir, category, url))) return 0;
    return CIniFile(IndexPath(userDir)).GetInt(kIndexSection, IndexKey(url), 0);
}

std::u16string DisplayName(std::u16string_view name) {
    std::u16string doubled;
    doubled.reserve(name.size());
    for (const char16_t c : name) {
        doubled += c;
        if (c == u'&') doubled += u'&';
    }
    return Truncated(doubled, kRecordNameUnits);
}

int ParseEffectList(std::string_view reply, std::vector<lw52::CloudEffectRecord>& records,
                    std::string& error) {
    records.clear();
    Json::Value data;
    std::string message;
    switch (cloud::ReadEnvelope(reply, data, message)) {
        case cloud::Envelope::kOk:
            break;
        case cloud::Envelope::kNotOk:
            error = message;  // the service's own words
            return 0;
        case cloud::Envelope::kMalformed:
            error = kParseFailed;
            return 0;
    }
    if (!data.isArray()) {
        error = kParseFailed;
        return 0;
    }
    for (const Json::Value& element : data) {
        if (!element.isObject()) continue;
        records.push_back(MakeRecord(DisplayName(JsonText(element, "soundName")),
                                     DisplayName(JsonText(element, "categoryName")),
                                     Truncated(JsonText(element, "url"), kRecordUrlUnits), 0));
    }
    error.clear();
    return 1;
}

std::u16string SoundName(const lw52::CloudEffectRecord& record) {
    return text::FieldToString(record.soundName, std::size(record.soundName));
}

std::u16string CategoryName(const lw52::CloudEffectRecord& record) {
    return text::FieldToString(record.categoryName, std::size(record.categoryName));
}

std::u16string Url(const lw52::CloudEffectRecord& record) {
    return text::FieldToString(record.url, std::size(record.url));
}

lw52::CloudEffectRecord MakeRecord(std::u16string_view soundName, std::u16string_view category,
                                   std::u16string_view url, int downloaded) {
    lw52::CloudEffectRecord record;
    memset(&record, 0, sizeof record);
    text::CopyToField(record.soundName, std::size(record.soundName), soundName);
    text::CopyToField(record.categoryName, std::size(record.categoryName), category);
    text::CopyToField(record.url, std::size(record.url), url);
    record.downloaded = downloaded;
    return record;
}

}  // namespace cloud_effect
