#include "FixtureCatalog.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> SortedEntries(const fs::path& dir, bool wantDirectories,
                                    const std::string& extension = "") {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        if (wantDirectories ? !entry.is_directory(ec) : !entry.is_regular_file(ec)) continue;
        if (!extension.empty() && entry.path().extension() != extension) continue;
        out.push_back(entry.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

// "file=value" lines of a category folder's text file.
std::map<std::string, std::string> FileMap(const fs::path& categoryDir, const char* fileName) {
    std::map<std::string, std::string> names;
    std::ifstream in(categoryDir / fileName);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t eq = line.find('=');
        if (eq != std::string::npos && eq > 0) names[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return names;
}

std::map<std::string, std::string> DisplayNames(const fs::path& categoryDir) {
    return FileMap(categoryDir, "names.txt");
}

std::string DisplayName(const std::map<std::string, std::string>& names, const fs::path& file) {
    const auto it = names.find(file.filename().string());
    return it != names.end() ? it->second : file.stem().string();
}

std::string PercentEncoded(const std::string& segment) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : segment) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (unreserved) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace

FixtureCatalog::FixtureCatalog(fs::path root, std::string baseUrl)
    : root_(std::move(root)), baseUrl_(std::move(baseUrl)) {}

std::string FixtureCatalog::FileUrl(const fs::path& file) const {
    std::string url = baseUrl_ + "/files";
    for (const auto& part : file.lexically_relative(root_)) url += "/" + PercentEncoded(part);
    return url;
}

Json::Value FixtureCatalog::EffectList() const {
    Json::Value list(Json::arrayValue);
    for (const fs::path& category : SortedEntries(root_ / "effects", true)) {
        const auto names = DisplayNames(category);
        for (const fs::path& file : SortedEntries(category, false, ".dteff")) {
            Json::Value record;
            record["categoryName"] = category.filename().string();
            record["soundName"] = DisplayName(names, file);
            record["url"] = FileUrl(file);
            list.append(record);
        }
    }
    return list;
}

Json::Value FixtureCatalog::SoundCategories() const {
    Json::Value list(Json::arrayValue);
    int id = 0;
    for (const fs::path& category : SortedEntries(root_ / "sounds", true)) {
        Json::Value record;
        record["id"] = ++id;
        record["categoryName"] = category.filename().string();
        list.append(record);
    }
    return list;
}

Json::Value FixtureCatalog::SoundsOfCategory(int categoryId) const {
    Json::Value list(Json::arrayValue);
    const auto categories = SortedEntries(root_ / "sounds", true);
    if (categoryId < 1 || static_cast<size_t>(categoryId) > categories.size()) return list;
    const fs::path& category = categories[static_cast<size_t>(categoryId - 1)];
    const auto names = DisplayNames(category);
    const auto urls = FileMap(category, "urls.txt");
    int position = 0;
    for (const fs::path& file : SortedEntries(category, false, ".mp3")) {
        Json::Value record;
        record["id"] = categoryId * 1000 + ++position;
        record["name"] = DisplayName(names, file);
        std::string url = FileUrl(file);
        const auto custom = urls.find(file.filename().string());
        if (custom != urls.end()) {
            std::string text = custom->second;
            const size_t at = text.find("{url}");
            if (at != std::string::npos) text.replace(at, 5, url);
            url = text;
        }
        record["url"] = url;
        list.append(record);
    }
    return list;
}

bool FixtureCatalog::UpgradeAnswer(Json::Value& data) const {
    std::ifstream in(root_ / "firmware" / "upgrade.json", std::ios::binary);
    if (!in) return false;
    Json::CharReaderBuilder builder;
    std::string errors;
    if (!Json::parseFromStream(builder, in, &data, &errors) || !data.isObject()) return false;
    const Json::Value& url = data["url"];
    if (url.isString() && url.asString().find("://") == std::string::npos)
        data["url"] = FileUrl(root_ / "firmware" / url.asString());
    return true;
}

fs::path FixtureCatalog::FileFor(const std::string& relativePath) const {
    const fs::path relative = fs::path(relativePath).lexically_normal();
    if (relative.empty() || relative.is_absolute() || *relative.begin() == "..") return {};
    const fs::path file = root_ / relative;
    std::error_code ec;
    return fs::is_regular_file(file, ec) ? file : fs::path();
}
