// The cloud service's answers as the workers read them: the effect list, the sound
// categories and a category's clips, and the firmware upgrade check. Every answer is read
// by each reader: a reply meant for one may reach another through a wrong address.
#include <json/json.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "CloudApi.h"
#include "CloudEffectFiles.h"
#include "CloudSoundList.h"
#include "FuzzSupport.h"
#include "HotkeyConfig.h"
#include "ServerAnswer.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The workers read at most the response buffer less its closing zero.
    const std::string_view text(reinterpret_cast<const char*>(data),
                                std::min(size, cloud::kResponseBufferSize - 1));

    std::vector<lw52::CloudEffectRecord> records;
    std::string error;
    if (cloud_effect::ParseEffectList(text, records, error)) {
        for (const auto& record : records) {
            cloud_effect::DisplayName(cloud_effect::SoundName(record));
            cloud_effect::CategoryName(record);
            cloud_effect::Url(record);
        }
    }

    Json::Value reply;
    std::string message;
    if (cloud_sound::ParseReply(text, reply, message) == cloud::Envelope::kOk) {
        cloud_sound::CategoryList list;
        if (cloud_sound::ParseCategories(reply, list.categories)) {
            for (const auto& category : list.categories)
                if (category.name.size() > cloud_sound::kCategoryNameMaxBytes)
                    fuzz::Violated("a category name longer than its field");
        }
        std::vector<SoundEntry> clips;
        if (cloud_sound::ParseClips(reply, clips)) {
            list.clips.assign(list.categories.size(), clips);
            HotkeyConfig config;
            cloud_sound::Install(config, list);
        }
    }

    firmware::UpgradeContext context;
    firmware::ReadServerAnswer(context, text);
    return 0;
}
