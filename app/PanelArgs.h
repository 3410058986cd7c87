#pragma once

#include <string>
#include <vector>

// The panel's command line. Only our own options are read; everything else is left alone,
// so that a start by the updater or the desktop with arguments of its own still runs.
struct PanelArgs {
    bool upgradeFirmware = false;  // "-bUpgradeFirmware" anywhere on the command line
    bool help = false;
    bool version = false;        // --version
    std::string screenshotFile;  // --screenshot FILE: write the main window and exit
    int delayMs = 400;           // --delay-ms N: wait after the window is shown
    std::string language;        // --lang en|zh: the UI's language whatever the locale; "" unset
};

// args without the program name. False (error set) for an option of ours that lacks its
// value or has a malformed one.
bool ParsePanelArgs(const std::vector<std::string>& args, PanelArgs& out, std::string& error);

// The UI's language, "en" or "zh": the --lang option when given, else the first of the
// locale's UI languages ("en-US", "zh-CN", "de", "C", ...; most preferred first) that is
// English or Chinese, else Chinese, the language the texts are written in.
std::string ChooseLanguage(const std::string& option, const std::vector<std::string>& uiLanguages);
