#include "CliContext.h"

#include <cstdio>

int Fail(const std::string& message) {
    fprintf(stderr, "lw52ctl: %s\n", message.c_str());
    return kExitFailure;
}

int UsageError(const std::string& message) {
    fprintf(stderr, "lw52ctl: %s (see lw52ctl --help)\n", message.c_str());
    return kExitUsage;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char esc[8];
                    snprintf(esc, sizeof esc, "\\u%04x", c);
                    out += esc;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}
