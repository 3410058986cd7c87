#pragma once

// The program version shown in About and the system information block (the project's).
namespace lw52 {
constexpr const char* kVersionText = "V" LW52_VERSION;
}
