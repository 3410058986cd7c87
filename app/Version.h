#pragma once

// The program version shown in About and the system information block.
namespace lw52 {
constexpr const char* kVersionText = "V0.1.0";
}
