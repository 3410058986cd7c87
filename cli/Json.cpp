#include "Json.h"

#include <cstdio>
#include <memory>

#include "ParamTable.h"
#include "TextUtil.h"

std::string ToJson(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

void PrintJson(const Json::Value& value) {
    printf("%s\n", ToJson(value).c_str());
}

namespace {
std::string Field(const char16_t* field, size_t capacity) {
    return text::Utf16ToUtf8(text::FieldToString(field, capacity));
}
}  // namespace

Json::Value EffectRecordJson(const lw52::EffectRecord& record) {
    Json::Value out;
    out["name"] = lw52::RecordName(record);
    Json::Value values(Json::arrayValue);
    for (int id = 0; id < lw52::kParamCount; ++id) values.append(record.values[id]);
    out["values"] = values;
    out["effect"] = record.values[lw52::kParamEffect];
    out["slot"] = record.slot;
    out["empty"] = record.empty;
    out["isFileEffect"] = record.isFileEffect;
    out["path"] = lw52::RecordPath(record);
    return out;
}

Json::Value PresetRecordJson(const lw52::PresetRecord& record) {
    Json::Value out;
    out["name"] = lw52::PresetName(record);
    Json::Value values(Json::arrayValue);
    for (int i = 0; i < record.count && i < 32; ++i) values.append(record.values[i]);
    out["values"] = values;
    out["count"] = record.count;
    return out;
}

Json::Value CloudEffectRecordJson(const lw52::CloudEffectRecord& record) {
    Json::Value out;
    out["soundName"] = Field(record.soundName, 64);
    out["categoryName"] = Field(record.categoryName, 64);
    out["url"] = Field(record.url, 260);
    out["downloaded"] = record.downloaded;
    return out;
}
