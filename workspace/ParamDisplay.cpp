#include "ParamDisplay.h"

#include <cmath>
#include <cstdio>

namespace lw52 {

FormatKind FormatKindOf(const char* format) {
    bool inConversion = false;
    for (const char* c = format; c && *c; ++c) {
        if (!inConversion) {
            inConversion = *c == '%';
            continue;
        }
        if ((*c >= '0' && *c <= '9') || *c == '.') continue;
        if (*c == 'd') return kFormatInt;
        if (*c == 'f') return kFormatFloat;
        inConversion = *c == '%';  // any other character cancels the conversion
    }
    return kFormatNone;
}

double DisplayValueOf(const DisplayRule& rule, int raw) {
    return static_cast<double>(raw) * static_cast<double>(rule.step) + rule.displayOffset;
}

int RawValueOf(const DisplayRule& rule, double displayed) {
    const double raw =
        std::trunc((displayed - rule.displayOffset) / static_cast<double>(rule.step));
    long long value = raw > 2147483647.0 ? rule.max : static_cast<long long>(raw);
    if (value < rule.min) value = rule.min;
    if (value > rule.max) value = rule.max;
    return static_cast<int>(value);
}

namespace {
// The format is data: printf may only ever see one conversion, and only the one we pass.
int ConversionCount(const char* format) {
    int count = 0;
    for (const char* c = format; c && *c; ++c) {
        if (*c != '%') continue;
        if (c[1] == '%') {
            ++c;
            continue;
        }
        ++count;
    }
    return count;
}
}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
FormattedValue FormatValue(const DisplayRule& rule, double displayed) {
    FormattedValue out;
    out.raw = RawValueOf(rule, displayed);
    const double shown = DisplayValueOf(rule, out.raw);
    char text[64];
    const FormatKind kind =
        ConversionCount(rule.format) == 1 ? FormatKindOf(rule.format) : kFormatNone;
    switch (kind) {
        case kFormatInt:
            snprintf(text, sizeof text, rule.format, static_cast<int>(shown));
            out.text = text;
            break;
        case kFormatFloat:
            snprintf(text, sizeof text, rule.format, shown);
            out.text = text;
            break;
        default:
            out.text = "无效的参数转换符";
    }
    return out;
}
#pragma GCC diagnostic pop

std::string DisplayText(int id, int raw) {
    if (id < 0 || id >= kParamCount) return "";
    const DisplayRule rule = RuleOf(Param(id));
    return FormatValue(rule, DisplayValueOf(rule, raw)).text;
}

}  // namespace lw52
