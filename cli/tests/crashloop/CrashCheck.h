#pragma once

#include <string>

// Checks the user's files after a writer was killed: each one is the version seen last time
// (kept in stateDir) or a complete new one, never cut off, never empty, and readable by the
// program's own readers. Prints one line per file; false on the first file that fails.
namespace crash_check {

struct Options {
    std::string userDir;
    std::string stateDir;    // the previous versions; updated after a successful check
    std::string fixtureDir;  // the cloud service's effect files (empty: no cloud files)
};

struct Summary {
    int oldVersions = 0;
    int newVersions = 0;
    int leftovers = 0;  // temporary files a killed writer left behind
};

bool CheckAll(const Options& options, Summary& summary, std::string& failure);

}  // namespace crash_check
