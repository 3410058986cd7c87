#pragma once

#include <string>
#include <vector>

// What every command gets: its own arguments and the global options.
struct CliContext {
    std::vector<std::string> args;  // after the command name
    bool json = false;
    bool verbose = false;
    std::string devicePath;  // --device: use this path instead of searching (and go direct)
    bool direct = false;     // --direct: to the card even while the panel runs
};

// Exit codes of the tool.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// One clear line on stderr; returns the exit code to use.
int Fail(const std::string& message);
int UsageError(const std::string& message);

// JSON string literal with escapes (UTF-8 passes through).
std::string JsonString(const std::string& text);
