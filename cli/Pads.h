#pragma once

#include <json/json.h>

#include <string>

#include "SoundEntry.h"

class HotkeyConfig;

// The sound pads as lw52ctl shows them: the panel's configuration file and one pad as JSON.

// Opens the configuration in the user's folder. Like the pad page at its start, it seeds the
// built-in favourites when there are none, so lw52ctl shows the pad ids the panel shows and a
// favourite added here does not keep the panel from seeding. False when the file cannot be
// made.
bool OpenPadsConfig(HotkeyConfig& config);

// {"id","tab","name","hotkey","kind","path"[,"cloudId"]}; hotkey is its key text or "".
Json::Value PadJson(int id, const char* tab, const SoundEntry& entry);

// A whole decimal number (no sign, no trailing text) up to 9 digits.
bool ParseId(const std::string& text, int& out);
