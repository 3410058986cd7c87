#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Records.h"

// Where downloaded cloud effects live and how their names become file names. Names and
// URLs come from the network: every component is made safe before it touches a path, so
// nothing is ever written outside userDir + "/CloudEff".
namespace cloud_effect {

constexpr const char* kFolder = "/CloudEff";
constexpr const char* kIndexFile = "/Download.ini";  // in kFolder, 8-bit text
constexpr const char* kIndexSection = "Download";
constexpr size_t kMaxComponentUnits = 100;  // UTF-16 units of one folder or file name
constexpr size_t kMaxComponentBytes = 200;  // its UTF-8 bytes (file systems allow 255)

// One path component: control characters, "/", "\" and "=" (an index key must not hold
// it) become "_"; an empty or dots-only name becomes "_"; a long name is shortened, keeping
// a short extension. Ordinary names pass unchanged, and SafeComponent(SafeComponent(x)) ==
// SafeComponent(x), so a stored local path maps to itself.
std::u16string SafeComponent(std::u16string_view name);

// The text after the last "/", or after the last "\" when there is no "/".
std::u16string FileNameOf(std::u16string_view urlOrPath);

// userDir + "/CloudEff".
std::string FolderPath(const std::string& userDir);
// userDir + "/CloudEff/" + category + "/" (both components made safe).
std::string CategoryFolder(const std::string& userDir, std::u16string_view category);
// The local file of an entry: its category folder + its (safe) file name.
std::string LocalPath(const std::string& userDir, std::u16string_view category,
                      std::u16string_view urlOrPath);
std::string IndexPath(const std::string& userDir);
// The download index's key of an entry (its safe file name, UTF-8).
std::string IndexKey(std::u16string_view urlOrPath);

// Whether an entry counts as downloaded: its state is non-zero, its local file exists and
// the download index says so.
bool IsDownloaded(const std::string& userDir, std::u16string_view category,
                  std::u16string_view urlOrPath, int downloadState);
// The value Fill gives a cloud-list entry: the index value when the local file exists.
int DownloadStateOf(const std::string& userDir, std::u16string_view category,
                    std::u16string_view url);

// "&" doubled (the tree shows one), then cut to the record's 63 characters.
std::u16string DisplayName(std::u16string_view name);

// Text of the cloud effect list reply; records in reply order. 0 with the error text
// "解析json数据失败" for a reply that is not a JSON object, or with the service's "message"
// when it is not "ok".
int ParseEffectList(std::string_view reply, std::vector<lw52::CloudEffectRecord>& records,
                    std::string& error);

std::u16string SoundName(const lw52::CloudEffectRecord& record);
std::u16string CategoryName(const lw52::CloudEffectRecord& record);
std::u16string Url(const lw52::CloudEffectRecord& record);
lw52::CloudEffectRecord MakeRecord(std::u16string_view soundName, std::u16string_view category,
                                   std::u16string_view url, int downloaded);

}  // namespace cloud_effect
