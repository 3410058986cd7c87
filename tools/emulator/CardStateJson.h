#pragma once

#include <string>

#include "CardState.h"

namespace lw52::emu {

// The whole card state as one line of JSON (the emulator's "state" answer).
std::string CardStateToJson(const CardState& state);

// value as a JSON string literal, quotes included.
std::string JsonQuote(const std::string& value);

// "90 00 01 ..." without separators: "900001...", lower case.
std::string HexBytes(const uint8_t* data, size_t size);

}  // namespace lw52::emu
