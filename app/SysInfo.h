#pragma once

#include <string>

// The block of system facts logged at start-up: kernel, CPU, memory and program version.
std::string SysInfoText();
void LogSysInfo();
