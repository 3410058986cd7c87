#pragma once

#include <string>

#include "ParamTable.h"

// Raw parameter values <-> what the user sees. Displayed value = raw * step + offset; the
// text is the parameter's printf format applied to it.
namespace lw52 {

struct DisplayRule {
    int min;
    int max;
    float step;
    int displayOffset;
    const char* format;
};
inline DisplayRule RuleOf(const ParamInfo& p) {
    return {p.min, p.max, p.step, p.displayOffset, p.format};
}

enum FormatKind { kFormatNone = 0, kFormatInt = 1, kFormatFloat = 2 };
// Scans format for its first "%d" or "%f" conversion (digits and '.' allowed inside).
FormatKind FormatKindOf(const char* format);

double DisplayValueOf(const DisplayRule& rule, int raw);
// (x - offset) / step truncated toward zero, clamped to min..max.
int RawValueOf(const DisplayRule& rule, double displayed);

struct FormattedValue {
    int raw;
    std::string text;  // "无效的参数转换符" when the format has no conversion
};
FormattedValue FormatValue(const DisplayRule& rule, double displayed);

// The text a raw value of parameter id shows ("0.0" for EQ raw 120, "1500" for reverb 15).
std::string DisplayText(int id, int raw);

}  // namespace lw52
