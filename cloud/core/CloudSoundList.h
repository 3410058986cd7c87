#pragma once

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "CloudApi.h"
#include "SoundEntry.h"

class HotkeyConfig;

// The cloud's sound lists as the service sends them: the envelope of a reply, the category
// records and the clips of one category. No network here; the list worker does the requests.
namespace cloud_sound {

constexpr size_t kCategoryNameMaxBytes = 63;  // the name field holds 63 bytes + NUL

// One category record: its id and its name (UTF-8, at most kCategoryNameMaxBytes).
struct Category {
    int32_t id = 0;
    std::string name;
};

using Reply = cloud::Envelope;

// One reply: a JSON object whose "message" is "ok" without regard to case; data gets its
// "data". kNotOk with the "message" text when it says something else; kMalformed for
// anything that is not such an object, including JSON nested too deep for the parser (which
// throws: that must never end a worker thread).
Reply ParseReply(std::string_view text, Json::Value& data, std::string& message);

// The longest prefix of text of at most maxBytes that ends at a UTF-8 character boundary.
std::string CutUtf8(std::string_view text, size_t maxBytes);

// The category records of the list reply's data, in reply order, names cut to the field.
// Records without an integer "id" or without a name are left out (an empty name gets no
// tab). False when data is not an array.
bool ParseCategories(const Json::Value& data, std::vector<Category>& out);

// The clips of a category reply's data as cloud entries (kind 2, name cut to 8 characters,
// path = "url", cloud id = "id", idle). Records without a string "url" and an integer "id",
// or with a URL longer than an entry holds, are left out. False when data is not an array.
bool ParseClips(const Json::Value& data, std::vector<SoundEntry>& out);

// A whole fetch: the categories in reply order and the clips of each.
struct CategoryList {
    std::vector<Category> categories;
    std::vector<std::vector<SoundEntry>> clips;  // parallel to categories
};

// Replaces the configuration's cloud categories with the list (under its lock). Done by the
// receiver of the fetch, never by the worker: a worker its page gave up on must not write
// into a configuration that may be gone by the time its last request ends.
void Install(HotkeyConfig& config, const CategoryList& list);

}  // namespace cloud_sound
