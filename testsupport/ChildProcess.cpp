#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool overridden = false;
        for (const auto& x : extra) overridden |= x.compare(0, name.size() + 1, name + "=") == 0;
        if (!overridden) env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

pid_t Spawn(const std::string& program, const std::vector<std::string>& args,
            const std::vector<std::string>& extraEnv, int in, int out, int err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    std::vector<std::string> argStore = {program};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStore = MergedEnvironment(extraEnv);
    std::vector<char*> envp;
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

}  // namespace

ChildProcess::~ChildProcess() {
    Stop(2000);
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env) {
    int inPipe[2], outPipe[2];
    if (pipe2(inPipe, O_CLOEXEC) != 0) return false;
    if (pipe2(outPipe, O_CLOEXEC) != 0) return false;
    m_pid = Spawn(program, args, env, inPipe[0], outPipe[1], 2);
    close(inPipe[0]);
    close(outPipe[1]);
    m_stdin = inPipe[1];
    m_stdout = outPipe[0];
    return m_pid > 0;
}

bool ChildProcess::WriteLine(const std::string& line) {
    if (m_stdin < 0) return false;
    const std::string text = line + "\n";
    return write(m_stdin, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

bool ChildProcess::ReadLine(std::string& line, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const size_t nl = m_buffer.find('\n');
        if (nl != std::string::npos) {
            line = m_buffer.substr(0, nl);
            m_buffer.erase(0, nl + 1);
            return true;
        }
        const int left = RemainingMs(deadline);
        if (left == 0 || m_stdout < 0) return false;
        pollfd pfd{m_stdout, POLLIN, 0};
        if (poll(&pfd, 1, left) <= 0) return false;
        char chunk[4096];
        const ssize_t n = read(m_stdout, chunk, sizeof chunk);
        if (n <= 0) return false;
        m_buffer.append(chunk, static_cast<size_t>(n));
    }
}

std::string ChildProcess::WaitForLine(const std::string& part, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    while (ReadLine(line, RemainingMs(deadline)))
        if (line.find(part) != std::string::npos) return line;
    return "";
}

int ChildProcess::Wait(int timeoutMs) {
    if (m_pid <= 0) return m_status;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        int status = 0;
        const pid_t r = waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid) {
            m_pid = -1;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return m_status;
        }
        if (RemainingMs(deadline) == 0) return -1;
        usleep(2000);
    }
}

std::string ChildProcess::ReadAll(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string all = m_buffer;
    m_buffer.clear();
    while (m_stdout >= 0 && RemainingMs(deadline) > 0) {
        pollfd pfd{m_stdout, POLLIN, 0};
        if (poll(&pfd, 1, RemainingMs(deadline)) <= 0) break;
        char chunk[4096];
        const ssize_t n = read(m_stdout, chunk, sizeof chunk);
        if (n <= 0) break;
        all.append(chunk, static_cast<size_t>(n));
    }
    return all;
}

int ChildProcess::Stop(int timeoutMs) {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        if (Wait(timeoutMs) == -1 && m_pid > 0) {
            kill(m_pid, SIGKILL);
            Wait(5000);
        }
    }
    if (m_stdin >= 0) close(m_stdin);
    if (m_stdout >= 0) close(m_stdout);
    m_stdin = m_stdout = -1;
    return m_status;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, int timeoutMs) {
    RunResult result;
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return result;
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t pid = Spawn(program, args, env, devNull, outPipe[1], errPipe[1]);
    close(devNull);
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid <= 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return result;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bool outOpen = true, errOpen = true;
    while ((outOpen || errOpen) && RemainingMs(deadline) > 0) {
        pollfd pfds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0},
                          {errOpen ? errPipe[0] : -1, POLLIN, 0}};
        if (poll(pfds, 2, RemainingMs(deadline)) <= 0) break;
        char chunk[4096];
        for (int i = 0; i < 2; ++i) {
            if (!(pfds[i].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t n = read(pfds[i].fd, chunk, sizeof chunk);
            if (n <= 0) {
                (i == 0 ? outOpen : errOpen) = false;
                continue;
            }
            (i == 0 ? result.out : result.err).append(chunk, static_cast<size_t>(n));
        }
    }
    close(outPipe[0]);
    close(errPipe[0]);
    int status = 0;
    if (outOpen || errOpen) kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lw52-test-XXXXXX").string();
    if (mkdtemp(pattern.data())) m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
}

std::string FindProgram(const std::string& name) {
    const char* path = getenv("PATH");
    const std::string dirs = path && *path ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= dirs.size();) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = dirs.substr(start, end - start);
        const std::string candidate = dir + "/" + name;
        if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}
