#include "CloudApi.h"

#include <cstdlib>
#include <exception>
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

Envelope ReadEnvelope(std::string_view text, Json::Value& data, std::string& message) {
    message.clear();
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["failIfExtra"] = true;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string parseErrors;
    bool parsed = false;
    try {
        parsed = reader->parse(text.data(), text.data() + text.size(), &root, &parseErrors);
    } catch (const std::exception& e) {
        parseErrors = e.what();
    }
    if (!parsed) {
        message = "malformed JSON: " + parseErrors;
        return Envelope::kMalformed;
    }
    if (!root.isObject()) {
        message = "the reply is not a JSON object";
        return Envelope::kMalformed;
    }
    const Json::Value& said = root["message"];
    if (!said.isString()) {
        message = "the reply has no \"message\"";
        return Envelope::kMalformed;
    }
    if (!EqualsIgnoringAsciiCase(said.asString(), "ok")) {
        message = said.asString();
        if (!message.empty()) return Envelope::kNotOk;
        message = "the reply's \"message\" is empty";
        return Envelope::kMalformed;
    }
    data = root["data"];
    return Envelope::kOk;
}

bool ParseEnvelope(const std::string& text, Json::Value& data, std::string* error) {
    std::string message;
    const bool ok = ReadEnvelope(text, data, message) == Envelope::kOk;
    SetError(error, message);
    return ok;
}

}  // namespace cloud
