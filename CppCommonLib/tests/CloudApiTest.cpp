// Where the cloud service is found and how its replies are judged.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "CloudApi.h"
#include "IniFile.h"
#include "IniTestSupport.h"

namespace {

// Sets or clears LW52_CLOUD_URL for one scope and puts the old value back.
class ScopedCloudUrl {
  public:
    explicit ScopedCloudUrl(const char* value) {
        if (const char* old = ::getenv("LW52_CLOUD_URL")) old_ = old;
        if (value)
            ::setenv("LW52_CLOUD_URL", value, 1);
        else
            ::unsetenv("LW52_CLOUD_URL");
    }
    ~ScopedCloudUrl() {
        if (old_)
            ::setenv("LW52_CLOUD_URL", old_->c_str(), 1);
        else
            ::unsetenv("LW52_CLOUD_URL");
    }

  private:
    std::optional<std::string> old_;
};

TEST(CloudApiTest, BaseUrlComesFromEnvironmentThenSettingsThenDefault) {
    TempFolder dir;
    const std::string withKey = dir.File("with.db");
    const std::string withoutKey = dir.File("without.db");
    ASSERT_TRUE(CIniFile::CreateUtf16File(withKey));
    ASSERT_TRUE(CIniFile(withKey).WriteString("Cloud", "BaseUrl", "http://10.0.0.2:81/tuning/"));
    ASSERT_TRUE(CIniFile(withoutKey).WriteString("Cloud", "Other", "x"));

    const struct {
        const char* env;
        std::string settings;
        std::string expected;
    } cases[] = {
        {"http://127.0.0.1:9/tuning", withKey, "http://127.0.0.1:9/tuning"},
        {"http://127.0.0.1:9/", "", "http://127.0.0.1:9/tuning"},
        {"", withKey, "http://10.0.0.2:81/tuning"},  // empty variable: not set
        {nullptr, withKey, "http://10.0.0.2:81/tuning"},
        {nullptr, withoutKey, "http://127.0.0.1:8652/tuning"},
        {nullptr, dir.File("missing.db"), "http://127.0.0.1:8652/tuning"},
        {nullptr, "", "http://127.0.0.1:8652/tuning"},
    };
    for (const auto& c : cases) {
        ScopedCloudUrl env(c.env);
        SCOPED_TRACE(std::string(c.env ? c.env : "(unset)") + " / " + c.settings);
        EXPECT_EQ(cloud::BaseUrl(c.settings), c.expected);
        EXPECT_EQ(cloud::ApiUrl(cloud::kPathCheckUpgrade, c.settings),
                  c.expected + "/api/effect_sound/checkAppUpgrade.json");
    }
}

TEST(CloudApiTest, EnvelopeSucceedsOnlyForMessageOkInAnyCase) {
    const struct {
        const char* text;
        bool ok;
        const char* error;  // a part of the reason on failure
    } cases[] = {
        {R"({"message":"ok","data":{"currentVer":1002000,"url":"http://h/f.zip"}})", true, ""},
        {R"({"message":"OK","data":[1,2]})", true, ""},
        {R"({"message":"Ok","data":[]})", true, ""},
        {R"({"message":"oK"})", true, ""},
        {R"({"message":"fail","data":[]})", false, "fail"},
        {R"({"message":"okay","data":[]})", false, "okay"},
        {R"({"message":"","data":[]})", false, "message"},
        {R"({"message":1,"data":[]})", false, "message"},
        {R"({"data":[]})", false, "message"},
        {R"(["message","ok"])", false, "object"},
        {R"({"message":"ok","data":[{"soundName":)", false, "malformed"},
        {R"({"message":"ok"} trailing)", false, "malformed"},
        {"", false, "malformed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Json::Value data = "untouched";
        std::string error;
        EXPECT_EQ(cloud::ParseEnvelope(c.text, data, &error), c.ok);
        if (c.ok) {
            EXPECT_NE(data, Json::Value("untouched"));
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
    }
    Json::Value data;
    ASSERT_TRUE(cloud::ParseEnvelope(R"({"message":"OK","data":{"currentVer":2001000}})", data));
    EXPECT_EQ(data["currentVer"].asInt(), 2001000);
}

}  // namespace
