#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// A child program with pipes on stdin and stdout, for tests and benchmarks that drive the
// emulator or the command-line tool as a user would.
class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // env: extra "NAME=value" entries on top of this process's environment.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& env = {});
    bool WriteLine(const std::string& line);
    // Next stdout line within timeoutMs; false on timeout or end of output.
    bool ReadLine(std::string& line, int timeoutMs);
    // Reads lines until one contains part (bounded); returns that line or empty.
    std::string WaitForLine(const std::string& part, int timeoutMs);
    // Sends SIGTERM, waits up to timeoutMs, then SIGKILL; returns the exit status or -1.
    int Stop(int timeoutMs = 5000);
    // Waits for the exit; returns the exit code, -1 on timeout or a signal.
    int Wait(int timeoutMs);
    // All stdout after the exit (for one-shot commands).
    std::string ReadAll(int timeoutMs);
    pid_t Pid() const { return m_pid; }

  private:
    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_stdout = -1;
    std::string m_buffer;
    int m_status = -1;
};

// Runs a program to completion: exit code, stdout and stderr.
struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env = {}, int timeoutMs = 30000);

// The full path of a program found on PATH (else in /usr/bin and /bin); empty when missing.
std::string FindProgram(const std::string& name);

// A fresh folder under the temp dir, removed with everything in it on destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};
