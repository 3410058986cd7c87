#include "ServerAnswer.h"

#include <json/json.h>

#include <exception>
#include <memory>
#include <string>

#include "CloudApi.h"
#include "FirmwareVersion.h"

namespace firmware {

namespace {

// Whether text is JSON at all (the envelope reader does not say which of its checks failed):
// an array or a number is JSON without firmware information. Never throws.
bool IsJson(std::string_view text) {
    Json::CharReaderBuilder builder;
    builder["failIfExtra"] = true;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    try {
        return reader->parse(text.data(), text.data() + text.size(), &root, nullptr);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

bool ReadServerAnswer(UpgradeContext& context, std::string_view reply) {
    Json::Value data;
    std::string message;
    const cloud::Envelope envelope = cloud::ReadEnvelope(reply, data, message);
    if (envelope == cloud::Envelope::kMalformed && !IsJson(reply)) {
        context.errorText = "解析Json失败";
        return false;
    }
    // A "message" other than "ok", or an answer without a usable version and address, is no
    // firmware information.
    const bool isObject = envelope == cloud::Envelope::kOk && data.isObject();
    const Json::Value version = isObject ? data.get("currentVer", Json::Value()) : Json::Value();
    const Json::Value url = isObject ? data.get("url", Json::Value()) : Json::Value();
    if (!version.isInt64() || version.asInt64() < 0 || !url.isString() || url.asString().empty()) {
        context.errorText = "从服务器上获取固件信息失败";
        return false;
    }
    context.latestVersion = ServiceVersionText(version.asInt64());
    context.packageUrl = url.asString();
    return true;
}

}  // namespace firmware
