#include "SysInfo.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <fstream>

#include "Log.h"
#include "Version.h"

std::string SysInfoText() {
    utsname u{};
    uname(&u);
    std::string cpu = "unknown";
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.rfind("model name", 0) == 0) {
            cpu = line.substr(line.find(':') + 2);
            break;
        }
    }
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    const long long memoryMb = static_cast<long long>(pages) * pageSize / (1024 * 1024);
    char text[1024];
    snprintf(text, sizeof text,
             "\n===============================\n%s ver:%s  machine:%s %s\nCPU:%s\nMemory:%lldMB\n"
             "ver:%s\n===============================\n",
             u.sysname, u.release, u.machine, sizeof(void*) == 8 ? "64-bit" : "32-bit", cpu.c_str(),
             memoryMb, lw52::kVersionText);
    return text;
}

void LogSysInfo() {
    QV_LOG("%s", SysInfoText().c_str());
}
