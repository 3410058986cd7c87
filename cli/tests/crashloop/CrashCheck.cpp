#include "CrashCheck.h"

#include <filesystem>
#include <set>
#include <string_view>
#include <vector>

#include "CloudEffectFiles.h"
#include "HotkeyConfig.h"
#include "IniDocument.h"
#include "LibraryFile.h"
#include "Records.h"
#include "SafeFile.h"
#include "TreeData.h"

namespace fs = std::filesystem;

namespace crash_check {
namespace {

using Keys = std::set<std::pair<std::string, std::string>>;

Keys AllKeys(const CIniDocument& ini) {
    Keys keys;
    for (const std::string& section : ini.SectionNames())
        for (const std::string& key : ini.KeyNames(section)) keys.emplace(section, key);
    return keys;
}

// A cut-off text loses its end: its last line break, and keys the old version (kept, empty
// when there was none) had; the writers under test only ever add keys.
bool CheckIni(const std::string& bytes, const std::string& path, const std::string& kept,
              std::string& why) {
    CIniDocument ini, old;
    if (!ini.Read(path, &why)) return false;
    const bool utf16 = bytes.starts_with(CIniDocument::kUtf16Mark);
    const size_t textStart = utf16 ? CIniDocument::kUtf16Mark.size() : 0;
    const bool endsWithBreak =
        utf16 ? bytes.size() % 2 == 0 && bytes.ends_with(std::string_view("\n\0", 2))
              : bytes.ends_with('\n');
    if (bytes.size() > textStart && !endsWithBreak) {
        why = "does not end with a line break";
        return false;
    }
    if (kept.empty() || !old.Read(kept)) return true;
    std::string oldBytes;
    fileio::ReadWholeFile(kept, oldBytes, nullptr);
    if (oldBytes.starts_with(CIniDocument::kUtf16Mark) && !utf16) {
        why = "lost its UTF-16 mark";
        return false;
    }
    const Keys now = AllKeys(ini);
    for (const auto& key : AllKeys(old))
        if (!now.count(key)) {
            why = "lost [" + key.first + "] " + key.second;
            return false;
        }
    return true;
}

// Every stored record of the settings file still passes its length and checksum test.
bool CheckRecords(const std::string& path, std::string& why) {
    CIniDocument ini;
    ini.Read(path);
    const auto blob = [&](const std::string& section, const std::string& key, size_t size) {
        if (!ini.Get(section, key)) return true;
        std::vector<unsigned char> data(size);
        if (ini.GetStruct(section, key, data.data(), size)) return true;
        why = "bad record [" + section + "] " + key;
        return false;
    };
    bool ok = blob("LastStatus", "CurrentEffect", sizeof(lw52::EffectRecord));
    for (int s = 0; ok && s < 3; ++s)
        ok = blob("DeviceCustomEffect", std::to_string(s), sizeof(lw52::EffectRecord));
    for (int i = 0; ok && i < 12; ++i)
        ok = blob("MyCustomEffect", std::to_string(i), sizeof(lw52::EffectRecord));
    for (int g = 1; ok && g <= 3; ++g)
        for (int s = 0; ok && s < 4; ++s)
            ok = blob("CustomPreset", std::to_string(g) + "_" + std::to_string(s),
                      sizeof(lw52::PresetRecord));
    const int count = ini.GetInt("DownloadEffect", "count", 0);
    for (int k = 0; ok && k < count; ++k)
        ok = blob("DownloadEffect", std::to_string(k), sizeof(lw52::CloudEffectRecord));
    return ok;
}

bool CheckHotkeys(const std::string& path, const std::string& kept, std::string& why) {
    HotkeyConfig now;
    if (!now.Init(path)) {
        why = "the sound pads cannot read it";
        return false;
    }
    if (kept.empty()) return true;
    HotkeyConfig old;
    old.Init(kept);
    if (now.Favourites().size() < old.Favourites().size() ||
        now.Locals().size() < old.Locals().size()) {
        why = "lost sound pads";
        return false;
    }
    return true;
}

bool CheckLibrary(const std::string& path, std::string& why) {
    CLibraryRoot root;
    if (!library_file::Load(path, root, "", "", [](const std::u16string&) { return true; }) ||
        root.Children().empty()) {
        why = "the library cannot be read";
        return false;
    }
    return true;
}

// A downloaded effect is the service's file byte for byte.
bool CheckDownloads(const Options& options, Summary& summary, std::string& failure) {
    const fs::path folder = cloud_effect::FolderPath(options.userDir);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return true;
    for (const auto& category : fs::directory_iterator(folder, ec)) {
        if (!category.is_directory()) continue;
        for (const auto& file : fs::directory_iterator(category.path(), ec)) {
            const std::string name = file.path().filename().string();
            if (name.starts_with(".")) continue;
            std::string bytes, expected;
            fileio::ReadWholeFile(file.path().string(), bytes, nullptr);
            fileio::ReadWholeFile(
                options.fixtureDir + "/" + category.path().filename().string() + "/" + name,
                expected, nullptr);
            if (bytes.empty() || bytes != expected) {
                failure = file.path().string() + ": TORN: not the service's file (" +
                          std::to_string(bytes.size()) + " bytes)";
                return false;
            }
            ++summary.newVersions;
        }
    }
    return true;
}

// Hidden ".name.XXXXXX" files beside the user's files: a writer killed before its rename.
int Leftovers(const std::string& userDir) {
    int count = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(userDir, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file() && it->path().filename().string().starts_with(".")) ++count;
    return count;
}

}  // namespace

bool CheckAll(const Options& options, Summary& summary, std::string& failure) {
    struct Tracked {
        std::string name;
        std::string path;
        bool (*check)(const std::string& path, const std::string& kept, std::string& why);
    };
    const std::vector<Tracked> files = {
        {"QvH31ConfigData.db", options.userDir + "/QvH31ConfigData.db",
         [](const std::string& path, const std::string&, std::string& why) {
             return CheckRecords(path, why);
         }},
        {"QvH31Moodcfg.ini", options.userDir + "/QvH31Moodcfg.ini", CheckHotkeys},
        {"EffectList.xml", options.userDir + "/EffectList.xml",
         [](const std::string& path, const std::string&, std::string& why) {
             return CheckLibrary(path, why);
         }},
        {"Download.ini", cloud_effect::IndexPath(options.userDir), nullptr},
    };
    for (const Tracked& file : files) {
        std::string bytes, previous, why;
        const std::string kept = options.stateDir + "/" + file.name;
        const auto status = fileio::ReadWholeFile(file.path, bytes, &why);
        const bool hadOne =
            fileio::ReadWholeFile(kept, previous, nullptr) == fileio::ReadStatus::kOk;
        if (status == fileio::ReadStatus::kMissing && !hadOne) continue;
        bool ok = status == fileio::ReadStatus::kOk;
        if (ok && hadOne && bytes == previous) {
            ++summary.oldVersions;
            continue;
        }
        if (ok && bytes.empty()) {
            why = "empty";
            ok = false;
        }
        const std::string keptPath = hadOne ? kept : std::string();
        const bool ini = file.name != "EffectList.xml";
        ok = ok && (!ini || CheckIni(bytes, file.path, keptPath, why));
        ok = ok && (!file.check || file.check(file.path, keptPath, why));
        if (!ok) {
            failure = file.path + ": TORN: " + why;
            return false;
        }
        ++summary.newVersions;
        fileio::ReplaceFileContents(kept, bytes, nullptr);
    }
    if (!options.fixtureDir.empty() && !CheckDownloads(options, summary, failure)) return false;
    summary.leftovers = Leftovers(options.userDir);
    return true;
}

}  // namespace crash_check
