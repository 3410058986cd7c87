#pragma once

#include <json/json.h>

#include <string>

#include "Records.h"

// Compact one-line JSON with UTF-8 text kept as is.
std::string ToJson(const Json::Value& value);
void PrintJson(const Json::Value& value);

Json::Value EffectRecordJson(const lw52::EffectRecord& record);
Json::Value PresetRecordJson(const lw52::PresetRecord& record);
Json::Value CloudEffectRecordJson(const lw52::CloudEffectRecord& record);
