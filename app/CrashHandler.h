#pragma once

// On a fatal signal, writes a report with a backtrace to
// "<folder>/<program>_YYYYMMDDhhmmss.dmp" and lets the signal end the program as usual.
// folder null: $TMPDIR, else /tmp. Installed once per process.
void InstallCrashHandler(const char* folder);
