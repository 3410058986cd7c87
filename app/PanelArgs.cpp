#include "PanelArgs.h"

#include <cctype>
#include <charconv>

namespace {

constexpr const char* kUpgradeFlag = "-bUpgradeFirmware";

// "--name VALUE" or "--name=VALUE" at args[i]; advances i past the value.
bool TakeValue(const std::vector<std::string>& args, size_t& i, const std::string& name,
               std::string& value, bool& matched) {
    const std::string& arg = args[i];
    matched = false;
    if (arg == name) {
        matched = true;
        if (i + 1 >= args.size()) return false;
        value = args[++i];
        return true;
    }
    if (arg.rfind(name + "=", 0) == 0) {
        matched = true;
        value = arg.substr(name.size() + 1);
        return true;
    }
    return true;
}

}  // namespace

bool ParsePanelArgs(const std::vector<std::string>& args, PanelArgs& out, std::string& error) {
    out = PanelArgs{};
    error.clear();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.find(kUpgradeFlag) != std::string::npos) out.upgradeFirmware = true;
        if (arg == "--help" || arg == "-h") {
            out.help = true;
            continue;
        }
        if (arg == "--version") {
            out.version = true;
            continue;
        }
        bool matched = false;
        std::string value;
        if (!TakeValue(args, i, "--screenshot", value, matched) || (matched && value.empty())) {
            error = "--screenshot needs a file name";
            return false;
        }
        if (matched) {
            out.screenshotFile = value;
            continue;
        }
        if (!TakeValue(args, i, "--delay-ms", value, matched)) {
            error = "--delay-ms needs a number of milliseconds";
            return false;
        }
        if (matched) {
            int ms = -1;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), ms);
            if (ec != std::errc() || end != value.data() + value.size() || ms < 0 || ms > 600000) {
                error = "--delay-ms takes 0..600000, not \"" + value + "\"";
                return false;
            }
            out.delayMs = ms;
            continue;
        }
        if (!TakeValue(args, i, "--lang", value, matched)) {
            error = "--lang needs a language: en or zh";
            return false;
        }
        if (matched) {
            if (value != "en" && value != "zh") {
                error = "--lang takes en or zh, not \"" + value + "\"";
                return false;
            }
            out.language = value;
        }
    }
    return true;
}

std::string ChooseLanguage(const std::string& option, const std::vector<std::string>& uiLanguages) {
    if (!option.empty()) return option;
    for (const std::string& name : uiLanguages) {
        // The language part: "en" of "en-US", "en_GB.UTF-8" or "en".
        std::string language = name.substr(0, name.find_first_of("-_.@"));
        for (char& c : language) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (language == "en" || language == "zh") return language;
    }
    return "zh";
}
