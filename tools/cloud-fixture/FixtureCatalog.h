#pragma once

#include <json/json.h>

#include <filesystem>
#include <string>

// The cloud service's records, built from a fixture folder on every request so that a test
// may change the folder while the server runs:
//   effects/<category>/*.dteff   the effect list
//   sounds/<category>/*.mp3      sound categories and their clips
//   firmware/upgrade.json        the "data" of the upgrade answer
//   firmware/*.zip               the firmware packages it names
// A category folder may hold "names.txt" with "file=display name" lines (otherwise a file's
// display name is its stem) and "urls.txt" with "file=URL" lines that give a clip another URL
// ("{url}" in it stands for the file's own URL), as a broken or hostile service would. File
// URLs are absolute: <base>/files/<path in the folder>.
class FixtureCatalog {
  public:
    FixtureCatalog(std::filesystem::path root, std::string baseUrl);

    const std::filesystem::path& Root() const { return root_; }

    // [{"categoryName","soundName","url"}...], categories and files in name order.
    Json::Value EffectList() const;
    // [{"id","categoryName"}...]; ids count from 1 in name order.
    Json::Value SoundCategories() const;
    // [{"id","name","url"}...] of the category with that id (empty for an unknown id); a
    // clip's id is category id * 1000 + its position (from 1).
    Json::Value SoundsOfCategory(int categoryId) const;
    // The upgrade record; a relative "url" becomes a file URL. False when the file is
    // missing or not a JSON object.
    bool UpgradeAnswer(Json::Value& data) const;

    // The file a "/files/..." request path (already percent-decoded) names; empty when the
    // path leaves the folder or names no regular file.
    std::filesystem::path FileFor(const std::string& relativePath) const;

  private:
    std::string FileUrl(const std::filesystem::path& file) const;

    std::filesystem::path root_;
    std::string baseUrl_;
};
