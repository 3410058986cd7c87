#pragma once

#include <json/json.h>

#include <string>
#include <string_view>

// The cloud service's addressing and its JSON envelope.
namespace cloud {

constexpr const char* kPathEffectList = "/api/effect_sound/getSoundByCategory.json";
constexpr const char* kBodyEffectList = "genreId=14&pageNumber=1&categoryId=-1&pageSize=10000";
constexpr const char* kPathSoundCategories = "/api/live/getSpecialEffectCategory.json";
constexpr const char* kPathSoundsOfCategory = "/api/live/findByCategory.json";  // "categoryId=%d"
constexpr const char* kPathCheckUpgrade = "/api/effect_sound/checkAppUpgrade.json";
constexpr const char* kBodyCheckUpgrade = "appVer=1&appType=22";
constexpr size_t kResponseBufferSize = 102400;

// $LW52_CLOUD_URL, else "Cloud"/"BaseUrl" of the settings file (when settingsPath is given
// and the key is set), else the built-in default. Always ends with "/tuning" and no slash.
std::string BaseUrl(const std::string& settingsPath = "");
std::string ApiUrl(const std::string& path, const std::string& settingsPath = "");

enum class Envelope { kOk, kMalformed, kNotOk };

// Reads text as one JSON object whose "message" equals "ok" ignoring case; data receives its
// "data" member. kNotOk with the "message" text when it says something else; kMalformed,
// with the reason in message, for anything else. Never throws: the parser does on JSON
// nested too deep, and a reply from the network must not end a worker thread.
Envelope ReadEnvelope(std::string_view text, Json::Value& data, std::string& message);

// ReadEnvelope as a yes or no; error (may be null) gets message.
bool ParseEnvelope(const std::string& text, Json::Value& data, std::string* error = nullptr);

}  // namespace cloud
