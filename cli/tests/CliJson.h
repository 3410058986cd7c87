#pragma once

#include <gtest/gtest.h>
#include <json/json.h>

#include <sstream>
#include <string>

// lw52ctl's --json output as a value; a test failure (and null) when it is not JSON.
inline Json::Value ParseJson(const std::string& text) {
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(text);
    EXPECT_TRUE(Json::parseFromStream(builder, in, &value, &errors)) << text;
    return value;
}
