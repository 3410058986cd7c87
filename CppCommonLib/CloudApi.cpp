#include "CloudApi.h"

#include <cstdlib>
#include <memory>
#include <utility>

#include "IniFile.h"

namespace cloud {

namespace {

constexpr const char* kDefaultBaseUrl = "http://127.0.0.1:8652/tuning";
constexpr const char* kTuningPath = "/tuning";

// Trailing slashes go; a base given as bare scheme://host:port gets the "/tuning" path.
std::string Normalised(std::string url) {
    while (!url.empty() && url.back() == '/') url.pop_back();
    const std::string suffix = kTuningPath;
    if (url.size() < suffix.size() ||
        url.compare(url.size() - suffix.size(), suffix.size(), suffix) != 0)
        url += suffix;
    return url;
}

bool EqualsIgnoringAsciiCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return i == a.size() && b[i] == '\0';
}

void SetError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

}  // namespace

std::string BaseUrl(const std::string& settingsPath) {
    const char* fromEnv = std::getenv("LW52_CLOUD_URL");
    if (fromEnv && *fromEnv) return Normalised(fromEnv);
    if (!settingsPath.empty()) {
        std::string fromSettings = CIniFile(settingsPath).GetString("Cloud", "BaseUrl", "");
        if (!fromSettings.empty()) return Normalised(std::move(fromSettings));
    }
    return kDefaultBaseUrl;
}

std::string ApiUrl(const std::string& path, const std::string& settingsPath) {
    return BaseUrl(settingsPath) + path;
}

bool ParseEnvelope(const std::string& text, Json::Value& data, std::string* error) {
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["failIfExtra"] = true;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string parseErrors;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &parseErrors)) {
        SetError(error, "malformed JSON: " + parseErrors);
        return false;
    }
    if (!root.isObject()) {
        SetError(error, "the reply is not a JSON object");
        return false;
    }
    const Json::Value& message = root["message"];
    if (!message.isString()) {
        SetError(error, "the reply has no \"message\"");
        return false;
    }
    if (!EqualsIgnoringAsciiCase(message.asString(), "ok")) {
        const std::string said = message.asString();
        SetError(error, said.empty() ? "the reply's \"message\" is empty" : said);
        return false;
    }
    data = root["data"];
    return true;
}

}  // namespace cloud
