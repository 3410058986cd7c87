#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Version texts: the service's numeric version, the comparison of dotted versions and the
// conditions a package puts on the card's versions ("E1.0", "G1.2", "L2.0").
namespace firmware {

// The service reports a version V as an integer: V / 1000000 "." (V mod 1000000) / 1000, so
// 1002000 is "1.2".
std::string ServiceVersionText(int64_t v);

// Compares up to four dot-separated decimal numbers ("1.2" is "1.2.0.0"); negative, zero or
// positive. Reading a number stops at the first character that is not a digit, and the
// parts after it count as 0; numbers too large for 32 bits count as 4294967295.
int CompareVersions(std::string_view a, std::string_view b);

// A letter and a version: E holds when version equals it, G when version is greater, L when
// it is less. Any other letter (or an empty condition) never holds.
bool ConditionHolds(std::string_view condition, std::string_view version);

}  // namespace firmware
